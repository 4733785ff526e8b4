#include "controls/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVariant>
#include <cmath>

namespace {
const char* const kScale = "kvc410AccessibleScale";
const char* const kUnit = "kvc410AccessibleUnit";
const char* const kRole = "kvc410AccessibleRole";
const char* const kClockParts = "kvc410AccessibleClockParts";  // on the hours: minutes, seconds
const char* const kPartOfClock = "kvc410AccessiblePartOfClock";

// A control that offers "press" before what its class offers.
class PressableAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    QStringList actionNames() const override {
        return QStringList{QAccessibleActionInterface::pressAction()} +
               QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == QAccessibleActionInterface::pressAction()) {
            Press();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

protected:
    virtual void Press() = 0;
};

// A radio button: its role, whether it is checked, and press to choose it.
class RadioAccessible : public PressableAccessible {
public:
    explicit RadioAccessible(QRadioButton* button)
        : PressableAccessible(button, QAccessible::RadioButton) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Button()->isChecked();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return Button()->text().remove('&');
        }
        return QAccessibleWidget::text(t);
    }

private:
    QRadioButton* Button() const { return static_cast<QRadioButton*>(widget()); }
    void Press() override { Button()->click(); }
};

// A picture that opens something when clicked: a button that can be pressed.
class PressablePictureAccessible : public PressableAccessible {
public:
    explicit PressablePictureAccessible(QWidget* widget)
        : PressableAccessible(widget, QAccessible::Button) {}

private:
    void Press() override { QMetaObject::invokeMethod(widget(), "clicked"); }
};

// A slider whose positions stand for position x scale.
class ScaledSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ScaledSliderAccessible(QSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                : QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QString("%1 %2")
                .arg(Scaled(Slider()->value()), 0, 'f', Decimals())
                .arg(widget()->property(kUnit).toString());
        }
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return Scaled(Slider()->value()); }
    void setCurrentValue(const QVariant& value) override {
        Slider()->setValue(static_cast<int>(std::lround(value.toDouble() / Scale())));
    }
    QVariant maximumValue() const override { return Scaled(Slider()->maximum()); }
    QVariant minimumValue() const override { return Scaled(Slider()->minimum()); }
    QVariant minimumStepSize() const override { return Scale(); }

private:
    QSlider* Slider() const { return static_cast<QSlider*>(widget()); }
    double Scale() const { return widget()->property(kScale).toDouble(); }
    double Scaled(int position) const { return position * Scale(); }
    int Decimals() const {
        int decimals = 0;
        for (double step = Scale(); step < 0.999 && decimals < 6; step *= 10) {
            ++decimals;
        }
        return decimals;
    }
};

// A label of a dialog: a value label (its template says what the value is, as its description)
// is announced as that meaning and the value, "Threshold in volts 0.08", not the bare number.
class ValueLabelAccessible : public QAccessibleWidget {
public:
    explicit ValueLabelAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}
    // A label that shows a picture (the About box's logo) is a graphic.
    QAccessible::Role role() const override {
        return static_cast<QLabel*>(widget())->pixmap().isNull() ? QAccessible::StaticText
                                                                 : QAccessible::Graphic;
    }
    QString text(QAccessible::Text t) const override {
        auto* label = static_cast<QLabel*>(widget());
        if (t == QAccessible::Name && label->accessibleName().isEmpty()) {
            const QString meaning = label->accessibleDescription();
            QString value = label->text().simplified();
            for (const QVariant& part : label->property(kClockParts).toList()) {
                if (auto* other = qobject_cast<QLabel*>(part.value<QObject*>())) {
                    value += ":" + other->text().simplified();
                }
            }
            return meaning.isEmpty() ? value : meaning + " " + value;
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (widget()->property(kPartOfClock).toBool()) {
            s.invisible = true;  // said with the hours
        }
        return s;
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("QRadioButton")) {
        return new RadioAccessible(static_cast<QRadioButton*>(widget));
    }
    if (className == QLatin1String("CGifPicture")) {
        return new PressablePictureAccessible(widget);
    }
    if (className == QLatin1String("QSlider") && widget->property(kScale).isValid()) {
        return new ScaledSliderAccessible(static_cast<QSlider*>(widget));
    }
    if (className == QLatin1String("CElidedLabel")) {
        return new ValueLabelAccessible(static_cast<QLabel*>(widget));
    }
    const QVariant role = widget->property(kRole);
    if (role.isValid()) {
        return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
    }
    return nullptr;
}
// Drops the interface already made for the widget (Qt keeps one per object), so that the next
// screen reader's question makes it anew, as the widget is now marked.
void Renew(QWidget* widget) {
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}
}  // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&Factory);
        return true;
    }();
    (void)installed;
}

void AnnounceScaled(QSlider* slider, double scale, const char* unit) {
    InstallAccessibility();
    slider->setProperty(kScale, scale);
    slider->setProperty(kUnit, QString(unit));
    Renew(slider);
}

void AnnounceAsAlert(QWidget* widget) {
    InstallAccessibility();
    widget->setProperty(kRole, static_cast<int>(QAccessible::AlertMessage));
    Renew(widget);
}

void AnnounceAsClock(QLabel* hours, QLabel* minutes, QLabel* seconds) {
    InstallAccessibility();
    hours->setProperty(kClockParts, QVariantList{QVariant::fromValue<QObject*>(minutes),
                                                 QVariant::fromValue<QObject*>(seconds)});
    minutes->setProperty(kPartOfClock, true);
    seconds->setProperty(kPartOfClock, true);
    for (QWidget* w : {static_cast<QWidget*>(hours), static_cast<QWidget*>(minutes),
                       static_cast<QWidget*>(seconds)}) {
        Renew(w);
    }
}

void AnnounceAsGraphic(QWidget* widget) {
    InstallAccessibility();
    widget->setProperty(kRole, static_cast<int>(QAccessible::Graphic));
    Renew(widget);
}

void AnnounceAsWindow(QWidget* widget) {
    InstallAccessibility();
    widget->setProperty(kRole, static_cast<int>(QAccessible::Window));
    Renew(widget);
}

bool IsCloseWindowKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Escape ||
           (event->key() == Qt::Key_W && event->modifiers() == Qt::ControlModifier);
}
