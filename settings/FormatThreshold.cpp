#include <cstdio>

#include "settings/ChargeSettings.h"

std::string FormatThreshold(int threshold) {
    return (threshold < 10 ? "0.0" : "0.") + std::to_string(threshold);
}

std::string TwoDigits(int value) {
    return (value >= 0 && value <= 9 ? "0" : "") + std::to_string(value);
}

std::string FormatDuration(int hours, int minutes, int seconds) {
    return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds);
}
