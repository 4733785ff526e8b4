#include "charge/ChargeLogFile.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "charge/ChargeLog.h"
#include "platform/LocalTime.h"
#include "platform/WriteFailure.h"

QString ChargeLogFolder() {
    return QDir::homePath() + "/KVC410 Output/";
}

bool WriteChargeLogFile(const ChargeSample* head, const QString& pack, QString& place,
                        QString& why) {
    const QString folder = ChargeLogFolder();
    place = folder;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        why = "that folder cannot be created (a file of that name may be in the way).";
        return false;
    }
    // The log folder becomes the current folder, where the end picture is looked up first.
    if (chdir(QFile::encodeName(folder).constData()) != 0) {
        why = QString("that folder cannot be entered: %1.").arg(strerror(errno));
        return false;
    }
    // Written beside the final names first, whole and flushed, so that a crash or a full disk
    // never leaves half a log under a log's name; then linked into place under the first free
    // name. A link never replaces a file: two programs ending charges of one pack in the same
    // minute (two ports) each get a log of their own, where a check for the name followed by a
    // rename would let the second write over the first.
    const LocalTime now = GetLocalTime();
    static std::atomic<int> written{0};
    const QString temp =
        folder + QString(".kvc410-log-%1-%2.partial").arg(getpid()).arg(written.fetch_add(1));
    const QByteArray data = QByteArray::fromStdString(BuildChargeLog(head));
    if (!WriteFileAtomically(temp, data, why)) {
        place = folder + QString::fromStdString(ChargeLogFileName(pack.toStdString(), now, 1));
        QFile::remove(temp);
        return false;
    }
    const QByteArray from = QFile::encodeName(temp);
    for (int copy = 1; copy <= kMostLogCopies; ++copy) {
        const QString path =
            folder + QString::fromStdString(ChargeLogFileName(pack.toStdString(), now, copy));
        place = path;
        if (link(from.constData(), QFile::encodeName(path).constData()) == 0) {
            unlink(from.constData());
            return true;
        }
        const int error = errno;
        if (error == EEXIST) {
            continue;
        }
        if (error == EPERM || error == ENOTSUP) {
            // A file system without hard links: a rename, which refuses a name that exists.
            if (QFileInfo::exists(path)) {
                continue;
            }
            if (QFile::rename(temp, path)) {
                return true;
            }
        }
        why = QString("it could not be put in place: %1.").arg(strerror(error));
        unlink(from.constData());
        return false;
    }
    unlink(from.constData());
    why = "a log of that name exists for every copy number.";
    return false;
}
