#pragma once
// One measurement: ten conversions split into the converter's two inputs, averaged, scaled to
// volts, and the charge current from their difference. Plus the display cuts shared by the
// program's number texts.

#include <string>

inline constexpr float kVoltsPerCount = 0.006329114f;
inline constexpr float kCountOffsetVolts = 1.49f;
inline constexpr float kAmpsPerVolt = 0.8333333f;
inline constexpr float kTwoDigitLimit = 10.0f;
inline constexpr float kZeroLimit = 0.01f;

void ReadRawPair(float& evenMean, float& oddMean);
void Measure(std::string& voltText, std::string& currText, float& volts, float& amps);

// printf's "%f" in the C locale: six decimals after a decimal point, whatever the user's locale
// (the texts are cut at fixed places, written to CSV files and read back).
std::string FormatF(double value);
// atof in the C locale: leading blanks skipped, the longest number read, 0 when there is none.
double Atof(const std::string& text);
// Deletes count characters from index, like the string class the texts were first cut with:
// a range past the end is shortened, an index past the end deletes nothing.
std::string DeleteChars(std::string text, size_t index, size_t count);
// "%f" cut to two decimals: four characters deleted from index 4 below 10, from index 5 above.
std::string CutTwoDecimals(float value);
