#pragma once
// The ten charge properties, their display forms, and their place in section "Properties".

#include <cstdint>
#include <string>

struct ChargeSettings {
    int32_t timedHours = 0;
    int32_t timedMinutes = 0;
    int32_t timedSeconds = 0;
    int32_t batteryType = 2;   // 1 Ni-Cd, 2 Ni-MH, 3 Custom
    int32_t chargeType = 1;    // 1 peak charge, 2 timed charge
    int32_t threshold = 8;     // hundredths of a volt
    int32_t delay = 10;        // seconds before peak detection starts
    int32_t sensitivity = 10;  // seconds the voltage must stay below the peak
    int32_t cells = 8;
    int32_t exportCsv = 0;

    bool operator==(const ChargeSettings&) const = default;
};

inline constexpr int kBatteryNiCd = 1;
inline constexpr int kBatteryNiMH = 2;
inline constexpr int kBatteryCustom = 3;
inline constexpr int kPeakCharge = 1;
inline constexpr int kTimedCharge = 2;

// Threshold in hundredths of a volt as text: 8 gives "0.08", 12 gives "0.12".
std::string FormatThreshold(int threshold);
// A whole number with a "0" in front when it lies between 0 and 9.
std::string TwoDigits(int value);
// Hours, minutes and seconds as 01:30:05.
std::string FormatDuration(int hours, int minutes, int seconds);

// Profile keys of section "Properties".
inline const char* const kPropertiesSection = "Properties";
inline const char* const kKeyHour = "Hour";
inline const char* const kKeyMin = "Min";
inline const char* const kKeySec = "Sec";
inline const char* const kKeyBatteryType = "PeakRadio";
inline const char* const kKeyChargeType = "ChargeType";
inline const char* const kKeyThreshold = "Delta";
inline const char* const kKeyDelay = "Delay";
inline const char* const kKeySensitivity = "Sens";
inline const char* const kKeyCells = "Cells";
inline const char* const kKeyCsv = "Csv";
inline const char* const kKeyPackName = "PackName";
inline const char* const kKeyLastSelected = "LastSelected";

// The main window starts from these when a key is absent.
inline constexpr ChargeSettings kMainWindowDefaults{};
// The Charge Properties dialog opens with what is in force: with nothing stored, the main
// window's defaults (a lower threshold here would change the end of charge on a plain OK).
inline constexpr ChargeSettings kPropertiesDialogDefaults = kMainWindowDefaults;

// The ranges the Charge Properties dialog allows. Settings outside them (a profile edited by
// hand, or written by another version) are never used: 0:00:60 would be a timed charge whose
// clock never reaches its time.
inline constexpr int kFewestCellsAllowed = 4;
inline constexpr int kMostCellsAllowed = 8;
inline constexpr int kLowestThreshold = 1, kHighestThreshold = 20;
inline constexpr int kShortestDelay = 5, kLongestDelay = 60;
inline constexpr int kShortestSensitivity = 5, kLongestSensitivity = 30;
bool IsWithinDialogRanges(const ChargeSettings& settings);
