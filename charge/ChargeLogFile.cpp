#include "charge/ChargeLogFile.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    // Never over another log: two charges of one pack may end in the same minute.
    const LocalTime now = GetLocalTime();
    QString path;
    for (int copy = 1; copy <= kMostLogCopies; ++copy) {
        path = folder + QString::fromStdString(ChargeLogFileName(pack.toStdString(), now, copy));
        if (!QFileInfo::exists(path)) {
            break;
        }
    }
    place = path;
    if (QFileInfo::exists(path)) {
        why = "a log of that name exists for every copy number.";
        return false;
    }
    // Written beside the final name and renamed into place: a crash or a full disk never leaves
    // half a log under that name.
    return WriteFileAtomically(path, QByteArray::fromStdString(BuildChargeLog(head)), why);
}
