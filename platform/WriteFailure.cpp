#include "platform/WriteFailure.h"

#include <QRegularExpression>
#include <QSaveFile>

#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString WhyNotWritten(const QString& filePath) {
    const QFileInfo file(filePath);
    const QString folder = file.absolutePath();
    struct statvfs fs {};
    // Only looked at: saying why must not create what was missing.
    if (!QFileInfo(folder).exists()) {
        return QString("the folder \"%1\" does not exist.").arg(folder);
    }
    if (!QFileInfo(folder).isWritable()) {
        return QString("the folder \"%1\" is read-only.").arg(folder);
    }
    if (file.exists() && !file.isWritable()) {
        return "the file is read-only.";
    }
    if (statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_bavail == 0) {
        return "the disk is full.";
    }
    return QString();
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString& why) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush() &&
        file.commit()) {
        return true;
    }
    why = WhyNotWritten(path);
    if (why.isEmpty()) {
        why = QString("it could not be written: %1.").arg(file.errorString());
    }
    return false;
}

QString WithChosenExtension(const QString& path, const QString& chosenFilter) {
    const QFileInfo typed(path);
    const qsizetype star = chosenFilter.indexOf("*.");
    if (path.isEmpty() || !typed.suffix().isEmpty() || star < 0) {
        return path;
    }
    qsizetype end = star + 2;
    while (end < chosenFilter.size() && chosenFilter[end].isLetterOrNumber()) {
        ++end;
    }
    const QString extension = chosenFilter.mid(star + 1, end - star - 1);
    return extension.size() > 1 ? path + extension : path;
}

QString FileNameSafe(QString name) {
    static const QRegularExpression unsafe(R"([/\\:*?"<>|])");
    return name.replace(unsafe, "-");
}
