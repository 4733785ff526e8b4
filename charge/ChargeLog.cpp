#include "charge/ChargeLog.h"

#include "charge/SampleHistory.h"
#include "hardware/Measure.h"
#include "settings/ChargeSettings.h"

std::string ChargeLogFileName(const std::string& packName, const LocalTime& time, int copy) {
    std::string name = packName;
    for (char& c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) {
            c = '_';
        }
    }
    // Appended piece by piece ("literal" + std::string&& sets off a false -Wrestrict in GCC 12).
    std::string stamp = " ";
    stamp += std::to_string(time.month) + "-" + std::to_string(time.day) + "-" +
             std::to_string(time.year) + " " + TwoDigits(time.hour) + "-" + TwoDigits(time.minute);
    std::string copyMark;
    if (copy > 1) {
        copyMark = " (";
        copyMark += std::to_string(copy) + ")";
    }
    // Room for the longest copy mark, " (999)".
    std::string longestMark = " (";
    longestMark += std::to_string(kMostLogCopies) + ").csv";
    const size_t room = kMaxFileNameBytes - stamp.size() - longestMark.size();
    if (name.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;  // not inside a UTF-8 character
        }
        name.resize(cut);
    }
    return name + stamp + copyMark + ".csv";
}

std::string LogNumber(float value) {
    float magnitude = value < 0 ? -value : value;
    size_t index = (magnitude < kTwoDigitLimit ? 4 : 5) + (value < 0 ? 1 : 0);
    return DeleteChars(FormatF(value), index, 4);
}

std::string ChargeLogLine(int totalSeconds, const ChargeSample& s) {
    std::string line = std::to_string(totalSeconds);
    line += ", ";
    line += LogNumber(s.voltage);
    line += ", ";
    line += LogNumber(s.current);
    line += ", ";
    line +=
        std::to_string(s.hours) + ":" + std::to_string(s.minutes) + ":" + std::to_string(s.seconds);
    return line;
}

std::string BuildChargeLog(const ChargeSample* head) {
    if (head == nullptr) {
        return std::string();
    }
    std::string text = kChargeLogHeader;
    text += "\r\n";
    int total = head->seconds + (head->minutes + head->hours * 60) * 60;
    for (const ChargeSample* s = head; s != nullptr; s = s->next, --total) {
        text += ChargeLogLine(total, *s);
        text += "\r\n";
    }
    return text;
}
