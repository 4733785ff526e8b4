#include "platform/Resources.h"

#include <QDir>

// The resources are compiled into a static library; nothing else would pull them in. (Outside
// any namespace: the registration function is declared where the macro stands.)
static void EnsureResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(kvc410);
        return true;
    }();
    (void)registered;
}

QString ResourcePath(const char* type, int id) {
    EnsureResources();
    return QString(":/%1/%2").arg(type).arg(id);
}

QString ResourcePath(const char* type, const QString& name) {
    EnsureResources();
    return QString(":/%1/%2").arg(type, name.toUpper());
}

QStringList DataFolders(const QString& programFolder) {
    return {programFolder, QDir::cleanPath(programFolder + "/../share/kvc410")};
}
