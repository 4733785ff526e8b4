#pragma once
// Output that never holds the caller: lines go into a bounded buffer that a thread of its own
// writes to the file descriptor. A reader that stops reading (a terminal held by Ctrl+S, a pipe
// nobody empties) stops that thread only; once the buffer is full, further text is dropped and
// counted, never waited for. A write that fails (a full disk, /dev/full, a closed pipe) is
// remembered, and the rest is discarded.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class BoundedOutput {
public:
    BoundedOutput(int fd, size_t capacity);
    // Waits for what is buffered to be written (see Drain).
    ~BoundedOutput();
    BoundedOutput(const BoundedOutput&) = delete;
    BoundedOutput& operator=(const BoundedOutput&) = delete;

    // Never blocks: buffered whole, or dropped whole when it does not fit.
    void Write(std::string_view text);
    // Waits until everything buffered has been written or the writes failed. Called when
    // nothing is left that waiting could hold up (the charger off, everything stored).
    void Drain();

    // Bytes dropped so far because the reader did not keep up.
    size_t Dropped() const;
    // Empty while every write succeeded; else why the first one failed.
    std::string Failure() const;

private:
    void Run();

    const int m_fd;
    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_pending;
    bool m_writing = false;
    bool m_closing = false;
    size_t m_dropped = 0;
    std::string m_failure;
    std::thread m_thread;
};
