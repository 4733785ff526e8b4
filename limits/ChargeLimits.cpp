#include "limits/ChargeLimits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {
constexpr int kFirstMinute = 60;
constexpr int kPackLimitFields = 8;

bool In(int value, int low, int high) {
    return value >= low && value <= high;
}
}  // namespace

std::optional<std::string> FieldOutsideRange(const ChargeLimits& l) {
    if (l.ratedMah != 0 && !In(l.ratedMah, kLeastRatedMah, kMostRatedMah)) {
        return "Rated capacity";
    }
    if (!In(l.capacityPercent, kLeastCapacityPercent, kMostCapacityPercent)) {
        return "Capacity cut-off";
    }
    if (l.timerMinutes != 0 && !In(l.timerMinutes, kShortestTimerMinutes, kLongestTimerMinutes)) {
        return "Safety timer";
    }
    if (!In(l.plateauMinutes, kShortestPlateauMinutes, kLongestPlateauMinutes)) {
        return "Voltage plateau";
    }
    return std::nullopt;
}

std::string FormatPackLimits(const ChargeLimits& l) {
    auto on = [](bool b) { return b ? "1" : "0"; };
    return std::to_string(l.ratedMah) + " " + on(l.capacityOn) + " " +
           std::to_string(l.capacityPercent) + " " + on(l.timerOn) + " " +
           std::to_string(l.timerMinutes) + " " + on(l.plateauOn) + " " +
           std::to_string(l.plateauMinutes) + " " + on(l.removedOn);
}

bool ParsePackLimits(const std::string& text, ChargeLimits& limits) {
    // A hand-edited profile may hold anything here: only short, plain numbers are read.
    if (text.size() > 64) {
        return false;
    }
    std::vector<int> values;
    const char* p = text.data();
    const char* end = p + text.size();
    while (values.size() <= kPackLimitFields) {
        int value = 0;
        auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc() || (next != end && *next != ' ')) {
            return false;
        }
        values.push_back(value);
        if (next == end) {
            break;
        }
        p = next + 1;
    }
    auto flag = [](int v, bool& out) {
        out = v == 1;
        return v == 0 || v == 1;
    };
    ChargeLimits l;
    if (values.size() != kPackLimitFields || !flag(values[1], l.capacityOn) ||
        !flag(values[3], l.timerOn) || !flag(values[5], l.plateauOn) ||
        !flag(values[7], l.removedOn)) {
        return false;
    }
    l.ratedMah = values[0];
    l.capacityPercent = values[2];
    l.timerMinutes = values[4];
    l.plateauMinutes = values[6];
    limits = l;
    return true;
}

void BackupCutoffs::Reset() {
    const ChargeLimits limits = m_limits;
    *this = BackupCutoffs();
    m_limits = limits;
}

Backup BackupCutoffs::Judge(const BackupTick& t) {
    const ChargeLimits& l = m_limits;
    // Average current so far, in mAh a second (nothing yet in the very first second).
    const double mahPerSecond = t.elapsedSeconds > 0 ? t.deliveredMah / t.elapsedSeconds : 0.0;
    auto secondsToDeliver = [&](double mah) {
        return mahPerSecond > 0 ? static_cast<int32_t>(std::min(mah / mahPerSecond, 1e9)) : 0;
    };

    // The first minute is the disconnection test's; after it, an open circuit ends the charge.
    if (l.removedOn && t.openCircuit && t.elapsedSeconds >= kFirstMinute) {
        if (++m_removedFor >= kRemovedSeconds) {
            return Backup::Removed;
        }
    } else {
        m_removedFor = 0;
    }

    m_capacitySeconds = 0;
    if (l.capacityOn && l.ratedMah > 0) {
        const double limitMah = l.ratedMah * l.capacityPercent / 100.0;
        m_capacitySeconds = secondsToDeliver(limitMah);
        if (t.deliveredMah >= limitMah) {
            return Backup::Capacity;
        }
    }
    if (t.timed) {
        m_timerSeconds = 0;
        return Backup::None;
    }

    if (!l.timerOn) {
        m_timerSeconds = 0;
    } else if (l.timerMinutes > 0) {
        m_timerSeconds = l.timerMinutes * 60;
    } else if (l.ratedMah > 0) {
        m_timerSeconds = secondsToDeliver(l.ratedMah * kTimerCapacityShare);
    } else {
        m_timerSeconds = kUnknownCapacityTimerSeconds;
    }
    if (m_timerSeconds > 0 && t.elapsedSeconds >= m_timerSeconds) {
        return Backup::Time;
    }

    // The plateau, from the end of the first minute (the longest delay ends within it): the
    // switch-on step is over by then.
    if (t.elapsedSeconds < std::max(kFirstMinute, t.delay)) {
        return Backup::None;
    }
    m_blockSum += t.volts;
    if (++m_blockCount == kPlateauBlockSeconds) {
        const double mean = m_blockSum / m_blockCount;
        const double rise = kPlateauRiseVoltsPerCell * std::max(1, t.cells);
        if (!m_highest || mean > *m_highest + rise) {
            m_highest = mean;
            m_highestAt = t.elapsedSeconds;
        }
        m_blockSum = 0.0;
        m_blockCount = 0;
    }
    m_secondsWithoutRise = m_highest ? t.elapsedSeconds - m_highestAt : 0;
    if (l.plateauOn && m_secondsWithoutRise >= l.plateauMinutes * 60) {
        return Backup::Plateau;
    }
    return Backup::None;
}
