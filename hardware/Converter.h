#pragma once
// The charger box's 12-bit serial converter, clocked bit by bit through the data register, and
// the charger switch. Everything goes through DlPortWritePortUchar / DlPortReadPortUchar.

#include <cstdint>

// The lines of the data register the converter listens to, and the status bit it answers on.
inline constexpr uint8_t kConverterClock = 4;      // D2
inline constexpr uint8_t kConverterStart = 8;      // D3
inline constexpr uint8_t kConverterOutput = 0x40;  // status bit 6

int ReadConverter();
void ChargerOff();
void PortPause();
