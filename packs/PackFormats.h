#pragma once
// The two text forms a pack is stored in: the 17-digit properties string (a pack's
// ChargeSettings) and the 39-character record of its last charge. Readers take characters by
// fixed position and never read past the end of what is stored.

#include <optional>
#include <string>

#include "platform/LocalTime.h"
#include "settings/ChargeSettings.h"

inline constexpr size_t kPropertiesLength = 17;
inline constexpr size_t kRecordLength = 39;
inline const char* const kNoRecord = "0";
inline const char* const kBlankRecord = "000000000000000000000000000000000000000";
inline constexpr int kMostCharges = 99999;

// Where each field of the record lies: offset and length.
struct RecordField {
    size_t at;
    size_t length;
};
inline constexpr RecordField kRecordPeak{0, 4};  // volts x 100
inline constexpr RecordField kRecordMah{4, 8};   // one decimal
inline constexpr RecordField kRecordHours{12, 2};
inline constexpr RecordField kRecordMinutes{14, 2};
inline constexpr RecordField kRecordSeconds{16, 2};
inline constexpr RecordField kRecordTime{18, 4};      // hour, minute of the end
inline constexpr RecordField kRecordDate{22, 8};      // month, day, year
inline constexpr RecordField kRecordPrevious{30, 4};  // the peak of the charge before
inline constexpr RecordField kRecordCount{34, 5};

std::string EncodePackProperties(const ChargeSettings& settings);
// The settings of a properties string; nothing unless it is exactly 17 digits.
std::optional<ChargeSettings> ParsePackProperties(const std::string& text);

// The record written at the end of a charge, from the main window's display texts (voltage,
// mAh, hours, minutes, seconds), the local time, and the pack's previous record ("0" for none).
// It is always 39 characters: a duration of 100 hours or more is stored as 99:59:59 and the count
// stops at 99999.
std::string BuildPackRecord(const std::string& voltText, const std::string& mahText,
                            const std::string& hours, const std::string& minutes,
                            const std::string& seconds, const LocalTime& now,
                            const std::string& previous);

// The count in a record (0 where the record has none).
int RecordCount(const std::string& record);
// The record with its count replaced; a record without one ("0") starts from the blank record.
std::string ReplaceRecordCount(const std::string& record, int charges);

// What the Pack Information dialog shows of a record. A field the record is too short to hold
// stays empty; one that holds what the program never writes shows kDamagedField.
inline const char* const kDamagedField = "damaged";
struct PackInfoTexts {
    std::string peakVoltage;
    std::string mah;
    std::string averageCurrent;
    std::string duration;
    std::string date;
    std::string time;
    std::string previousPeak;
    std::string charges;
};
PackInfoTexts FormatPackRecord(const std::string& record);
