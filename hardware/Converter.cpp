#include "hardware/Converter.h"

#include "platform/PortDriver.h"

namespace {
constexpr uint8_t kAllLow = 0;
constexpr uint8_t kClock = kConverterClock;
constexpr uint8_t kClockAndStart = kConverterClock | kConverterStart;
constexpr uint8_t kStatusData = kConverterOutput;
constexpr int kBitsRead = 16;
}  // namespace

// The place for a pause on a machine too fast for the converter; none is needed so far.
void PortPause() {}

int ReadConverter() {
    PortWriteBatch batch;
    DlPortWritePortUchar(kDataPort, kClock);
    DlPortWritePortUchar(kDataPort, kClock);
    PortPause();
    DlPortWritePortUchar(kDataPort, kClockAndStart);
    PortPause();
    DlPortWritePortUchar(kDataPort, kClock);
    PortPause();
    for (int i = 0; i < 5; ++i) {
        DlPortWritePortUchar(kDataPort, kAllLow);
    }
    PortPause();

    unsigned accumulator = 0;
    for (int bit = 0; bit < kBitsRead; ++bit) {
        DlPortWritePortUchar(kDataPort, kAllLow);
        DlPortWritePortUchar(kDataPort, kClock);
        DlPortWritePortUchar(kDataPort, kAllLow);
        uint8_t status = DlPortReadPortUchar(kStatusPort);
        accumulator = (accumulator << 1) | ((status & kStatusData) ? 1u : 0u);
    }
    // The first three bits and the last are not part of the value.
    return static_cast<int>((accumulator >> 1) & 0xFFF);
}

void ChargerOff() {
    DlPortWritePortUchar(kDataPort, kChargerOff);
}
