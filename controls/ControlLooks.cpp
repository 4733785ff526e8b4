#include "controls/ControlLooks.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>

QString StripMnemonic(const QString& caption) {
    return QString(caption).remove(QRegularExpression("&(?!&)"));
}

namespace {
// A two-pixel rim just inside r.
void DrawRim(QPainter& painter, const QRectF& r, const QColor& colour, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, 2.0));
    painter.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}
}  // namespace

void DrawFocusRim(QPainter& painter, const QRectF& r, double radius) {
    DrawRim(painter, r, kFocusRimColour,
            radius < 0 ? std::min(r.width(), r.height()) * 0.2 : radius);
}

void DrawDefaultRim(QPainter& painter, const QRectF& r) {
    // The same rounding as the skin's face, so the rim follows its border.
    DrawRim(painter, r, kDefaultRimColour, std::min(r.width(), r.height()) * 0.28);
}

namespace {
constexpr int kTitleIndent = 6;   // pixels from the frame's left edge to the title's gap
constexpr int kTitlePadding = 2;  // gap each side of the title
}  // namespace

CGroupFrame::CGroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

QRect CGroupFrame::TitleRect() const {
    if (title().isEmpty()) {
        return QRect();
    }
    const QFontMetrics fm(font());
    const QString shown = StripMnemonic(title());
    return QRect(kTitleIndent + kTitlePadding, 0, fm.horizontalAdvance(shown), fm.height());
}

QRect CGroupFrame::FrameRect() const {
    const int top = QFontMetrics(font()).height() / 2;
    return QRect(0, top, width(), height() - top);
}

void CGroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = FrameRect();
    const QRect title = TitleRect();
    // An etched line: dark, with a light one a pixel right and below.
    const QColor dark = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    auto outline = [&](const QRect& r, const QColor& colour) {
        painter.setPen(colour);
        const int gapFrom = title.isNull() ? r.right() : title.left() - kTitlePadding;
        const int gapTo = title.isNull() ? r.right() : title.right() + kTitlePadding;
        painter.drawLine(r.left(), r.top(), std::min(gapFrom, r.right()), r.top());
        if (gapTo < r.right()) {
            painter.drawLine(gapTo, r.top(), r.right(), r.top());
        }
        painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    };
    outline(frame.adjusted(1, 1, 0, 0), light);
    outline(frame.adjusted(0, 0, -1, -1), dark);
    if (!title.isNull()) {
        style()->drawItemText(&painter, title, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic,
                              palette(), isEnabled(), this->title(), QPalette::WindowText);
    }
}

CElidedLabel::CElidedLabel(QWidget* parent) : QLabel(parent) {}

void CElidedLabel::SetElidable(const QString& part) {
    m_strElidable = part;
    m_bElides = true;
    update();
}

bool CElidedLabel::Fits(const QString& text) const {
    const QRect box = contentsRect();
    const QRect needed =
        fontMetrics().boundingRect(box, int(alignment()) | Qt::TextWordWrap, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

QString CElidedLabel::DisplayText() const {
    const QString whole = text();
    if (!m_bElides || whole.isEmpty() || Fits(whole)) {
        return whole;
    }
    int from = 0;
    int length = int(whole.size());
    if (!m_strElidable.isEmpty()) {
        const int at = int(whole.lastIndexOf(m_strElidable));
        if (at >= 0) {
            from = at;
            length = int(m_strElidable.size());
        }
    }
    const QString before = whole.left(from);
    const QString part = whole.mid(from, length);
    const QString after = whole.mid(from + length);
    auto shortened = [&](int keep) {
        return before + part.left(keep) + QChar(0x2026) + after;
    };
    // The longest start of the part that still fits; none at all shows just "…".
    int low = 0;
    int high = int(part.size()) - 1;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (Fits(shortened(mid))) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return shortened(std::max(low, 0));
}

void CElidedLabel::UpdateToolTip(const QString& shown) {
    const QString tip = shown == text() ? QString() : text();
    if (toolTip() != tip) {
        setToolTip(tip);
    }
}

bool CElidedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        UpdateToolTip(DisplayText());
    }
    return QLabel::event(event);
}

void CElidedLabel::paintEvent(QPaintEvent* event) {
    const QString shown = DisplayText();
    UpdateToolTip(shown);
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextWordWrap,
                          palette(), isEnabled(), shown, foregroundRole());
}
