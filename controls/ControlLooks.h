#pragma once
// Looks the program's own controls share: the group frame drawn where the dialog layouts expect
// it, the focus rim and the default-button rim in the colours of the button skins.

#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QRectF>
#include <QString>

class QPainter;

// The rim a skinned button shows while it has the focus.
inline const QColor kFocusRimColour(60, 130, 230);
// The skins' dark blue border, drawn doubled around the button Enter presses.
inline const QColor kDefaultRimColour(0, 60, 116);

// radius < 0: rounded as the skinned buttons are.
// A caption as shown: the "&" that marks a mnemonic dropped, "&&" kept as one "&".
QString StripMnemonic(const QString& caption);

void DrawFocusRim(QPainter& painter, const QRectF& r, double radius = -1);
void DrawDefaultRim(QPainter& painter, const QRectF& r);

// A group frame as the dialog layouts were made for: the title sits on the frame's top edge,
// and the frame line starts half a title height below the rectangle's top, so that controls
// placed just under the top stay clear of it. Style-drawn group boxes put the line a whole
// title lower, through the labels under it.
class CGroupFrame : public QGroupBox {
    Q_OBJECT
public:
    CGroupFrame(const QString& title, QWidget* parent);

    // Both in the frame's own coordinates. The frame line runs along FrameRect's edges except
    // where the title covers the top one.
    QRect FrameRect() const;
    QRect TitleRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A label showing a name that may be too long for it: when the text does not fit its
// rectangle, the name part is cut with "…" and the whole text becomes the tooltip. text()
// stays whole, so screen readers and callers read the full name.
class CElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit CElidedLabel(QWidget* parent);

    // Turns shortening on. The part of the text that may be shortened is the last occurrence of
    // part; empty: the whole text. Until called, the label draws as any label does.
    void SetElidable(const QString& part);
    // What the label shows now.
    QString DisplayText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateToolTip(const QString& shown);
    bool Fits(const QString& text) const;
    QString m_strElidable;
    bool m_bElides = false;
};
