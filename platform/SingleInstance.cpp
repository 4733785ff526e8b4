#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {
std::string IoName(unsigned long base) {
    return "io-" + std::to_string(base);
}

bool IsSimulated(const std::string& setting) {
    return setting == "sim" || setting.rfind("sim:", 0) == 0;
}

std::string DeviceName(const std::string& device, const std::string& parportInfo) {
    char resolved[PATH_MAX];
    const std::string path = realpath(device.c_str(), resolved) ? resolved : device;
    // /dev/parportN: the kernel knows its I/O address, which io:0x... names too.
    const std::string base = path.substr(path.rfind('/') + 1);
    if (base.rfind("parport", 0) == 0) {
        std::ifstream info(parportInfo + "/" + base + "/base-addr");
        unsigned long address = 0;
        if (info >> address && address != 0) {
            return IoName(address);
        }
    }
    std::string name = "dev" + path;
    for (char& c : name) {
        if (c == '/') {
            c = '-';
        }
    }
    return name;
}
}  // namespace

std::string PortLockName(const char* setting, const std::string& autoDevice,
                         const std::string& parportInfo) {
    const std::string s = setting ? setting : "";
    if (s.empty() || s == "auto") {
        struct stat st {};
        return stat(autoDevice.c_str(), &st) == 0 ? DeviceName(autoDevice, parportInfo) : "";
    }
    if (IsSimulated(s)) {
        return "";
    }
    if (s.rfind("io:", 0) == 0) {
        char* end = nullptr;
        unsigned long base = std::strtoul(s.c_str() + 3, &end, 0);
        return end != s.c_str() + 3 && *end == '\0' ? IoName(base) : "";
    }
    return DeviceName(s, parportInfo);
}

std::string PortLockFolder() {
    const char* folder = std::getenv("KVC410_LOCK_DIR");
    return folder && *folder ? folder : "/run/lock";
}

PortLock AcquirePortLock(const std::string& name, const std::string& folder, std::string& why) {
    const std::string path = folder + "/kvc410-" + name + ".lock";
    // Readable by everyone, so that another user's program can take the same lock (flock works on
    // a descriptor opened for reading). The descriptor stays open until the process ends; the
    // kernel drops the lock then, also after a crash.
    // The folder is writable by every user: what another one put at the lock's place (a FIFO,
    // which would hold open() forever, a link to somewhere else) is refused, never followed.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY;
    int fd = open(path.c_str(), kFlags | O_CREAT, 0644);
    if (fd < 0 && errno == EACCES) {
        fd = open(path.c_str(), kFlags);
    }
    if (fd < 0) {
        why = "\"" + path + "\": " +
              (errno == ELOOP ? std::string("it is a symbolic link, not a lock file")
                              : std::string(std::strerror(errno)));
        return PortLock::Unavailable;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        why = "\"" + path + "\": it is not a regular file (a pipe, a device or a folder)";
        return PortLock::Unavailable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) {
            return PortLock::InUse;
        }
        why = "\"" + path + "\": " + std::strerror(error);
        return PortLock::Unavailable;
    }
    return PortLock::Taken;
}
