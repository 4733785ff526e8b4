#include "packs/PackFormats.h"

#include <cstdlib>

#include "hardware/Measure.h"

namespace {

// The characters of text from pos, at most len of them; fewer (or none) where text ends.
std::string Sub(const std::string& text, size_t pos, size_t len) {
    return pos < text.size() ? text.substr(pos, len) : std::string();
}

char At(const std::string& text, size_t pos) {
    return pos < text.size() ? text[pos] : '0';
}

int Atoi(const std::string& text) {
    return std::atoi(text.c_str());
}

// Zero-padded on the left to width; longer text keeps its first width characters.
std::string Fit(const std::string& text, size_t width) {
    std::string padded = text.size() < width ? std::string(width - text.size(), '0') + text : text;
    return padded.substr(0, width);
}

std::string Padded(int value, size_t width) {
    return Fit(std::to_string(value), width);
}

bool AllDigits(const std::string& text) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// "0987" shows as 9.87 and "1234" as 12.34.
std::string VoltsFromRecord(const std::string& field) {
    std::string text;
    if (field[0] != '0') {
        text += field[0];
    }
    return text + field[1] + "." + field[2] + field[3];
}

// Leading zeros removed, keeping as many digits as the value needs: how many characters go
// depends on the value, with limits at 10, 100, 1000, ... up to the last one given.
std::string TrimByValue(const std::string& field, int value, int maxRemoved) {
    int removed = maxRemoved;
    for (int limit = 10; removed > 0 && value >= limit; limit *= 10) {
        --removed;
    }
    return Sub(field, static_cast<size_t>(removed), std::string::npos);
}

}  // namespace

std::string EncodePackProperties(const ChargeSettings& s) {
    std::string text;
    text += s.chargeType == kPeakCharge ? "1" : "2";
    text += std::to_string(s.batteryType);
    text += TwoDigits(s.threshold);
    text += (s.delay < 10 ? "00" : (s.delay < 100 ? "0" : "")) + std::to_string(s.delay);
    text += TwoDigits(s.sensitivity);
    text += std::to_string(s.cells);
    text += TwoDigits(s.timedHours);
    text += TwoDigits(s.timedMinutes);
    text += TwoDigits(s.timedSeconds);
    text += s.exportCsv == 1 ? "1" : "0";
    return text;
}

std::optional<ChargeSettings> ParsePackProperties(const std::string& text) {
    if (text.size() != kPropertiesLength || !AllDigits(text)) {
        return std::nullopt;
    }
    ChargeSettings s;
    s.chargeType = Atoi(text.substr(0, 1));
    s.batteryType = Atoi(text.substr(1, 1));
    s.threshold = Atoi(text.substr(2, 2));
    s.delay = Atoi(text.substr(4, 3));
    s.sensitivity = Atoi(text.substr(7, 2));
    s.cells = Atoi(text.substr(9, 1));
    s.timedHours = Atoi(text.substr(10, 2));
    s.timedMinutes = Atoi(text.substr(12, 2));
    s.timedSeconds = Atoi(text.substr(14, 2));
    s.exportCsv = Atoi(text.substr(16, 1));
    return s;
}

std::string BuildPackRecord(const std::string& voltText, const std::string& mahText,
                            const std::string& hours, const std::string& minutes,
                            const std::string& seconds, const LocalTime& now,
                            const std::string& previous) {
    std::string record;
    // Peak voltage: the displayed voltage's four digits (a notice after them is not looked at).
    if (Atoi(voltText) >= 10) {
        record += {At(voltText, 0), At(voltText, 1), At(voltText, 3), At(voltText, 4)};
    } else {
        record += {'0', At(voltText, 0), At(voltText, 2), At(voltText, 3)};
    }
    // Delivered charge, eight characters with one decimal; a million mAh or more has no room.
    const int mah = Atoi(mahText);
    record += mah >= 1000000 ? std::string("000000.0") : Fit(mahText, 8);
    // Duration as the clock shows it; it has two hour digits only.
    if (hours.size() > 2) {
        record += "995959";
    } else {
        record += Fit(hours, 2) + Fit(minutes, 2) + Fit(seconds, 2);
    }
    record += TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.month) +
              TwoDigits(now.day) + Padded(now.year, 4);
    const bool first = previous == kNoRecord;
    std::string previousPeak =
        first ? std::string(kRecordPrevious.length, '0') : Sub(previous, 0, kRecordPeak.length);
    record += previousPeak + std::string(kRecordPrevious.length - previousPeak.size(), '0');
    int count = first ? 1 : RecordCount(previous) + 1;
    record += Padded(count > kMostCharges ? kMostCharges : count, kRecordCount.length);
    return record;
}

int RecordCount(const std::string& record) {
    return Atoi(Sub(record, kRecordCount.at, kRecordCount.length));
}

std::string ReplaceRecordCount(const std::string& record, int charges) {
    std::string base = record == kNoRecord ? std::string(kBlankRecord) : record;
    base = Sub(base, 0, kRecordCount.at);
    base += std::string(kRecordCount.at - base.size(), '0');
    return base + Padded(charges, kRecordCount.length);
}

PackInfoTexts FormatPackRecord(const std::string& r) {
    PackInfoTexts t;
    auto has = [&r](RecordField f) { return r.size() >= f.at + f.length; };
    auto field = [&r](RecordField f) { return r.substr(f.at, f.length); };
    auto part = [&r](RecordField f, size_t from, size_t length) {
        return r.substr(f.at + from, length);
    };
    // A field holding what the program never writes (a profile edited by hand) says so, rather
    // than showing its characters as if they were a value ("zz.99").
    auto sound = [&](RecordField f) {
        return field(f).find_first_not_of("0123456789.-") == std::string::npos;
    };
    if (has(kRecordPeak)) {
        t.peakVoltage = sound(kRecordPeak) ? VoltsFromRecord(field(kRecordPeak)) : kDamagedField;
    }
    if (has(kRecordMah)) {
        const std::string mah = field(kRecordMah);
        if (!sound(kRecordMah)) {
            t.mah = kDamagedField;
        } else if (mah.find('.') == std::string::npos) {
            // The blank record a count edit starts from has no decimal point: show its value
            // with one decimal, as every other record shows, not a row of zeros.
            std::string whole = FormatF(Atof(mah));
            t.mah = whole.substr(0, whole.find('.') + 2);
        } else {
            t.mah = TrimByValue(mah, Atoi(mah), 5);
        }
    }
    if (has(kRecordHours) && has(kRecordMinutes) && has(kRecordSeconds)) {
        if (!sound(kRecordHours) || !sound(kRecordMinutes) || !sound(kRecordSeconds) ||
            !sound(kRecordMah)) {
            t.duration = kDamagedField;
            t.averageCurrent = kDamagedField;
        } else {
            t.duration =
                field(kRecordHours) + ":" + field(kRecordMinutes) + ":" + field(kRecordSeconds);
            double mah = Atof(field(kRecordMah));
            double hoursTotal = Atoi(field(kRecordSeconds)) * 0.0002777777777777778 +
                                Atoi(field(kRecordMinutes)) * 0.016666666666666666 +
                                Atoi(field(kRecordHours));
            double amps = hoursTotal == 0 ? 0 : mah / (hoursTotal * 1000);
            t.averageCurrent = DeleteChars(FormatF(amps), 4, 4);
        }
    }
    if (has(kRecordTime)) {
        t.time = sound(kRecordTime) ? part(kRecordTime, 0, 2) + ":" + part(kRecordTime, 2, 2)
                                    : kDamagedField;
    }
    if (has(kRecordDate)) {
        t.date = sound(kRecordDate) ? part(kRecordDate, 0, 2) + "/" + part(kRecordDate, 2, 2) +
                                          "/" + part(kRecordDate, 4, 4)
                                    : kDamagedField;
    }
    if (has(kRecordPrevious)) {
        t.previousPeak =
            sound(kRecordPrevious) ? VoltsFromRecord(field(kRecordPrevious)) : kDamagedField;
    }
    if (has(kRecordCount)) {
        const std::string count = field(kRecordCount);
        t.charges = sound(kRecordCount) ? TrimByValue(count, Atoi(count), 4) : kDamagedField;
    }
    return t;
}
