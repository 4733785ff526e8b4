#pragma once
// The charge engine, without a window: Start and Stop, the measurement tick and the clock tick,
// the clock and display texts, the sample history, the delivered charge, the settings in force,
// and how the cycle ended. The main window, a benchmark or a graph drive it and watch it; the
// port is reached through the measurement functions.
//
// The texts are the state, as they always were: the clock is three decimal texts, the
// disconnection notice goes under the voltage text shown before, and the pack's record is built
// from what the display shows.

#include <string>
#include <vector>

#include "charge/SampleHistory.h"
#include "limits/ChargeLimits.h"
#include "settings/ChargeSettings.h"

enum class ChargeEnd {
    None,                 // not ended (yet)
    Completed,            // the end-of-charge test: the peak passed, or the set time reached
    ChargerDisconnected,  // first minute: the voltage says there is no charger box
    BatteryDisconnected,  // first minute: the voltage says there is no battery
    Stopped,              // Stop by hand
    SampleLost,           // no memory for a sample: the history could no longer judge the end
    // The backups, for charges the tests above would let run on:
    CapacityLimit,   // the delivered charge reached its share of the rated capacity
    TimeLimit,       // the safety timer of a peak charge ran out
    VoltagePlateau,  // the voltage of a peak charge stopped rising
    BatteryRemoved,  // after the first minute, the charger's open circuit for five seconds
    // The end tests on the mean voltage, for a peak that noise hides from single readings, and
    // a timed charge of a pack that is already full:
    AveragedPeak,  // the mean voltage fell by the threshold from its highest
    FullEarly,     // a timed charge whose pack peaked or went flat before the time was up
    // The program stopped measuring (frozen, or blocked on its output) and the watchdog
    // switched the charger off in its place.
    Interrupted,
};

// Whether an end needs the user to look at the pack: the peak was never seen.
bool EndNeedsAttention(ChargeEnd end);
// What the user should look at after such an end; empty for the others.
std::string WhatToCheck(ChargeEnd end);

// What the main window's displays show.
struct ChargeTexts {
    std::string volts = "0.00";
    std::string amps = "0.00";
    std::string maxVolts = "0.00";
    std::string mah = "0.0";
    std::string hours = "00";
    std::string minutes = "00";
    std::string seconds = "00";
};

class ChargeObserver {
public:
    virtual ~ChargeObserver() = default;
    // Any of the texts changed.
    virtual void OnTextsChanged(const ChargeTexts&) {}
    // A measurement was stored (the history's newest sample).
    virtual void OnSample(const ChargeSample&) {}
    // The cycle ended, the charger is already off; the samples stay until Release.
    virtual void OnEnded(ChargeEnd) {}
    // A new cycle began (the clock is at 00:00:00, no sample yet).
    virtual void OnStarted() {}
    // Stop by hand; the charger is already off.
    virtual void OnStopped() {}
};

class ChargeCycle {
public:
    // The settings in force; a running charge uses new ones from its next measurement on.
    void SetSettings(const ChargeSettings& settings) { m_settings = settings; }
    const ChargeSettings& Settings() const { return m_settings; }
    // The backup cut-offs in force; like the settings, from the next measurement on.
    void SetLimits(const ChargeLimits& limits) { m_backups.SetLimits(limits); }
    // The pack's capacity as its charge history measured it (see BackupCutoffs).
    void SetMeasuredCapacity(double mah) { m_backups.SetMeasuredCapacity(mah); }
    const BackupCutoffs& Backups() const { return m_backups; }

    // Clock to 00:00:00, delivered charge to nothing. The port is not touched: the first
    // measurement switches the charger on.
    void Start();
    // Stops by hand: the charger off. The samples stay for the record and the log.
    void Stop();
    // Ten conversions, the sample stored, the displays, the first-minute disconnection test and
    // the end-of-charge test; at an end, the charger off and the observers told.
    void MeasurementTick();
    // The clock one second on, and the newest sample's current added to the delivered charge.
    void ClockTick();
    // Frees the samples of an ended or stopped cycle.
    void Release() { m_history.FreeSamples(); }

    bool IsCharging() const { return m_bCharging; }
    ChargeEnd LastEnd() const { return m_end; }
    const ChargeTexts& Texts() const { return m_texts; }
    // Tests and the window may put a text where the cycle reads it back.
    ChargeTexts& MutableTexts() { return m_texts; }
    SampleHistory& History() { return m_history; }
    const SampleHistory& History() const { return m_history; }
    float AmpSecondTotal() const { return m_ampSecondTotal; }

    void AddObserver(ChargeObserver* observer) { m_observers.push_back(observer); }
    void RemoveObserver(ChargeObserver* observer);

private:
    void End(ChargeEnd reason);
    // The charger was switched off from outside the engine (a signal, the watchdog): true when
    // this measurement must not go on; after the watchdog the charge has ended as Interrupted.
    bool ChargerTakenAway();
    void TextsChanged();
    // Whether a peak the end-of-charge test found is more than noise.
    bool PeakIsReal() const;

    ChargeSettings m_settings;
    ChargeTexts m_texts;
    SampleHistory m_history;
    BackupCutoffs m_backups;
    float m_ampSecondTotal = 0.0f;
    // The peak as it stood at the last reading of the pack itself (not of an open circuit):
    // the record of a pulled pack keeps it.
    float m_packPeak = 0.0f;
    bool m_bCharging = false;
    ChargeEnd m_end = ChargeEnd::None;
    std::vector<ChargeObserver*> m_observers;
};
