#include "platform/BoundedOutput.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

BoundedOutput::BoundedOutput(int fd, size_t capacity)
    : m_fd(fd), m_capacity(capacity), m_thread([this] { Run(); }) {}

BoundedOutput::~BoundedOutput() {
    Drain();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BoundedOutput::Write(std::string_view text) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_failure.empty()) {
            return;
        }
        if (m_pending.size() + text.size() > m_capacity) {
            m_dropped += text.size();
            return;
        }
        m_pending.append(text);
    }
    m_changed.notify_all();
}

void BoundedOutput::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_pending.empty() && !m_writing) || !m_failure.empty(); });
}

size_t BoundedOutput::Dropped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

std::string BoundedOutput::Failure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

void BoundedOutput::Run() {
    // A reader that has gone is a failed write here, not the end of the program: SIGPIPE is
    // held back on this thread and taken back when a write raised it.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_pending.empty() || m_closing; });
        if (m_pending.empty()) {
            return;  // closing, and all written
        }
        std::string chunk;
        chunk.swap(m_pending);
        m_writing = true;
        lock.unlock();
        // The only place that may wait on the reader.
        std::string failure;
        size_t done = 0;
        while (done < chunk.size()) {
            const ssize_t n = ::write(m_fd, chunk.data() + done, chunk.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                failure = std::strerror(n < 0 ? errno : EIO);
                const timespec now{0, 0};
                while (sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) {
                }
                break;
            }
            done += static_cast<size_t>(n);
        }
        lock.lock();
        m_writing = false;
        if (!failure.empty()) {
            m_failure = failure;
            m_pending.clear();
        }
        m_changed.notify_all();
    }
}
