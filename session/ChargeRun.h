#pragma once
// The parts of one charge's run that the window and the terminal share, so that a charge started
// from either is set up, recorded and remembered the same way: the settings in force, the
// capacity its rate is judged by, the pack's record and the history's row at its end.

#include <QDateTime>
#include <QString>

#include "charge/ChargeCycle.h"
#include "history/ChargeHistory.h"
#include "settings/ChargeSettings.h"

class Profile;
struct ChargeLimits;

// The charge properties stored in the profile; the main window's defaults, with damaged set,
// when they are outside what the Charge Properties dialog allows (edited by hand, or written by
// another version).
ChargeSettings SettingsInForce(Profile& profile, bool& damaged);

// For a pack without a rated capacity typed, what its own charges measured it to hold (the rate
// is judged by it); 0 for a pack with a rated capacity, for no pack, and for a pack with no such
// charge in the history.
double CapacityToJudgeBy(Profile& profile, const QString& pack, const ChargeLimits& limits);

// The pack's record of the charge just ended: its peak (the charge's maximum voltage, as the
// Maximum Voltage display shows it; the voltage at the end has already fallen from it), mAh and
// time, dated now.
void RecordChargeEnd(Profile& profile, const QString& pack, const ChargeTexts& texts);

// The history's row of the charge the engine holds (before Release), under the pack's lasting
// id. logFile: the log written for it, if any (a file name).
HistoryCharge HistoryRowOf(Profile& profile, const ChargeCycle& cycle, ChargeEnd end,
                           const QString& pack, const QDateTime& started,
                           const ChargeLimits& limits, const QString& logFile);
