#include "platform/PortDrivers.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define KVC410_HAVE_DIRECT_IO 1
#endif

namespace {

class PpdevPortDriver final : public PortDriver {
public:
    PpdevPortDriver(int fd, std::string device) : m_fd(fd), m_device(std::move(device)) {}
    ~PpdevPortDriver() override {
        ioctl(m_fd, PPRELEASE);
        close(m_fd);
    }
    void Write(uint32_t port, uint8_t value) override {
        unsigned char v = value;
        if (port == kDataPort) {
            ioctl(m_fd, PPWDATA, &v);
        } else if (port == kControlPort) {
            ioctl(m_fd, PPWCONTROL, &v);
        }
    }
    uint8_t Read(uint32_t port) override {
        unsigned char v = 0;
        if (port == kDataPort) {
            ioctl(m_fd, PPRDATA, &v);
        } else if (port == kStatusPort) {
            ioctl(m_fd, PPRSTATUS, &v);
        } else if (port == kControlPort) {
            ioctl(m_fd, PPRCONTROL, &v);
        }
        return v;
    }
    void EmergencyOff() noexcept override {
        unsigned char v = kChargerOff;
        ioctl(m_fd, PPWDATA, &v);
    }
    std::string Description() const override { return m_device; }

private:
    int m_fd;
    std::string m_device;
};

#ifdef KVC410_HAVE_DIRECT_IO
class DirectIoPortDriver final : public PortDriver {
public:
    explicit DirectIoPortDriver(unsigned base) : m_base(base) {}
    ~DirectIoPortDriver() override { ioperm(m_base, 3, 0); }
    void Write(uint32_t port, uint8_t value) override {
        if (port >= kDataPort && port <= kControlPort) {
            outb(value, m_base + (port - kDataPort));
        }
    }
    uint8_t Read(uint32_t port) override {
        if (port >= kDataPort && port <= kControlPort) {
            return inb(m_base + (port - kDataPort));
        }
        return 0;
    }
    void EmergencyOff() noexcept override { outb(kChargerOff, m_base); }
    std::string Description() const override {
        char text[32];
        std::snprintf(text, sizeof text, "io:0x%x", m_base);
        return text;
    }

private:
    unsigned m_base;
};
#endif

// Formats one trace line without the C library's locale-dependent, non-reentrant formatting,
// so that EmergencyOff can use it from a signal handler.
size_t FormatTraceLine(char* out, char kind, uint32_t port, unsigned value) {
    size_t n = 0;
    out[n++] = kind;
    out[n++] = ' ';
    char digits[12];
    size_t d = 0;
    do {
        digits[d++] = static_cast<char>('0' + port % 10);
        port /= 10;
    } while (port != 0);
    while (d > 0) {
        out[n++] = digits[--d];
    }
    out[n++] = ' ';
    do {
        digits[d++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (d > 0) {
        out[n++] = digits[--d];
    }
    out[n++] = '\n';
    return n;
}

class TracingPortDriver final : public PortDriver {
public:
    TracingPortDriver(std::unique_ptr<PortDriver> inner, int fd)
        : m_inner(std::move(inner)), m_fd(fd) {}
    ~TracingPortDriver() override { close(m_fd); }
    void Write(uint32_t port, uint8_t value) override {
        m_inner->Write(port, value);
        Log('W', port, value);
    }
    uint8_t Read(uint32_t port) override {
        uint8_t v = m_inner->Read(port);
        Log('R', port, v);
        return v;
    }
    void EmergencyOff() noexcept override {
        m_inner->EmergencyOff();
        Log('W', kDataPort, kChargerOff);
    }
    std::string Description() const override { return m_inner->Description(); }
    bool IsSimulated() const override { return m_inner->IsSimulated(); }
    int TickMilliseconds() const override { return m_inner->TickMilliseconds(); }

private:
    void Log(char kind, uint32_t port, unsigned value) noexcept {
        if (m_broken.load()) {
            return;
        }
        char line[40];
        size_t n = FormatTraceLine(line, kind, port, value);
        // A trace into a pipe whose reader has gone must not end the program: SIGPIPE is held
        // back for the write, and taken back if the write raised it. All async-signal-safe, as
        // EmergencyOff logs from the signal handlers.
        sigset_t pipeSignal;
        sigset_t previous;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
        // One write per line with O_APPEND: lines stay whole even when a signal handler logs.
        // Into a pipe or a terminal the writes never wait (the charge's tick makes them): a
        // reader that does not keep up loses lines, and is told how many once it reads again.
        const int savedErrno = errno;
        if (const unsigned dropped = m_dropped.load(); dropped > 0) {
            char note[64] = "# trace lines dropped, the reader did not keep up: ";
            size_t length = std::strlen(note);
            // The count written as FormatTraceLine writes a value ("# 0 N\n"), from its N on.
            char counted[40];
            const size_t c = FormatTraceLine(counted, '#', 0, dropped);
            for (size_t i = 4; i < c && length < sizeof note; ++i) {
                note[length++] = counted[i];
            }
            if (::write(m_fd, note, length) < 0) {
                m_dropped.fetch_add(1);
                errno = savedErrno;
                pthread_sigmask(SIG_SETMASK, &previous, nullptr);
                return;
            }
            m_dropped.fetch_sub(dropped);
        }
        const bool failed = ::write(m_fd, line, n) < 0;
        if (failed && errno == EAGAIN) {
            m_dropped.fetch_add(1);
        } else if (failed && errno == EPIPE) {
            m_broken.store(true);
            const timespec now{0, 0};
            while (sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) {
            }
        }
        errno = savedErrno;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    std::unique_ptr<PortDriver> m_inner;
    int m_fd;
    std::atomic<bool> m_broken{false};
    std::atomic<unsigned> m_dropped{0};
};

}  // namespace

std::unique_ptr<PortDriver> OpenPpdevPort(const std::string& device, std::string& error) {
    int fd = open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    if (ioctl(fd, PPEXCL) != 0 || ioctl(fd, PPCLAIM) != 0) {
        error = errno == EBUSY ? "the port is in use by another program" : std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPortDriver>(fd, device);
}

std::unique_ptr<PortDriver> OpenDirectIoPort(unsigned base, std::string& error) {
#ifdef KVC410_HAVE_DIRECT_IO
    if (ioperm(base, 3, 1) != 0) {
        error = std::string(std::strerror(errno)) + " (direct port I/O needs root)";
        return nullptr;
    }
    return std::make_unique<DirectIoPortDriver>(base);
#else
    (void)base;
    error = "direct port I/O is not available on this processor";
    return nullptr;
#endif
}

std::unique_ptr<PortDriver> MakeTracingPortDriver(std::unique_ptr<PortDriver> inner,
                                                  const std::string& path, std::string& error) {
    // Not blocking: a FIFO that nobody reads would hold start-up forever.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = errno == ENXIO ? "it is a pipe that no program reads" : std::strerror(errno);
        return nullptr;
    }
    // And it stays so: a port access never waits for the trace's reader.
    return std::make_unique<TracingPortDriver>(std::move(inner), fd);
}
