#include "controls/Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

bool HasVisibleDisplay() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

void ShowMessageBox(QWidget* parent, int icon, const QString& title, const QString& text) {
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, text, QMessageBox::Ok, parent);
    box.setAccessibleName(text);
    box.exec();
}

void ShowWarning(QWidget* parent, const QString& text) {
    std::fprintf(stderr, "KVC410: %s\n", text.toLocal8Bit().constData());
    if (HasVisibleDisplay()) {
        ShowMessageBox(parent, QMessageBox::Warning, kAppTitle, text);
    }
}

void ShowFatalError(const QString& text) {
    std::fprintf(stderr, "KVC410: %s\n", text.toLocal8Bit().constData());
    if (HasVisibleDisplay()) {
        ShowMessageBox(nullptr, QMessageBox::Critical, kAppTitle, text);
    }
}
