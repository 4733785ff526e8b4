#include "platform/Resources.h"

#include <QDir>
#include <QFile>

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

QString HighResolutionTwin(const QString& resource, qreal devicePixelRatio) {
    if (devicePixelRatio <= 1.0 || !resource.startsWith(":/")) {
        return QString();
    }
    EnsureResources();
    const QString twin = resource + "@2x";
    return QFile::exists(twin) ? twin : QString();
}

QImage LoadArt(const QString& resource, qreal devicePixelRatio) {
    const QString twin = HighResolutionTwin(resource, devicePixelRatio);
    if (!twin.isEmpty()) {
        QImage big(twin);
        if (!big.isNull()) {
            big.setDevicePixelRatio(2.0);
            return big;
        }
    }
    EnsureResources();
    return QImage(resource);
}
