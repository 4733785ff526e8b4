#pragma once
// What screen readers are told about the program's own controls, where Qt's defaults say the
// wrong thing: radio buttons (Qt announces them as check boxes), the status picture (a picture
// that works as a button, so it must offer "press"), track bars whose positions stand for a
// scaled value (the threshold's 8 is 0.08 volts), the program's own message boxes (alerts, named
// by their message) and top-level tool windows (windows, not fillers).

class QLabel;
class QSlider;
class QKeyEvent;
class QWidget;

// Installs the interfaces once for the whole program; every control class calls it.
void InstallAccessibility();

// The slider's positions announced as position x scale, with a unit: 8 as "0.08 volts".
void AnnounceScaled(QSlider* slider, double scale, const char* unit);
// The widget is announced as an alert (a message box of the program's own).
void AnnounceAsAlert(QWidget* widget);
// Three labels that show one clock, announced as one value: the first as its meaning and
// "01:33:57", the other two not at all (read one by one they came out of order).
void AnnounceAsClock(QLabel* hours, QLabel* minutes, QLabel* seconds);
// A plot announced as a picture (its description says what it shows), not as a filler.
void AnnounceAsGraphic(QWidget* widget);
// A top-level widget announced as a window.
void AnnounceAsWindow(QWidget* widget);
// Escape or Ctrl+W: the keys that close a window of the program's own (the graph, the Pack
// History), taken in its keyPressEvent from any control that leaves them alone. Not shortcuts:
// those of two such windows open at once would stand in each other's way.
bool IsCloseWindowKey(const QKeyEvent* event);
