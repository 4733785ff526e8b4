#include "platform/WriteFailure.h"

#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString WhyNotWritten(const QString& filePath) {
    const QFileInfo file(filePath);
    const QString folder = file.absolutePath();
    struct statvfs fs {};
    if (!QFileInfo(folder).exists() && !QDir().mkpath(folder)) {
        return QString("the folder %1 does not exist and cannot be created.").arg(folder);
    }
    if (!QFileInfo(folder).isWritable()) {
        return QString("the folder %1 is read-only.").arg(folder);
    }
    if (file.exists() && !file.isWritable()) {
        return "the file is read-only.";
    }
    if (statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_bavail == 0) {
        return "the disk is full.";
    }
    return QString();
}
