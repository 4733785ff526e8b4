#pragma once
// The button of every dialog. It keeps the original button's set-up calls (caption colour,
// tooltip, skin) so that dialogs set their buttons up one way.

#include <QColor>
#include <QPushButton>

class CSkinButton : public QPushButton {
    Q_OBJECT
public:
    CSkinButton(const QString& caption, uint32_t style, QWidget* parent = nullptr);

    // Returns the previous caption colour.
    QRgb SetTextColor(QRgb color);
    void SetToolTipText(const QString& text);
    void SetSkin(int nNormal, int nDown, int nOver, int nDisabled, int nFocus, int nMask,
                 int nDrawMode, int bDrawEdge, int nFocusInset);

    int ButtonKind() const { return m_nButtonKind; }
    QRgb TextColor() const { return m_crText; }

private:
    int m_nButtonKind = 0;
    QRgb m_crText;
};
