#pragma once
// Messages from the platform layer to the user: a message box on a real display, standard error
// where nobody could see one (the offscreen platform of tests and CI).

#include <QString>

class QWidget;

inline const char* const kAppTitle = "KVC410";

bool HasVisibleDisplay();
// A modal message box with one OK button, named by its message for a screen reader (a box is
// otherwise named by its title: "KVC410" said nothing). icon: QMessageBox::Icon.
void ShowMessageBox(QWidget* parent, int icon, const QString& title, const QString& text);
void ShowWarning(QWidget* parent, const QString& text);
void ShowFatalError(const QString& text);
