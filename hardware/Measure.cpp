#include "hardware/Measure.h"

#include <cctype>
#include <charconv>

#include "hardware/Converter.h"
#include "platform/PortDriver.h"

namespace {
constexpr int kConversions = 10;
constexpr float kConversionsPerInput = 5.0f;
}  // namespace

std::string FormatF(double value) {
    char text[400];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return std::string(text, result.ptr);
}

double Atof(const std::string& text) {
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    if (p < end && *p == '+') {
        ++p;
    }
    double value = 0.0;
    std::from_chars(p, end, value);
    return value;
}

std::string DeleteChars(std::string text, size_t index, size_t count) {
    if (index < text.size()) {
        text.erase(index, count);
    }
    return text;
}

std::string CutTwoDecimals(float value) {
    return DeleteChars(FormatF(value), value < kTwoDigitLimit ? 4 : 5, 4);
}

void ReadRawPair(float& evenMean, float& oddMean) {
    // The ten conversions as one run of port writes (see PortWriteBatch).
    PortWriteBatch batch;
    float evenSum = 0.0f;
    float oddSum = 0.0f;
    for (int i = 1; i <= kConversions; ++i) {
        int count = ReadConverter();
        if (i % 2 == 1) {
            oddSum += static_cast<float>(count);
        } else {
            evenSum += static_cast<float>(count);
        }
    }
    evenMean = evenSum / kConversionsPerInput;
    oddMean = oddSum / kConversionsPerInput;
}

void Measure(std::string& voltText, std::string& currText, float& volts, float& amps) {
    float evenMean = 0.0f;
    float oddMean = 0.0f;
    ReadRawPair(evenMean, oddMean);
    float va = evenMean * kVoltsPerCount - kCountOffsetVolts;
    float vb = oddMean * kVoltsPerCount - kCountOffsetVolts;
    // The two inputs are the ends of the current-sense resistor: the higher one is the battery
    // side as the display shows it, their difference the current.
    if (va > vb) {
        amps = (va - vb) * kAmpsPerVolt;
        volts = va;
    } else {
        amps = (vb - va) * kAmpsPerVolt;
        volts = vb;
    }
    voltText = CutTwoDecimals(volts);
    if (volts < kZeroLimit) {
        voltText = "0.00";
    }
    currText = CutTwoDecimals(amps);
}
