#include "platform/PortDriver.h"

#include <atomic>

namespace {
std::unique_ptr<PortDriver> g_owned;
std::atomic<PortDriver*> g_driver{nullptr};
std::atomic<bool> g_latched{false};
}  // namespace

std::unique_ptr<PortDriver> InstallPortDriver(std::unique_ptr<PortDriver> driver) {
    g_driver.store(driver.get());
    std::swap(g_owned, driver);
    return driver;
}

PortDriver* InstalledPortDriver() {
    return g_driver.load();
}

void LatchChargerOff() noexcept {
    g_latched.store(true);
    if (PortDriver* d = g_driver.load()) {
        d->EmergencyOff();
    }
}

void ResetChargerOffLatchForTests() noexcept {
    g_latched.store(false);
}

void DlPortWritePortUchar(uint32_t port, uint8_t value) {
    PortDriver* d = g_driver.load();
    if (d == nullptr) {
        return;
    }
    if (port == kDataPort && value != kChargerOff && g_latched.load()) {
        return;
    }
    d->Write(port, value);
}

uint8_t DlPortReadPortUchar(uint32_t port) {
    PortDriver* d = g_driver.load();
    return d ? d->Read(port) : 0;
}
