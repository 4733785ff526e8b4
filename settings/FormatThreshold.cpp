#include <cstdio>

#include "settings/ChargeSettings.h"

// Built by appending to a string of its own: "literal" + std::string&& inserts at the front, in
// which GCC 12's Release build sees an overlap that cannot happen (-Wrestrict).
std::string FormatThreshold(int threshold) {
    std::string text = threshold < 10 ? "0.0" : "0.";
    text += std::to_string(threshold);
    return text;
}

std::string TwoDigits(int value) {
    std::string text = value >= 0 && value <= 9 ? "0" : "";
    text += std::to_string(value);
    return text;
}

std::string FormatDuration(int hours, int minutes, int seconds) {
    return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds);
}
