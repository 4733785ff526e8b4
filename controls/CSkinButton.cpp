#include "controls/CSkinButton.h"

#include <qdrawutil.h>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "controls/ControlLooks.h"
#include "platform/Resources.h"

namespace {
constexpr uint32_t kGroupStyle = 0x00020000;  // WS_GROUP
constexpr int kCaptionMargin = 2;

QColor FromColorRef(COLORREF c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
COLORREF ToColorRef(const QColor& c) {
    return static_cast<COLORREF>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

// A face: its twice-size art on a high-resolution screen. Masks stay at the button's size.
QImage LoadBitmap(int id, qreal devicePixelRatio = 1.0) {
    int resource = id & 0xFFFF;
    return resource == 0 ? QImage() : LoadArt(ResourcePath("bitmap", resource), devicePixelRatio);
}

int16_t Low16(int value) {
    return static_cast<int16_t>(value & 0xFFFF);
}

bool IsTransparent(QRgb pixel) {
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}
}  // namespace

CSkinButton::CSkinButton(const QString& caption, uint32_t style, QWidget* parent)
    : QPushButton(caption, parent), m_crText(ToColorRef(palette().color(QPalette::ButtonText))) {
    // The template style's low byte picks check boxes and radio buttons.
    uint32_t s = style & 0xFF;
    m_nButtonKind = (s & 3) == 3 ? kCheckBox : ((s & 9) == 9 ? kRadioButton : kPushButton);
    setProperty(kControlStyleProperty, style);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
}

COLORREF CSkinButton::SetTextColor(COLORREF color) {
    COLORREF previous = m_crText;
    m_crText = color;
    return previous;
}

void CSkinButton::SetToolTipText(const QString& text) {
    setToolTip(text);
    // A button without a caption is known to screen readers by its tooltip.
    if (this->text().isEmpty()) {
        setAccessibleName(text);
    }
}

void CSkinButton::SetSkin(int nNormal, int nDown, int nOver, int nDisabled, int nFocus, int nMask,
                          int nDrawMode, int bDrawEdge, int nFocusInset) {
    const qreal ratio = devicePixelRatioF();
    m_bmpNormal = LoadBitmap(nNormal, ratio);
    m_bmpDown = LoadBitmap(nDown, ratio);
    m_bmpOver = LoadBitmap(nOver, ratio);
    m_bmpFocus = LoadBitmap(nFocus, ratio);
    // Without a disabled picture the up picture serves for the disabled state too.
    m_bmpDisabled = LoadBitmap((nDisabled & 0xFFFF) != 0 ? nDisabled : nNormal, ratio);
    m_bmpMask = QImage();
    m_bMaskHasHoles = false;
    m_nDrawMode = std::clamp<int>(Low16(nDrawMode), 0, 2);
    m_bDrawEdge = Low16(bDrawEdge) != 0;
    m_nFocusInset = std::max<int>(Low16(nFocusInset), 0);
    if ((nMask & 0xFFFF) != 0) {
        m_bmpMask = LoadBitmap(nMask);
        if (!m_bmpMask.isNull()) {
            m_hRegion = RegionFromMask(m_bmpMask);
            m_bMaskHasHoles = m_hRegion != QRegion(m_bmpMask.rect());
            // An empty region hides the button entirely; Qt reads an empty mask as "no mask",
            // so a region outside the button stands for it.
            setMask(m_hRegion.isEmpty() ? QRegion(-2, -2, 1, 1) : m_hRegion);
            if (m_nDrawMode == 0) {
                resize(m_bmpMask.size());
            }
        }
    }
    update();
}

std::vector<QRect> CSkinButton::MaskRuns(const QImage& mask) {
    std::vector<QRect> runs;
    runs.reserve(40);
    const int w = mask.width();
    for (int y = mask.height() - 1; y >= 0; --y) {
        int x0 = -1;
        for (int x = 0; x < w; ++x) {
            bool opaque = !IsTransparent(mask.pixel(x, y));
            if (opaque && x0 < 0) {
                x0 = x;
            } else if (!opaque && x0 >= 0) {
                runs.emplace_back(QPoint(x0, y), QPoint(x - 1, y));
                x0 = -1;
            }
        }
        if (x0 >= 0) {
            runs.emplace_back(QPoint(x0, y), QPoint(w - 1, y));
        }
    }
    return runs;
}

QRegion CSkinButton::RegionFromMask(const QImage& mask) {
    QRegion region;
    for (const QRect& r : MaskRuns(mask)) {
        region += r;
    }
    return region;
}

void CSkinButton::SetCheck(bool checked) {
    m_bChecked = checked && m_nButtonKind != kPushButton;
    if (m_bChecked && m_nButtonKind == kRadioButton) {
        UncheckGroup();
    }
    update();
}

void CSkinButton::OnSkinUncheck() {
    if (m_bChecked) {
        m_bChecked = false;
        update();
    }
}

void CSkinButton::UncheckGroup() {
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return;
    }
    // The dialog group: from the control with the group style before this one up to the next
    // control with it, in creation order; the walk goes round from this button.
    std::vector<QWidget*> controls;
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w != nullptr && w->property(kControlStyleProperty).isValid()) {
            controls.push_back(w);
        }
    }
    auto self = std::find(controls.begin(), controls.end(), this);
    if (self == controls.end()) {
        return;
    }
    auto starts = [](QWidget* w) {
        return (w->property(kControlStyleProperty).toUInt() & kGroupStyle) != 0;
    };
    auto first = self;
    while (first != controls.begin() && !starts(*first)) {
        --first;
    }
    auto last = self + 1;
    while (last != controls.end() && !starts(*last)) {
        ++last;
    }
    for (auto it = self + 1;; ++it) {
        if (it == last) {
            it = first;
        }
        if (it == self) {
            break;
        }
        if (auto* member = qobject_cast<CSkinButton*>(*it)) {
            QMetaObject::invokeMethod(member, "OnSkinUncheck", Qt::QueuedConnection);
        }
    }
}

QImage CSkinButton::CurrentImage() const {
    if (!isEnabled()) {
        return m_bmpDisabled;
    }
    if (isDown() || m_bChecked) {
        return m_bmpDown;
    }
    if (m_bmpNormal.isNull()) {
        return QImage();
    }
    if (m_bMouseOver && !m_bmpOver.isNull()) {
        return m_bmpOver;
    }
    if (hasFocus() && !m_bmpFocus.isNull()) {
        return m_bmpFocus;
    }
    return m_bmpNormal;
}

void CSkinButton::DrawBitmap(QPainter& painter, const QImage& image, const QRect& r) const {
    if (m_nDrawMode == 2) {
        TileBitmap(painter, image, r);
        return;
    }
    if (image.isNull()) {
        return;
    }
    QImage picture = image;
    if (m_bMaskHasHoles) {
        // White mask pixels let the background show, every other colour takes the image.
        picture = image.convertToFormat(QImage::Format_ARGB32);
        QImage mask = m_bmpMask.scaled(image.size());
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (IsTransparent(mask.pixel(x, y))) {
                    picture.setPixel(x, y, qRgba(0, 0, 0, 0));
                }
            }
        }
    }
    if (m_nDrawMode == 0) {
        // At its size: the part of the picture the button covers (in the picture's pixels,
        // twice as many on a high-resolution screen).
        const qreal ratio = picture.devicePixelRatio();
        painter.drawImage(QRectF(r), picture,
                          QRectF(0, 0, r.width() * ratio, r.height() * ratio));
    } else {
        painter.drawImage(r, picture);
    }
}

void CSkinButton::TileBitmap(QPainter& painter, const QImage& image, const QRect& r) {
    if (image.isNull()) {
        return;
    }
    painter.save();
    painter.setClipRect(r);
    const QSize step = image.deviceIndependentSize().toSize();
    for (int y = r.top(); y <= r.bottom(); y += std::max(step.height(), 1)) {
        for (int x = r.left(); x <= r.right(); x += std::max(step.width(), 1)) {
            painter.drawImage(x, y, image);
        }
    }
    painter.restore();
}

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    QRect caption =
        r.adjusted(m_nFocusInset + kCaptionMargin, 0, -(m_nFocusInset + kCaptionMargin), 0);
    const bool disabled = !isEnabled();
    const bool pressed = !disabled && (isDown() || m_bChecked);
    if (pressed) {
        caption.translate(1, 1);
    }
    QImage image = CurrentImage();
    if (image.isNull() && m_nDrawMode != 2) {
        painter.fillRect(r, palette().color(QPalette::Button));
    } else {
        DrawBitmap(painter, image, r);
    }
    if (m_bDrawEdge) {
        qDrawShadePanel(&painter, r, palette(), pressed, 2);
    }
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    if (disabled) {
        // An embossed grey caption.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(caption, flags, text());
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(caption.translated(-1, -1), flags, text());
        return;
    }
    if (isDefault() && !hasFocus() && m_nButtonKind == kPushButton) {
        // The button Enter presses is marked whether or not it has the focus. A focused push
        // button takes that part while it has the focus, so then the mark moves with it.
        DrawDefaultRim(painter, r);
    }
    if (hasFocus() && m_nFocusInset > 0) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = r.adjusted(m_nFocusInset, m_nFocusInset, -m_nFocusInset, -m_nFocusInset);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    painter.setPen(FromColorRef(m_crText));
    painter.drawText(caption, flags, text());
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    if (!m_bPressed && !m_bMouseOver) {
        m_bMouseOver = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    m_bMouseOver = false;
    update();
    QPushButton::leaveEvent(event);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
    // The hover comes back with the first move after a press has ended.
    if (!m_bPressed && !m_bMouseOver && rect().contains(event->position().toPoint())) {
        m_bMouseOver = true;
        update();
    }
    QPushButton::mouseMoveEvent(event);
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
    if (m_bMouseOver) {
        m_bMouseOver = false;
    }
    QPushButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_bPressed = true;
    }
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        if (m_nButtonKind == kCheckBox) {
            SetCheck(!m_bChecked);
        } else if (m_nButtonKind == kRadioButton) {
            SetCheck(true);
        }
    }
    if (event->button() == Qt::LeftButton) {
        m_bPressed = false;
    }
    QPushButton::mouseReleaseEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
    m_bPressed = false;
    QPushButton::focusOutEvent(event);
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        if (m_nButtonKind == kCheckBox) {
            SetCheck(!m_bChecked);
        } else if (m_nButtonKind == kRadioButton) {
            SetCheck(true);
        }
    }
    QPushButton::keyPressEvent(event);
}
