#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

QString InstanceLockPath() {
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QString folder = runtime.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(runtime);
    return folder + QString("/kvc410-%1.lock").arg(getuid());
}

bool AcquireInstanceLock() {
    // The descriptor stays open until the process ends; the kernel drops the lock then, also
    // after a crash.
    int fd =
        open(QFile::encodeName(InstanceLockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return true;  // no place for a lock: nothing to compare with, so go on
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    return true;
}
