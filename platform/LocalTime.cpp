#include "platform/LocalTime.h"

#include <ctime>
#include <optional>

namespace {
std::optional<LocalTime> g_fixed;
}

LocalTime GetLocalTime() {
    if (g_fixed) {
        return *g_fixed;
    }
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

void SetLocalTimeForTests(const LocalTime* time) {
    if (time != nullptr) {
        g_fixed = *time;
    } else {
        g_fixed.reset();
    }
}
