#pragma once
// The texts the charge cycle shows and reads back: the clock, the delivered charge, the maximum
// voltage and the first-minute disconnection test.

#include <string>

// Advances the three clock texts by one second.
void TickClock(std::string& seconds, std::string& minutes, std::string& hours);

// Delivered charge with one decimal, cut (not rounded) as the display shows it.
std::string FormatMah(double mah);

// The peak voltage as the maximum-voltage display shows it.
std::string FormatMaxVoltage(float peakVoltage);

enum class Disconnection { None, Charger, Battery };
inline const char* const kChargerDisconnected = "\nCharger           Disconnected";
inline const char* const kBatteryDisconnected = "\nBattery            Disconnected";

// Judges the voltage text of a first-minute measurement.
Disconnection CheckDisconnection(const std::string& voltText);
// The same judgement of a voltage read back from a log.
Disconnection CheckDisconnection(double volts);
// Whether the clock lies in the window where that judgement is made (00:00:03 to 00:00:59).
bool InDisconnectionWindow(const std::string& seconds, const std::string& minutes,
                           const std::string& hours);

inline constexpr double kMahPerAmpSecond = 0.2777777777777778;
