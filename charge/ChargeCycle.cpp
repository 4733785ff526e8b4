#include "charge/ChargeCycle.h"

#include <algorithm>

#include "charge/CycleTexts.h"
#include "hardware/Converter.h"
#include "hardware/Measure.h"
#include "platform/PortDriver.h"

namespace {
constexpr double kThresholdVolts = 0.01;  // the threshold is kept in hundredths of a volt
}  // namespace

std::string WhatToCheck(ChargeEnd end) {
    switch (end) {
        case ChargeEnd::ChargerDisconnected:
            return "Check that the charger box is connected to the port and switched on.";
        case ChargeEnd::BatteryDisconnected:
        case ChargeEnd::BatteryRemoved:
            return "Check that the pack is connected to the charger, and its leads.";
        case ChargeEnd::CapacityLimit:
        case ChargeEnd::TimeLimit:
        case ChargeEnd::VoltagePlateau:
            return "The peak was not detected: check the pack (is it warm? does it hold its "
                   "charge?) and its rated capacity in Charge Limits.";
        case ChargeEnd::FullEarly:
            return "The pack was full before the set time: it was ended early, so as not to "
                   "overcharge it.";
        case ChargeEnd::Interrupted:
            return "KVC410 stopped measuring for some seconds (the program was stopped, or "
                   "waited on its output), so the charger was switched off for it. The pack is "
                   "not full: start the charge again.";
        default:
            break;
    }
    return std::string();
}

bool EndNeedsAttention(ChargeEnd end) {
    return !WhatToCheck(end).empty();
}

void ChargeCycle::RemoveObserver(ChargeObserver* observer) {
    std::erase(m_observers, observer);
}

void ChargeCycle::Start() {
    m_texts.seconds = "00";
    m_texts.minutes = "00";
    m_texts.hours = "00";
    m_bCharging = true;
    m_end = ChargeEnd::None;
    m_ampSecondTotal = 0.0f;
    m_packPeak = 0.0f;
    m_backups.Reset();
    // Watched from here: the first measurement switches the charger on.
    ArmChargerWatchdog();
    for (ChargeObserver* o : m_observers) {
        o->OnStarted();
    }
    TextsChanged();
}

void ChargeCycle::Stop() {
    // After an end (a lost sample stops the window's way) the charger is already off and the
    // observers have heard of the end.
    const bool wasCharging = m_bCharging;
    if (wasCharging) {
        ChargerOff();
        DisarmChargerWatchdog();
    }
    m_bCharging = false;
    m_end = ChargeEnd::Stopped;
    if (wasCharging) {
        const std::vector<ChargeObserver*> observers = m_observers;
        for (ChargeObserver* o : observers) {
            o->OnStopped();
        }
    }
}

bool ChargeCycle::ChargerTakenAway() {
    // Told to end (the signal's handler has switched off and the window or terminal stops the
    // charge next): a box measured with the charger off is no charge to judge.
    if (ChargerOffLatched()) {
        return true;
    }
    if (ChargerWatchdogTripped()) {
        End(ChargeEnd::Interrupted);
        return true;
    }
    return false;
}

void ChargeCycle::MeasurementTick() {
    if (ChargerTakenAway()) {
        return;
    }
    ChargerWatchdogBeat();
    const std::string seconds = m_texts.seconds;
    const std::string minutes = m_texts.minutes;
    const std::string hours = m_texts.hours;
    std::string voltText;
    std::string currText;
    float volts = 0.0f;
    float amps = 0.0f;
    Measure(voltText, currText, volts, amps);
    // Stopped in the middle of the conversions, the program finds the charger switched off
    // under them: their reading is not the pack's.
    if (ChargerTakenAway()) {
        return;
    }
    const ChargeSettings& s = m_settings;
    if (!m_history.AddSample(volts, amps, seconds, minutes, hours, s.delay, s.chargeType)) {
        End(ChargeEnd::SampleLost);
        return;
    }
    const std::string previous = m_texts.volts;
    m_texts.volts = voltText;
    m_texts.amps = currText;

    ChargeEnd reason = ChargeEnd::None;
    Disconnection disconnection = CheckDisconnection(voltText);
    // An open circuit carries no current: a pack of many cells charging in the open circuit's
    // voltages is still there.
    if (disconnection == Disconnection::Battery &&
        !IsOpenCircuitCurrent(amps, m_history.SteadyCurrent())) {
        disconnection = Disconnection::None;
    }
    const bool openCircuit = disconnection == Disconnection::Battery;
    if (!openCircuit) {
        m_packPeak = m_history.peakVoltage;
    }
    if (InDisconnectionWindow(seconds, minutes, hours)) {
        switch (disconnection) {
            case Disconnection::Charger:
                m_texts.volts = previous + kChargerDisconnected;
                reason = ChargeEnd::ChargerDisconnected;
                break;
            case Disconnection::Battery:
                m_texts.volts = previous + kBatteryDisconnected;
                reason = ChargeEnd::BatteryDisconnected;
                break;
            case Disconnection::None:
                break;
        }
    }
    m_texts.maxVolts = FormatMaxVoltage(m_history.peakVoltage);
    // Judged every second, so that the graph sees where the limits stand, but only heard when
    // the end-of-charge test and the first-minute test let the charge run on.
    const Backup backup = m_backups.Judge(BackupTick{
        .elapsedSeconds = ClockValue(hours) * 3600 + ClockValue(minutes) * 60 + ClockValue(seconds),
        .deliveredMah = m_ampSecondTotal * kMahPerAmpSecond,
        .volts = volts,
        .openCircuit = openCircuit,
        .timed = s.chargeType == kTimedCharge,
        .timedSeconds = s.timedHours * 3600 + s.timedMinutes * 60 + s.timedSeconds,
        .cells = s.cells,
        .delay = s.delay,
        .thresholdVolts = s.threshold * kThresholdVolts,
        .currentChanged = m_history.CurrentChanged(),
    });
    for (ChargeObserver* o : m_observers) {
        o->OnSample(*m_history.sampleHead);
    }
    TextsChanged();

    if (m_history.IsChargeComplete(seconds, minutes, hours, s.timedSeconds, s.timedMinutes,
                                   s.timedHours, s.sensitivity, s.delay, s.threshold,
                                   s.chargeType) &&
        PeakIsReal()) {
        // A complete charge in the very second a disconnection shows still counts as the
        // disconnection: no chime for a missing pack.
        if (reason == ChargeEnd::None) {
            reason = ChargeEnd::Completed;
        }
    }
    if (reason == ChargeEnd::None) {
        switch (backup) {
            case Backup::Capacity:
                reason = ChargeEnd::CapacityLimit;
                break;
            case Backup::Time:
                reason = ChargeEnd::TimeLimit;
                break;
            case Backup::Plateau:
                reason = ChargeEnd::VoltagePlateau;
                break;
            case Backup::Removed:
                reason = ChargeEnd::BatteryRemoved;
                break;
            case Backup::Drop:
                reason = ChargeEnd::AveragedPeak;
                break;
            case Backup::FullTimed:
                reason = ChargeEnd::FullEarly;
                break;
            case Backup::None:
                break;
        }
    }
    if (reason != ChargeEnd::None) {
        End(reason);
    }
}

void ChargeCycle::ClockTick() {
    TickClock(m_texts.seconds, m_texts.minutes, m_texts.hours);
    if (m_history.sampleHead != nullptr) {
        m_ampSecondTotal = m_ampSecondTotal + m_history.sampleHead->current;
        const double mah = m_ampSecondTotal * kMahPerAmpSecond;
        m_texts.mah = FormatMah(mah);
    }
    TextsChanged();
}

bool ChargeCycle::PeakIsReal() const {
    // The single readings' test alone is fooled by noise: its peak may be one high reading.
    // The end is taken once the means agree. A timed charge's time, and a sensitivity of 0
    // (the end as soon as the delay has passed), are no peak.
    const ChargeSettings& s = m_settings;
    if (s.chargeType == kTimedCharge || s.sensitivity <= 0) {
        return true;
    }
    return m_backups.PeakConfirmed(s.threshold * kThresholdVolts);
}

void ChargeCycle::End(ChargeEnd reason) {
    ChargerOff();
    DisarmChargerWatchdog();
    if (reason == ChargeEnd::BatteryRemoved || reason == ChargeEnd::BatteryDisconnected) {
        // The open circuit's voltage is no peak of the pack.
        m_texts.maxVolts = FormatMaxVoltage(m_packPeak);
    }
    m_bCharging = false;
    m_end = reason;
    // A copy: an observer may remove itself.
    const std::vector<ChargeObserver*> observers = m_observers;
    for (ChargeObserver* o : observers) {
        o->OnEnded(reason);
    }
}

void ChargeCycle::TextsChanged() {
    for (ChargeObserver* o : m_observers) {
        o->OnTextsChanged(m_texts);
    }
}
