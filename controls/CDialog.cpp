#include "controls/CDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include "controls/Accessibility.h"
#include "controls/CGifPicture.h"
#include "controls/CListBox.h"
#include "controls/CSkinButton.h"
#include "controls/CUpDown.h"
#include "controls/ControlLooks.h"
#include "controls/Messages.h"
#include "platform/Resources.h"

namespace {

constexpr int kTextStretch = 88;

int MulDiv(int a, int b, int c) {
    return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c);
}

}  // namespace

QFont CDialog::DialogFont() {
    // The dialogs were laid out for an 8 point sans serif; DejaVu Sans is installed everywhere
    // the program is, so layouts and tests see the same glyphs.
    QFont font("DejaVu Sans");
    font.setPointSize(8);
    return font;
}

QFont CDialog::TextFont() {
    // DejaVu Sans runs wider than the face the layouts were measured with; drawn slightly
    // condensed, captions fit their rectangles as they did there.
    QFont font = DialogFont();
    font.setStretch(kTextStretch);
    return font;
}

CDialog::CDialog(const DialogTemplate& tmpl, QWidget* parent) : QDialog(parent) {
    // Radio buttons and the other controls announce themselves as what they are.
    InstallAccessibility();
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.minimizeBox) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    setWindowFlags(flags);
    setFont(TextFont());
    QFontMetrics fm(DialogFont());
    int width = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = (width / 26 + 1) / 2;
    m_baseY = fm.height();
    setWindowTitle(QString::fromUtf8(tmpl.caption));
    QRect size = MapDialogRect(0, 0, tmpl.cx, tmpl.cy);
    setFixedSize(size.size());
    BuildControls(tmpl);
}

CDialog::~CDialog() = default;

QRect CDialog::MapDialogRect(int x, int y, int cx, int cy) const {
    return QRect(MulDiv(x, m_baseX, 4), MulDiv(y, m_baseY, 8), MulDiv(cx, m_baseX, 4),
                 MulDiv(cy, m_baseY, 8));
}

void CDialog::BuildControls(const DialogTemplate& tmpl) {
    QButtonGroup* radioGroup = nullptr;
    QWidget* previous = nullptr;
    for (const ControlTemplate& ct : tmpl.controls) {
        QWidget* w = CreateControl(ct);
        w->setGeometry(MapDialogRect(ct.x, ct.y, ct.cx, ct.cy));
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // A static picture takes its picture's size.
            if (!label->pixmap().isNull()) {
                label->resize(label->pixmap().deviceIndependentSize().toSize());
            }
            // A value display is read by its text; what it shows is its description.
            if (*ct.accessibleName) {
                label->setAccessibleDescription(QString::fromUtf8(ct.accessibleName));
            }
        } else if (*ct.accessibleName) {
            w->setAccessibleName(QString::fromUtf8(ct.accessibleName));
        } else if (qobject_cast<QAbstractButton*>(w) == nullptr) {
            w->setAccessibleName(StripMnemonic(QString::fromUtf8(ct.caption)));
        }
        // A button with a caption is known by it, and by its new one when the caption changes
        // (Start becomes Stop): Qt reads the button's text when no name is set.
        if (auto* upDown = qobject_cast<CUpDown*>(w)) {
            // An up-down attaches itself to the edit just before it.
            if (auto* buddy = qobject_cast<QLineEdit*>(previous)) {
                upDown->SetBuddy(buddy, (ct.style & UDS_ALIGNRIGHT) != 0);
            }
        }
        previous = w;
        if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            // A radio button with the group style starts a new choice.
            if (radioGroup == nullptr || (ct.style & WS_GROUP)) {
                radioGroup = new QButtonGroup(this);
            }
            radio->setAutoExclusive(false);
            radioGroup->addButton(radio);
        }
        w->setProperty(kControlStyleProperty, ct.style);
        if (ct.id != IDC_STATIC) {
            m_controls[ct.id] = w;
        }
    }
}

QWidget* CDialog::CreateControl(const ControlTemplate& ct) {
    const QString caption = QString::fromUtf8(ct.caption);
    const int id = ct.id;
    switch (ct.cls) {
        case ControlClass::Button: {
            uint32_t kind = ct.style & 0xF;
            if (kind == BS_GROUPBOX) {
                auto* box = new CGroupFrame(caption, this);
                box->setAttribute(Qt::WA_TransparentForMouseEvents);
                box->setFocusPolicy(Qt::NoFocus);
                return box;
            }
            QAbstractButton* button = nullptr;
            if (kind == BS_AUTOCHECKBOX) {
                button = new QCheckBox(caption, this);
                if (ct.style & BS_LEFTTEXT) {
                    button->setLayoutDirection(Qt::RightToLeft);
                }
            } else if (kind == BS_AUTORADIOBUTTON) {
                button = new QRadioButton(caption, this);
            } else {
                auto* skin = new CSkinButton(caption, ct.style, this);
                skin->setDefault(kind == BS_DEFPUSHBUTTON);
                skin->setAutoDefault(true);
                button = skin;
            }
            button->setFocusPolicy(Qt::StrongFocus);
            connect(button, &QAbstractButton::clicked, this, [this, id] {
                if (id == IDOK) {
                    OnOK();
                } else if (id == IDCANCEL) {
                    OnCancel();
                } else {
                    OnCommand(id);
                }
            });
            return button;
        }
        case ControlClass::Static: {
            // Any text label may be given a name to shorten when it does not fit.
            auto* label = new CElidedLabel(this);
            uint32_t kind = ct.style & 0x1F;
            if (kind == SS_ICON || kind == SS_BITMAP) {
                const QImage art =
                    LoadArt(ResourcePath(kind == SS_ICON ? "icon" : "bitmap", caption.toInt()),
                            devicePixelRatioF());
                label->setPixmap(QPixmap::fromImage(art));
                return label;
            }
            label->setTextFormat(Qt::PlainText);
            label->setText(caption);
            label->setWordWrap(true);
            Qt::Alignment align = Qt::AlignTop;
            align |= kind == SS_RIGHT ? Qt::AlignRight
                                      : (kind == SS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft);
            label->setAlignment(align);
            return label;
        }
        case ControlClass::Edit: {
            auto* edit = new QLineEdit(caption, this);
            edit->setFocusPolicy(Qt::StrongFocus);
            // Typing and text set from code alike, as the change notification always was.
            connect(edit, &QLineEdit::textChanged, this, [this, id] { OnEditChange(id); });
            return edit;
        }
        case ControlClass::ListBox: {
            auto* list = new CListBox(this);
            list->setFocusPolicy(Qt::StrongFocus);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            connect(list, &CListBox::selChange, this, [this, id] { OnSelChange(id); });
            return list;
        }
        case ControlClass::TrackBar: {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setTickPosition(QSlider::NoTicks);
            slider->setFocusPolicy(Qt::StrongFocus);
            // Only the user's moves notify (keys, clicks, drags and the end of a drag); a
            // position set from code does not.
            connect(slider, &QSlider::actionTriggered, this, [this, id] { OnHScroll(id); });
            connect(slider, &QSlider::sliderReleased, this, [this, id] { OnHScroll(id); });
            return slider;
        }
        case ControlClass::UpDown:
            return new CUpDown(this);
        case ControlClass::Picture: {
            auto* picture = new CGifPicture(this);
            connect(picture, &CGifPicture::clicked, this, [this, id] { OnCommand(id); });
            return picture;
        }
    }
    return new QWidget(this);
}

QWidget* CDialog::GetDlgItem(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

CSkinButton* CDialog::SkinButton(int id) const {
    return Item<CSkinButton>(id);
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        return box->title();
    }
    return QString();
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // Setting the text from code raises the change notification, as typing does
        // (textChanged).
        edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        box->setTitle(text);
    }
}

void CDialog::CheckDlgButton(int id, int check) {
    if (auto* button = Item<QAbstractButton>(id)) {
        QButtonGroup* group = button->group();
        bool exclusive = group != nullptr && group->exclusive();
        // Setting one mark never touches the others.
        if (exclusive) {
            group->setExclusive(false);
        }
        button->setChecked(check != 0);
        if (exclusive) {
            group->setExclusive(true);
        }
    }
}

int CDialog::IsDlgButtonChecked(int id) const {
    auto* button = Item<QAbstractButton>(id);
    return button != nullptr && button->isChecked() ? 1 : 0;
}

bool CDialog::SetTimer(int id, int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(milliseconds);
    return true;
}

bool CDialog::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return false;
    }
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
    return true;
}

bool CDialog::HasTimer(int id) const {
    return m_timers.count(id) != 0;
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
void CDialog::OnClose() {
    OnCancel();
}
void CDialog::OnTimer(int) {}
void CDialog::OnCommand(int) {}
void CDialog::OnHScroll(int) {}
void CDialog::OnSelChange(int) {}
void CDialog::OnEditChange(int) {}

int CDialog::GetTrackBarPos(int id) const {
    auto* slider = Item<QSlider>(id);
    return slider ? slider->sliderPosition() : 0;
}

void CDialog::SetTrackBarPos(int id, int pos) {
    if (auto* slider = Item<QSlider>(id)) {
        QSignalBlocker quiet(slider);
        slider->setValue(pos);
    }
}

void CDialog::SetTrackBarRange(int id, int minimum, int maximum) {
    if (auto* slider = Item<QSlider>(id)) {
        QSignalBlocker quiet(slider);
        slider->setRange(minimum, maximum);
    }
}

void CDialog::Initialise() {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
}

int CDialog::DoModal() {
    Initialise();
    return exec();
}

void CDialog::EndDialog(int result) {
    done(result);
}

void CDialog::reject() {
    OnCancel();
}

void CDialog::closeEvent(QCloseEvent* event) {
    OnClose();
    if (isVisible()) {
        event->ignore();
    } else {
        event->accept();
    }
}
