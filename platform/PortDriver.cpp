#include "platform/PortDriver.h"
#include "platform/TerminatingSignals.h"

#include <pthread.h>
#include <sys/mman.h>
#include <signal.h>

#include <atomic>
#include <new>

namespace {
std::unique_ptr<PortDriver> g_owned;
std::atomic<PortDriver*> g_driver{nullptr};
std::atomic<bool> g_latched{false};
// What a write of a value other than kChargerOff looks at, once: set with the latch, and while
// the watchdog's trip is up (see PortWriteBatch).
std::atomic<bool> g_offOnly{false};
// Held while a value other than kChargerOff is checked against the latch and written, so that a
// terminating signal handled on another thread cannot switch off in between and be undone.
std::atomic<bool> g_writing{false};
// How deep this thread is in PortWriteBatch objects.
thread_local int t_batchDepth = 0;
// The watchdog's trip is looked at once a batch (a conversion: 57 writes), as the batch
// begins, and held in g_offOnly, not looked at once a write (which cost more than the rest of
// the window's work on a charge): a program stopped in the middle of a conversion makes at most
// the rest of that conversion's writes when it runs again (tens of microseconds), and the
// guardian switches off behind them.

// The asynchronous requests to end; blocked on the writing thread while it holds g_writing, so
// that their handler never interrupts the write it would have to wait for. Faults are not
// blocked: a fault inside a write ends the program anyway.
const sigset_t& AsyncTerminationSignals() {
    static const sigset_t set = [] {
        sigset_t s;
        sigemptyset(&s);
        for (int sig : kTerminatingSignals) {
            if (!IsFaultSignal(sig)) {
                sigaddset(&s, sig);
            }
        }
        return s;
    }();
    return set;
}
}  // namespace

std::unique_ptr<PortDriver> InstallPortDriver(std::unique_ptr<PortDriver> driver) {
    g_driver.store(driver.get());
    std::swap(g_owned, driver);
    return driver;
}

PortDriver* InstalledPortDriver() {
    return g_driver.load();
}

int PortTickMilliseconds() {
    const PortDriver* driver = InstalledPortDriver();
    return driver != nullptr ? driver->TickMilliseconds() : PortDriver::kRealTickMilliseconds;
}

void LatchChargerOff() noexcept {
    g_latched.store(true);
    g_offOnly.store(true);
    // A write that checked the latch before it was set finishes first; bounded, because a fault
    // may have interrupted that very write on this thread.
    for (int spins = 0; g_writing.load() && spins < 10000000; ++spins) {
    }
    if (PortDriver* d = g_driver.load()) {
        d->EmergencyOff();
    }
}

bool ChargerOffLatched() noexcept {
    return g_latched.load();
}

void ResetChargerOffLatchForTests() noexcept {
    g_latched.store(false);
    g_offOnly.store(ChargerWatchdogTripped());
}

ChargerWatchdog& SharedChargerWatchdog() noexcept {
    static ChargerWatchdog* const page = [] {
        void* shared = mmap(nullptr, sizeof(ChargerWatchdog), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        // Without a shared page (no memory left) the guardian cannot watch the beat, but it
        // still switches off when the program ends; the program works on a page of its own.
        static ChargerWatchdog own;
        return shared == MAP_FAILED ? &own : new (shared) ChargerWatchdog;
    }();
    return *page;
}

namespace {
std::atomic<uint64_t> g_beats{0};
}  // namespace

void ArmChargerWatchdog() noexcept {
    ChargerWatchdog& w = SharedChargerWatchdog();
    w.tripped.store(0);
    // A new charge: only the latch keeps the data register off now. Looked at again after the
    // store, so that a latch set meanwhile (a signal handled on another thread) is never undone.
    PortWriteBatch batch;
    g_offOnly.store(g_latched.load());
    if (g_latched.load()) {
        g_offOnly.store(true);
    }
    w.beat.store(++g_beats);
}

void ChargerWatchdogBeat() noexcept {
    ChargerWatchdog& w = SharedChargerWatchdog();
    if (w.beat.load() != 0) {
        w.beat.store(++g_beats);
    }
}

void DisarmChargerWatchdog() noexcept {
    SharedChargerWatchdog().beat.store(0);
}

bool ChargerWatchdogTripped() noexcept {
    return SharedChargerWatchdog().tripped.load() != 0;
}

PortWriteBatch::PortWriteBatch() {
    if (t_batchDepth++ > 0) {
        return;
    }
    pthread_sigmask(SIG_BLOCK, &AsyncTerminationSignals(), &m_previous);
    bool expected = false;
    while (!g_writing.compare_exchange_weak(expected, true)) {
        expected = false;
    }
    if (ChargerWatchdogTripped()) {
        g_offOnly.store(true);
    }
}

PortWriteBatch::~PortWriteBatch() {
    if (--t_batchDepth > 0) {
        return;
    }
    g_writing.store(false);
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void DlPortWritePortUchar(uint32_t port, uint8_t value) {
    PortDriver* d = g_driver.load();
    if (d == nullptr) {
        return;
    }
    if (port != kDataPort || value == kChargerOff) {
        d->Write(port, value);
        return;
    }
    PortWriteBatch batch;  // nothing to do when the caller holds one already
    if (!g_offOnly.load()) {
        d->Write(port, value);
    }
}

uint8_t DlPortReadPortUchar(uint32_t port) {
    PortDriver* d = g_driver.load();
    return d ? d->Read(port) : 0;
}
