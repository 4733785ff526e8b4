#include "controls/CSkinButton.h"

#include <QPalette>

namespace {
constexpr int kPushButton = 0;
constexpr int kCheckBox = 2;
constexpr int kRadioButton = 4;
}  // namespace

CSkinButton::CSkinButton(const QString& caption, uint32_t style, QWidget* parent)
    : QPushButton(caption, parent), m_crText(palette().color(QPalette::ButtonText).rgb()) {
    uint32_t s = style & 0xFF;
    m_nButtonKind = (s & 3) == 3 ? kCheckBox : ((s & 9) == 9 ? kRadioButton : kPushButton);
}

QRgb CSkinButton::SetTextColor(QRgb color) {
    QRgb previous = m_crText;
    m_crText = color;
    QPalette p = palette();
    p.setColor(QPalette::ButtonText, QColor::fromRgb(color));
    setPalette(p);
    return previous;
}

void CSkinButton::SetToolTipText(const QString& text) {
    setToolTip(text);
    // A button without a caption is known to screen readers by its tooltip.
    if (this->text().isEmpty()) {
        setAccessibleName(text);
    }
}

void CSkinButton::SetSkin(int, int, int, int, int, int, int, int, int) {}
