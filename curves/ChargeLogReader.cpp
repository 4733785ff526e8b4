#include "curves/ChargeLogReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/SafeRead.h"

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t from = 0;
    while (true) {
        const size_t comma = line.find(',', from);
        fields.push_back(
            Trim(line.substr(from, comma == std::string_view::npos ? line.npos : comma - from)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        from = comma + 1;
    }
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The whole field must be the number; no locale is consulted.
template <typename T>
bool Number(std::string_view s, T& value) {
    if (s.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size();
}

bool SameWords(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

constexpr std::string_view kHeader[] = {"Total Seconds", "Voltage", "Current", "Charge Duration"};
constexpr size_t kLongestHeaderLine = 256;

bool IsHeader(std::string_view line) {
    if (line.size() > kLongestHeaderLine) {
        return false;
    }
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() != std::size(kHeader)) {
        return false;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!SameWords(fields[i], kHeader[i])) {
            return false;
        }
    }
    return true;
}

// A data line: seconds, volts, amps, duration. Six fields are a line written with decimal
// commas ("3, 9,81, 0,52, 0:0:3").
bool ReadLine(std::string_view line, CurvePoint& point) {
    std::vector<std::string_view> f = Fields(line);
    std::string volts, amps;
    if (f.size() == 4) {
        volts = f[1];
        amps = f[2];
    } else if (f.size() == 6 && AllDigits(f[2]) && AllDigits(f[4])) {
        volts = std::string(f[1]) + "." + std::string(f[2]);
        amps = std::string(f[3]) + "." + std::string(f[4]);
    } else {
        return false;
    }
    int seconds = 0;
    float v = 0.0f;
    float a = 0.0f;
    if (!Number(f[0], seconds) || seconds < 0 || !Number(std::string_view(volts), v) ||
        !Number(std::string_view(amps), a) || !std::isfinite(v) || !std::isfinite(a)) {
        return false;
    }
    point = CurvePoint{seconds, v, a};
    return true;
}

}  // namespace

ChargeLogRead ReadChargeLog(std::string_view text) {
    ChargeLogRead result;
    if (text.find('\0') != std::string_view::npos) {
        result.error = "it holds binary data, not the lines of a charge log";
        return result;
    }
    bool header = false;
    size_t from = 0;
    while (from < text.size()) {
        // Lines end in CR LF, LF or CR alone.
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = Trim(text.substr(from, end - from));
        from = end + 1;
        if (end < text.size() && text[end] == '\r' && from < text.size() && text[from] == '\n') {
            ++from;
        }
        if (line.empty()) {
            continue;
        }
        if (!header) {
            if (!IsHeader(line)) {
                result.error =
                    "its first line is not \"Total Seconds, Voltage, Current, Charge Duration\"";
                return result;
            }
            header = true;
            continue;
        }
        CurvePoint point{};
        if (ReadLine(line, point)) {
            result.points.push_back(point);
        } else {
            ++result.skippedLines;
        }
    }
    if (!header) {
        result.error = "it is empty";
        return result;
    }
    // The log is newest first; the curve runs oldest first.
    std::stable_sort(
        result.points.begin(), result.points.end(),
        [](const CurvePoint& a, const CurvePoint& b) { return a.seconds < b.seconds; });
    result.ok = true;
    return result;
}

ChargeLogRead ReadChargeLogFile(const std::string& path) {
    ChargeLogRead result;
    std::string text;
    std::string why;
    switch (ReadRegularFile(path, kMostChargeLogBytes, text, why)) {
        case SafeRead::Ok:
            return ReadChargeLog(text);
        case SafeRead::TooLarge:
            result.error = "it is larger than any charge log (64 MB)";
            return result;
        case SafeRead::NotRegular:
            result.error = why;
            return result;
        case SafeRead::Absent:
        case SafeRead::Unreadable:
            break;
    }
    result.error = "it cannot be opened";
    return result;
}

long long ChargeLogName::SortKey() const {
    return ((((static_cast<long long>(year) * 13 + month) * 32 + day) * 24 + hour) * 60 + minute) *
               1000 +
           copy;
}

std::optional<ChargeLogName> ParseChargeLogName(std::string_view name) {
    constexpr std::string_view kExtension = ".csv";
    if (name.size() <= kExtension.size() || !name.ends_with(kExtension)) {
        return std::nullopt;
    }
    name.remove_suffix(kExtension.size());
    ChargeLogName log;
    // " (n)" of a second log in one minute.
    if (name.ends_with(")")) {
        const size_t open = name.rfind(" (");
        if (open != std::string_view::npos &&
            Number(name.substr(open + 2, name.size() - open - 3), log.copy) && log.copy >= 2) {
            name = name.substr(0, open);
        } else {
            log.copy = 1;
        }
    }
    // "<pack> M-D-YYYY HH-MM": the last two words.
    const size_t timeAt = name.rfind(' ');
    if (timeAt == std::string_view::npos || timeAt == 0) {
        return std::nullopt;
    }
    const size_t dateAt = name.rfind(' ', timeAt - 1);
    if (dateAt == std::string_view::npos || dateAt == 0) {
        return std::nullopt;
    }
    auto parts = [](std::string_view text, std::vector<int>& out) {
        out.clear();
        size_t from = 0;
        while (true) {
            const size_t dash = text.find('-', from);
            int n = 0;
            if (!Number(text.substr(from, dash == text.npos ? text.npos : dash - from), n)) {
                return false;
            }
            out.push_back(n);
            if (dash == text.npos) {
                return true;
            }
            from = dash + 1;
        }
    };
    std::vector<int> date, time;
    if (!parts(name.substr(dateAt + 1, timeAt - dateAt - 1), date) || date.size() != 3 ||
        !parts(name.substr(timeAt + 1), time) || time.size() != 2) {
        return std::nullopt;
    }
    log.month = date[0];
    log.day = date[1];
    log.year = date[2];
    log.hour = time[0];
    log.minute = time[1];
    if (log.month < 1 || log.month > 12 || log.day < 1 || log.day > 31 || log.hour > 23 ||
        log.minute > 59) {
        return std::nullopt;
    }
    log.pack = std::string(name.substr(0, dateAt));
    return log;
}
