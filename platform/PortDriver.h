#pragma once
// The two port operations the program calls, and the one place that decides which driver
// carries them out: a real parallel port, or the simulated charger box.

#include <signal.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

inline constexpr uint32_t kDataPort = 888;     // 0x378, data register of the first port
inline constexpr uint32_t kStatusPort = 889;   // 0x379, status register
inline constexpr uint32_t kControlPort = 890;  // 0x37A, control register
inline constexpr uint8_t kChargerOff = 255;    // any other data value means "charging"

class PortDriver {
public:
    virtual ~PortDriver() = default;
    virtual void Write(uint32_t port, uint8_t value) = 0;
    virtual uint8_t Read(uint32_t port) = 0;
    // Writes kChargerOff to the data register using async-signal-safe calls only; the signal
    // handlers rely on it.
    virtual void EmergencyOff() noexcept = 0;
    virtual std::string Description() const = 0;
    virtual bool IsSimulated() const { return false; }
    // How often the program measures and advances its clock: once a real second on a real
    // port; a simulated box that runs faster than the wall clock asks for faster ticks.
    virtual int TickMilliseconds() const { return kRealTickMilliseconds; }
    static constexpr int kRealTickMilliseconds = 1000;
};

// The installed driver's tick, or a real second when none is installed.
int PortTickMilliseconds();

// Installs the driver every port access goes through. The previous one is returned so that
// tests can restore it.
std::unique_ptr<PortDriver> InstallPortDriver(std::unique_ptr<PortDriver> driver);
PortDriver* InstalledPortDriver();

// Once latched (a terminating signal arrived), the data register only ever receives
// kChargerOff: a measurement tick that still runs before the program quits cannot switch the
// charger back on, not even one that had checked the latch just before it was set.
// Async-signal-safe.
void LatchChargerOff() noexcept;
bool ChargerOffLatched() noexcept;
void ResetChargerOffLatchForTests() noexcept;

// The watchdog's page, shared with the guardian process (it is mapped before the guardian is
// forked). A running charge arms it and beats at every measurement; the guardian switches the
// charger off when an armed watchdog has not beaten for kWatchdogMilliseconds, and raises
// `tripped`. A raised trip keeps the data register off, as the latch does, until the next charge
// starts: a program that was frozen or blocked never switches the charger on again by itself.
struct ChargerWatchdog {
    // 0 while no charge runs; otherwise a count that changes at every beat.
    std::atomic<uint64_t> beat{0};
    std::atomic<uint32_t> tripped{0};
};
inline constexpr int kWatchdogMilliseconds = 4000;
// Mapped shared on first use (also without a guardian, for tests).
ChargerWatchdog& SharedChargerWatchdog() noexcept;
// A charge starts: the trip cleared, the first beat.
void ArmChargerWatchdog() noexcept;
void ChargerWatchdogBeat() noexcept;
// No charge runs: nothing to watch.
void DisarmChargerWatchdog() noexcept;
bool ChargerWatchdogTripped() noexcept;

// Held around a run of writes (a conversion: 57 of them), so that the guard against a signal
// between the latch's check and a write is taken once for the run, not once a write: the
// terminating signals wait the few microseconds until the run is over.
class PortWriteBatch {
public:
    PortWriteBatch();
    ~PortWriteBatch();
    PortWriteBatch(const PortWriteBatch&) = delete;
    PortWriteBatch& operator=(const PortWriteBatch&) = delete;

private:
    sigset_t m_previous;
};

void DlPortWritePortUchar(uint32_t port, uint8_t value);
uint8_t DlPortReadPortUchar(uint32_t port);

// Appends every access of the wrapped driver to a file, one line each ("W 888 4", "R 889 64"),
// for people debugging their box. Returns nullptr and sets error when the file cannot be opened.
std::unique_ptr<PortDriver> MakeTracingPortDriver(std::unique_ptr<PortDriver> inner,
                                                  const std::string& path, std::string& error);
