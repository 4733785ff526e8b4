#pragma once
// The button of every dialog, painted from bitmaps: up, pressed, mouse-over, disabled and
// focused, with a mask that shapes the window. It stays a push button to keyboard users and
// screen readers: its name is its caption, or its tooltip where it has none.

#include <QImage>
#include <QPushButton>
#include <QRegion>
#include <vector>

using COLORREF = uint32_t;  // 0x00BBGGRR

class CSkinButton : public QPushButton {
    Q_OBJECT
public:
    enum Kind { kPushButton = 0, kCheckBox = 2, kRadioButton = 4 };

    CSkinButton(const QString& caption, uint32_t style, QWidget* parent = nullptr);

    // Returns the previous caption colour.
    COLORREF SetTextColor(COLORREF color);
    void SetToolTipText(const QString& text);
    void SetSkin(int nNormal, int nDown, int nOver, int nDisabled, int nFocus, int nMask,
                 int nDrawMode, int bDrawEdge, int nFocusInset);

    // The check state of check-box and radio kinds (a push button never stays checked).
    void SetCheck(bool checked);
    int GetCheck() const { return m_bChecked ? 1 : 0; }

    int ButtonKind() const { return m_nButtonKind; }
    COLORREF TextColor() const { return m_crText; }
    int DrawMode() const { return m_nDrawMode; }
    bool DrawsEdge() const { return m_bDrawEdge; }
    int FocusInset() const { return m_nFocusInset; }
    bool IsMouseOver() const { return m_bMouseOver; }
    bool IsPressed() const { return m_bPressed; }
    const QRegion& Region() const { return m_hRegion; }
    // The image the button would draw now, as the drawing rules choose it (null: a flat face).
    QImage CurrentImage() const;
    const QImage& NormalImage() const { return m_bmpNormal; }
    const QImage& DownImage() const { return m_bmpDown; }
    const QImage& OverImage() const { return m_bmpOver; }
    const QImage& DisabledImage() const { return m_bmpDisabled; }
    const QImage& FocusImage() const { return m_bmpFocus; }

    // The mask's opaque runs, bottom row first, each row left to right; white is transparent.
    static std::vector<QRect> MaskRuns(const QImage& mask);
    static QRegion RegionFromMask(const QImage& mask);

public slots:
    // Sent by a radio button of the same group that became checked.
    void OnSkinUncheck();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DrawBitmap(QPainter& painter, const QImage& image, const QRect& r) const;
    static void TileBitmap(QPainter& painter, const QImage& image, const QRect& r);
    void UncheckGroup();

    bool m_bChecked = false;
    int m_nButtonKind = kPushButton;
    bool m_bMouseOver = false;
    bool m_bPressed = false;
    QImage m_bmpNormal;
    QImage m_bmpDown;
    QImage m_bmpDisabled;
    QImage m_bmpMask;
    bool m_bMaskHasHoles = false;  // any white pixel: drawing must let the background through
    QImage m_bmpOver;
    QImage m_bmpFocus;
    int m_nFocusInset = 0;
    COLORREF m_crText = 0;
    QRegion m_hRegion;
    bool m_bDrawEdge = false;
    int m_nDrawMode = 1;
};

// The dialog-template style a control was made with, kept on the widget for rules that decide
// by it (groups of radio buttons).
inline const char* const kControlStyleProperty = "kvc410Style";
