#pragma once
// Tells when a window is destroyed from outside the program (another X client destroying it):
// Qt does not notice, and the program would go on invisibly.

#include <functional>

class QWidget;

// Calls onDestroyed once when the display server reports the window destroyed. On platforms
// other than X11 it never calls.
void WatchWindowDestroyed(QWidget* window, std::function<void()> onDestroyed);

// A dialog whose window another program destroyed is cancelled, as if its Cancel had been
// pressed: otherwise it would stay modal and invisible, and nothing behind it could be reached.
// except: the main window, which has a watch of its own.
void WatchDialogsDestroyed(QWidget* except);
