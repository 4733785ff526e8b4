#include "platform/Messages.h"

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

void ShowWarning(QWidget* parent, const QString& text) {
    std::fprintf(stderr, "KVC410: %s\n", text.toLocal8Bit().constData());
    if (HasVisibleDisplay()) {
        QMessageBox::warning(parent, kAppTitle, text);
    }
}

void ShowFatalError(const QString& text) {
    std::fprintf(stderr, "KVC410: %s\n", text.toLocal8Bit().constData());
    if (HasVisibleDisplay()) {
        QMessageBox::critical(nullptr, kAppTitle, text);
    }
}
