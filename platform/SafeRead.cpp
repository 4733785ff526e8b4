#include "platform/SafeRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
const char* const kNotRegular = "it is not a regular file (a pipe, a device or a folder)";
}  // namespace

SafeRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data,
                         std::string& why) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is refused below.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        why = std::strerror(error);
        return error == ENOENT ? SafeRead::Absent : SafeRead::Unreadable;
    }
    struct stat st {};
    SafeRead result = SafeRead::Ok;
    if (fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        result = SafeRead::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        why = kNotRegular;
        result = SafeRead::NotRegular;
    } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        why = "it is larger than " + std::to_string(maxBytes) + " bytes";
        result = SafeRead::TooLarge;
    } else {
        data.assign(static_cast<size_t>(st.st_size), '\0');
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<size_t>(n);
        }
        // A file that shrank meanwhile is read as far as it goes.
        data.resize(got);
    }
    close(fd);
    return result;
}

bool IsRegularOrAbsent(const std::string& path, std::string& why) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISREG(st.st_mode)) {
        why = kNotRegular;
        return false;
    }
    return true;
}
