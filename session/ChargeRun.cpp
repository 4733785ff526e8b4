#include "session/ChargeRun.h"

#include "charge/CycleTexts.h"
#include "history/HistoryRecording.h"
#include "limits/ChargeLimits.h"
#include "packs/PackBook.h"
#include "packs/PackStore.h"
#include "platform/LocalTime.h"
#include "platform/Profile.h"
#include "settings/ChargeSettingsStore.h"

ChargeSettings SettingsInForce(Profile& profile, bool& damaged) {
    const ChargeSettings stored = ReadChargeSettings(profile, kMainWindowDefaults);
    damaged = !IsWithinDialogRanges(stored);
    return damaged ? kMainWindowDefaults : stored;
}

double CapacityToJudgeBy(Profile& profile, const QString& pack, const ChargeLimits& limits) {
    if (limits.ratedMah != 0 || pack == kNoPack) {
        return 0;
    }
    return MeasuredCapacity(ChargeHistory::DefaultPath(), PackHistoryIdOf(profile, pack), pack);
}

void RecordChargeEnd(Profile& profile, const QString& pack, const ChargeTexts& t) {
    PackBook(profile).RecordChargeEnd(pack, t.maxVolts, t.mah, t.hours, t.minutes, t.seconds, GetLocalTime());
}

HistoryCharge HistoryRowOf(Profile& profile, const ChargeCycle& cycle, ChargeEnd end,
                           const QString& pack, const QDateTime& started,
                           const ChargeLimits& limits, const QString& logFile) {
    const int slot = pack == kNoPack ? -1 : PackBook(profile).FindSlot(pack);
    return ChargeForHistory(cycle, end, pack, slot >= 0 ? PackHistoryId(profile, slot) : QString(),
                            started, limits, logFile);
}
