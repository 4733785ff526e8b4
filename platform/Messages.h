#pragma once
// Messages from the platform layer to the user: a message box on a real display, standard error
// where nobody could see one (the offscreen platform of tests and CI).

#include <QString>

class QWidget;

inline const char* const kAppTitle = "KVC410";

bool HasVisibleDisplay();
void ShowWarning(QWidget* parent, const QString& text);
void ShowFatalError(const QString& text);
