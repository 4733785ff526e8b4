#include "charge/CycleTexts.h"

#include <cstdlib>

#include "charge/SampleHistory.h"
#include "hardware/Measure.h"
#include "settings/ChargeSettings.h"

namespace {
constexpr double kChargerMissingBelow = 0.02;
constexpr double kChargerMissingFrom = 21.0;
constexpr double kBatteryMissingAbove = 18.5;
constexpr int kFirstJudgedSecond = 3;
}  // namespace

void TickClock(std::string& seconds, std::string& minutes, std::string& hours) {
    int s = ClockValue(seconds);
    int m = ClockValue(minutes);
    int h = ClockValue(hours);
    if (s >= 59) {
        s = 0;
        m = m + 1;
    } else {
        s = s + 1;
    }
    if (m > 59) {
        m = 0;
        h = h + 1;
    }
    seconds = TwoDigits(s);
    minutes = TwoDigits(m);
    hours = TwoDigits(h);
}

std::string FormatMah(double mah) {
    std::string text = FormatF(mah);
    size_t index = 0;
    if (mah < 10) {
        index = 3;
    } else if (mah < 100) {
        index = 4;
    } else if (mah < 1000) {
        index = 5;
    } else if (mah < 10000) {
        index = 6;
    } else if (mah < 100000) {
        index = 7;
    } else if (mah < 1000000) {
        index = 8;
    } else {
        return text;
    }
    return DeleteChars(text, index, 5);
}

std::string FormatMaxVoltage(float peakVoltage) {
    return DeleteChars(FormatF(peakVoltage), peakVoltage > 10.0f ? 5 : 4, 4);
}

Disconnection CheckDisconnection(const std::string& voltText) {
    return CheckDisconnection(Atof(voltText));
}

Disconnection CheckDisconnection(double v) {
    if (v < kChargerMissingBelow || v >= kChargerMissingFrom) {
        return Disconnection::Charger;
    }
    if (v > kBatteryMissingAbove && v < kChargerMissingFrom) {
        return Disconnection::Battery;
    }
    return Disconnection::None;
}

bool InDisconnectionWindow(const std::string& seconds, const std::string& minutes,
                           const std::string& hours) {
    return hours == "00" && minutes == "00" && ClockValue(seconds) >= kFirstJudgedSecond;
}
