#include "cli/TerminalCharge.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QThreadPool>
#include <QTimer>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "charge/ChargeCycle.h"
#include "charge/ChargeLog.h"
#include "charge/ChargeLogFile.h"
#include "charge/CycleTexts.h"
#include "curves/ChargeCurve.h"
#include "hardware/Converter.h"
#include "history/ChargeHistory.h"
#include "history/HistoryRecording.h"
#include "limits/ChargeLimitsStore.h"
#include "packs/PackBook.h"
#include "packs/PackFormats.h"
#include "platform/BoundedOutput.h"
#include "platform/DesktopNotifier.h"
#include "platform/LocalTime.h"
#include "platform/PortDriver.h"
#include "platform/Profile.h"
#include "platform/SignalGuard.h"
#include "remote/RemotePublisher.h"
#include "remote/RemoteStore.h"
#include "session/ChargeRun.h"
#include "session/CommandLine.h"
#include "session/GuardedPort.h"
#include "session/PortSelection.h"
#include "settings/ChargeSettingsStore.h"

namespace {

// Standard output and standard error while a charge runs: the tick never waits for a terminal
// held by Ctrl+S or a pipe nobody reads. Far more than a reader that keeps up ever holds back
// (a day of CSV lines is 3 MB).
constexpr size_t kOutputBuffer = 8u << 20;
constexpr size_t kErrorBuffer = 1u << 20;
BoundedOutput* g_out = nullptr;
BoundedOutput* g_err = nullptr;

void Say(const std::string& text) {
    const std::string line = "kvc410: " + text + "\n";
    if (g_err != nullptr) {
        g_err->Write(line);
    } else {
        std::fputs(line.c_str(), stderr);
    }
}

void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char small[512];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (length >= 0 && static_cast<size_t>(length) < sizeof small) {
        text.assign(small, static_cast<size_t>(length));
    } else if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(length));
    }
    va_end(again);
    if (g_out != nullptr) {
        g_out->Write(text);
    } else {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }
}

std::string Clock(const ChargeTexts& t) {
    return std::to_string(ClockValue(t.hours)) + ":" + t.minutes + ":" + t.seconds;
}

// Where the end test stands, in words: "peak detection in 7 s", "3 of 10 s below the line",
// "timed: ends at 1:30:00".
std::string EndTestWords(const EndTestState& test) {
    if (test.timed) {
        const int s = test.cutOffSeconds;
        char text[64];
        std::snprintf(text, sizeof text, "timed: ends at %d:%02d:%02d", s / 3600, s / 60 % 60,
                      s % 60);
        return text;
    }
    if (test.delayLeft > 0) {
        return "peak detection in " + std::to_string(test.delayLeft) + " s";
    }
    return std::to_string(test.secondsBelow) + " of " + std::to_string(test.sensitivity) +
           " s below the line";
}

class TerminalRun : public ChargeObserver {
public:
    TerminalRun(const TerminalChargeOptions& options, ChargeCycle& cycle, Profile& profile,
                QString pack)
        : m_options(options), m_cycle(cycle), m_profile(profile), m_pack(std::move(pack)) {
        m_format = options.format;
        if (m_format == TerminalChargeOptions::Format::Auto) {
            m_format = isatty(STDOUT_FILENO) ? TerminalChargeOptions::Format::Text
                                             : TerminalChargeOptions::Format::Csv;
        }
        m_cycle.AddObserver(this);
    }
    ~TerminalRun() override { m_cycle.RemoveObserver(this); }

    void Begin() {
        if (m_format == TerminalChargeOptions::Format::Csv) {
            Print("%s\n", kChargeLogHeader);
        }
        m_started = QDateTime::currentDateTime();
        m_cycle.Start();
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Second(); });
        m_timer.start(PortTickMilliseconds());
    }

    // A polite request to end (the handler has switched the charger off already).
    void StopBySignal() {
        if (!m_cycle.IsCharging()) {
            return;
        }
        m_timer.stop();
        m_cycle.Stop();
        if (m_options.keepStopped && m_cycle.History().sampleHead != nullptr) {
            StoreEnd();
        }
        Finish(ChargeEnd::Stopped, kExitStopped);
    }

    // The guardian was killed: never charge unguarded.
    void GuardianLost() {
        if (!m_cycle.IsCharging()) {
            return;
        }
        m_timer.stop();
        ChargerOff();
        Say(std::string("the process ") + kGuardianName +
            ", which switches the charger off should KVC410 be killed, has ended: the charge "
            "was stopped.");
        m_cycle.Stop();
        Finish(ChargeEnd::Stopped, kExitStopped);
    }

    // Where the charge is published, if anywhere: each second's values and the end go there.
    void PublishTo(RemotePublisher* remote) { m_remote = remote; }

    // Stop, pressed remotely: as Ctrl+C stops the charge (kept only with --keep-stopped).
    void StopRemotely() {
        if (!m_cycle.IsCharging()) {
            return;
        }
        Say("the charge was stopped remotely (MQTT).");
        StopBySignal();
    }

    void OnEnded(ChargeEnd end) override {
        // The charger is off already (the engine's end); then what the window does.
        m_timer.stop();
        // The last measurement's second (the watchdog's end comes with none).
        if (end != ChargeEnd::Interrupted) {
            PrintSecond();
        }
        if (end == ChargeEnd::SampleLost) {
            // No memory for a sample: stopped, and a record with a hole in it is not kept.
            Finish(ChargeEnd::Stopped, kExitStopped);
            return;
        }
        StoreEnd();
        const ChargeEndNotice notice = DescribeChargeEnd(end, m_cycle.Settings().chargeType,
                                                         m_pack.toStdString(), m_cycle.Texts());
        NotifyInBackground(QString::fromStdString(notice.summary),
                           QString::fromStdString(notice.body), notice.critical);
        Finish(end, TerminalExitStatus(end));
    }

private:
    void Second() {
        // A signal has switched the charger off, and its stop is on its way through the event
        // loop: the box measured now would be judged as a box without a charger.
        if (ChargerOffLatched()) {
            StopBySignal();
            return;
        }
        m_cycle.MeasurementTick();
        if (!m_cycle.IsCharging()) {
            return;  // ended: OnEnded printed the last second and the summary
        }
        m_cycle.ClockTick();
        PrintSecond();
    }

    void PrintSecond() {
        const ChargeSample* s = m_cycle.History().sampleHead;
        if (s == nullptr) {
            return;
        }
        const ChargeTexts& t = m_cycle.Texts();
        const int total = ElapsedSeconds(*s);
        const EndTestState test = DescribeEndTest(m_cycle.History(), m_cycle.Settings(), total);
        switch (m_format) {
            case TerminalChargeOptions::Format::Csv:
                Print("%s\n", ChargeLogLine(total, *s).c_str());
                break;
            case TerminalChargeOptions::Format::Json: {
                const QJsonObject line{{"seconds", total},
                                       {"volts", QString::fromStdString(LogNumber(s->voltage))},
                                       {"amps", QString::fromStdString(LogNumber(s->current))},
                                       {"maximum", QString::fromStdString(t.maxVolts)},
                                       {"mah", QString::fromStdString(t.mah)},
                                       {"test", QString::fromStdString(EndTestWords(test))}};
                Print("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
                break;
            }
            case TerminalChargeOptions::Format::Text:
            case TerminalChargeOptions::Format::Auto:
                // One line, redrawn in place.
                Print("\r%s  %5s V  %4s A  max %5s V  %7s mAh  %-28s", Clock(t).c_str(),
                            t.volts.substr(0, t.volts.find('\n')).c_str(), t.amps.c_str(),
                            t.maxVolts.c_str(), t.mah.c_str(), EndTestWords(test).c_str());
                break;
        }
        WatchOutput();
        Publish(std::string());
    }

    // The values of this second, or the end with its reason and the record just written.
    void Publish(const std::string& endReason) {
        if (m_remote == nullptr) {
            return;
        }
        const RemoteSnapshot snapshot =
            ChargeSnapshot(m_cycle.Texts(), m_cycle.History().sampleHead, true,
                           m_pack.toStdString(), endReason, m_logName.toStdString());
        m_remote->Offer(snapshot);
    }

    // A reader that stops reading, or output that cannot be written, is said once.
    void WatchOutput() {
        if (g_out == nullptr) {
            return;
        }
        if (!m_saidDropped && g_out->Dropped() > 0) {
            m_saidDropped = true;
            Say("standard output is not being read: lines are dropped until it is; the charge "
                "goes on, and its log and record are kept whole.");
        }
        if (!m_saidFailed && !g_out->Failure().empty()) {
            m_saidFailed = true;
            Say("standard output cannot be written (" + g_out->Failure() +
                "): the charge goes on, and its log and record are kept.");
        }
    }

    // Into the history, as the window's charges go: the charger is off and the record written.
    // Written here and now, as the program ends with the charge.
    void RecordInHistory(ChargeEnd end) {
        if (m_cycle.History().sampleHead == nullptr || end == ChargeEnd::SampleLost) {
            return;
        }
        ChargeHistory history;
        if (history.Open() == ChargeHistory::State::Writable) {
            history.Add(HistoryRowOf(m_profile, m_cycle, end, m_pack, m_started,
                                     m_cycle.Backups().Limits(), m_logName));
        }
        if (!history.Problem().isEmpty()) {
            Say(history.Problem().toStdString());
        }
    }

    // The log when the settings ask for it, then the pack's record: as the window's end.
    void StoreEnd() {
        const ChargeTexts& t = m_cycle.Texts();
        if (m_cycle.Settings().exportCsv == 1) {
            QString place;
            QString why;
            if (WriteChargeLogFile(m_cycle.History().sampleHead, m_pack, place, why)) {
                m_logName = QFileInfo(place).fileName();
            } else {
                Say("could not save the charge log \"" + place.toStdString() + "\", because " +
                    why.toStdString());
            }
        }
        RecordChargeEnd(m_profile, m_pack, t);
    }

    void Finish(ChargeEnd end, int code) {
        const ChargeTexts& t = m_cycle.Texts();
        const std::string reason = EndReasonText(end, m_cycle.Settings().chargeType);
        switch (m_format) {
            case TerminalChargeOptions::Format::Csv:
                Print("Summary, %s, %s, %s mAh, peak %s V\n", reason.c_str(),
                            Clock(t).c_str(), t.mah.c_str(), t.maxVolts.c_str());
                break;
            case TerminalChargeOptions::Format::Json: {
                const QJsonObject summary{{"end", QString::fromStdString(reason)},
                                          {"duration", QString::fromStdString(Clock(t))},
                                          {"mah", QString::fromStdString(t.mah)},
                                          {"peak", QString::fromStdString(t.maxVolts)},
                                          {"exit", code}};
                Print("%s\n",
                            QJsonDocument(summary).toJson(QJsonDocument::Compact).constData());
                break;
            }
            case TerminalChargeOptions::Format::Text:
            case TerminalChargeOptions::Format::Auto:
                Print("\n%s after %s: %s mAh, peak %s V\n", reason.c_str(), Clock(t).c_str(),
                            t.mah.c_str(), t.maxVolts.c_str());
                if (const std::string check = WhatToCheck(end); !check.empty()) {
                    Print("%s\n", check.c_str());
                }
                break;
        }
        RecordInHistory(end);
        Publish(reason);
        m_cycle.Release();
        QCoreApplication::exit(code);
    }

    const TerminalChargeOptions& m_options;
    ChargeCycle& m_cycle;
    Profile& m_profile;
    QString m_pack;
    TerminalChargeOptions::Format m_format;
    QTimer m_timer;
    QDateTime m_started;
    QString m_logName;
    RemotePublisher* m_remote = nullptr;
    bool m_saidDropped = false;
    bool m_saidFailed = false;
};

}  // namespace

int TerminalExitStatus(ChargeEnd end) {
    switch (end) {
        case ChargeEnd::ChargerDisconnected:
        case ChargeEnd::BatteryDisconnected:
            return kExitDisconnected;
        case ChargeEnd::Stopped:
        case ChargeEnd::SampleLost:
            return kExitStopped;
        case ChargeEnd::Interrupted:
            return kExitInterrupted;
        default:
            return EndNeedsAttention(end) ? kExitBackup : kExitOk;
    }
}

bool ParseChargeTime(const std::string& text, int& hours, int& minutes, int& seconds) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    size_t from = 0;
    while (count < 3) {
        const size_t colon = text.find(':', from);
        const std::string part = text.substr(from, colon - from);
        if (part.empty() || part.size() > 2 ||
            part.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        parts[count++] = std::stoi(part);
        if (colon == std::string::npos) {
            break;
        }
        from = colon + 1;
        if (count == 3) {
            return false;
        }
    }
    // The last part is the seconds: "1:30:00", "30:00", "45". A time of nothing would end the
    // charge at its first measurement, before the pack has been measured once.
    seconds = parts[count - 1];
    minutes = count >= 2 ? parts[count - 2] : 0;
    hours = count == 3 ? parts[0] : 0;
    return hours <= 59 && minutes <= 59 && seconds <= 59 && hours + minutes + seconds > 0;
}

int RunTerminalCharge(int argc, char** argv, const TerminalChargeOptions& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("KVC410");
    QCoreApplication::setOrganizationName("Quillmark");


    // The port as the window takes it: the lock shared with the window (a charge in a terminal
    // and a window on one port refuse each other), the signal guard and the guardian.
    const GuardedPort port = OpenGuardedPort();
    if (!port.error.empty()) {
        Say(port.error);
        return port.portRefused ? kExitPortUnusable : kExitCannotStart;
    }

    // The profile: the settings in force, or the named pack's; its limits.
    if (const QString problem = Profile::UserFileProblem(); !problem.isEmpty()) {
        Say("the settings file " + problem.toStdString() + " cannot be used.");
        return kExitCannotStart;
    }
    Profile profile(Profile::UserPath());
    bool damaged = false;
    ChargeSettings settings = SettingsInForce(profile, damaged);
    if (damaged) {
        Say("the stored charge properties are outside what the Charge Properties dialog allows; "
            "the defaults are used.");
    }
    PackBook book(profile);
    QString pack = options.pack.empty()
                       ? profile.GetProfileString(kPropertiesSection, kKeyPackName, kNoPack)
                       : QString::fromStdString(options.pack);
    int slot = pack == kNoPack ? -1 : book.FindSlot(pack);
    if (!options.pack.empty()) {
        if (slot < 0 || pack == kNoPack) {
            Say("there is no pack \"" + options.pack + "\" (kvc410 packs lists them)");
            return kExitCannotStart;
        }
        const auto stored = ParsePackProperties(
            profile.GetProfileString(kPacksSection, SlotKey(slot) + "i", "1").toStdString());
        if (!stored || !IsWithinDialogRanges(*stored)) {
            Say("the stored charge properties of the pack \"" + options.pack +
                "\" are damaged; save good ones into it from the window.");
            return kExitCannotStart;
        }
        settings = *stored;
    } else if (slot < 0) {
        pack = kNoPack;  // the current pack is gone: nothing to record into
    }
    if (options.timed) {
        settings.chargeType = kTimedCharge;
        settings.timedHours = options.hours;
        settings.timedMinutes = options.minutes;
        settings.timedSeconds = options.seconds;
    }
    const StoredLimits limits = ReadChargeLimits(profile, slot);
    if (limits.damaged) {
        Say("the stored charge limits cannot be used (" + limits.why.toStdString() +
            "); the defaults are in force.");
    }

    // Published where --mqtt says, else where the window's Remote dialog has it published; with
    // a password that cannot be read safely, nothing is started.
    std::optional<RemoteSettings> broker = options.remote;
    if (!broker) {
        const StoredRemote stored = ReadRemoteSettings(profile);
        if (stored.enabled && stored.broker) {
            broker = stored.broker;
        } else if (stored.enabled) {
            Say("the stored MQTT broker cannot be used (" + stored.why.toStdString() +
                "): the charge is not published.");
        }
    }
    std::string password;
    if (broker && !broker->user.empty()) {
        std::string why;
        if (!ReadPasswordFile(broker->passwordFile, password, why)) {
            Say("publishing over MQTT: " + why + ".");
            return kExitCannotStart;
        }
    }

    ChargeCycle cycle;
    cycle.SetSettings(settings);
    cycle.SetLimits(limits.limits);
    // A pack without a rated capacity typed is judged by what its own charges measured.
    cycle.SetMeasuredCapacity(CapacityToJudgeBy(profile, pack, limits.limits));
    BoundedOutput out(STDOUT_FILENO, kOutputBuffer);
    BoundedOutput err(STDERR_FILENO, kErrorBuffer);
    g_out = &out;
    g_err = &err;
    TerminalRun run(options, cycle, profile, pack);
    std::unique_ptr<RemotePublisher> remote;
    if (broker) {
        const RemoteTopics topics = TopicsFor(*broker,
                                              QSysInfo::machineHostName().toStdString(),
                                              PortSettingInForce(), VersionNumber());
        RemotePublisher::Callbacks callbacks;
        // From the network's thread to the charge's: the stop runs between two ticks.
        callbacks.stop = [&app, &run] {
            QMetaObject::invokeMethod(&app, [&run] { run.StopRemotely(); }, Qt::QueuedConnection);
        };
        // Said through the bounded error output, which takes lines from any thread.
        callbacks.say = [](const std::string& text) { Say(text); };
        remote = std::make_unique<RemotePublisher>(*broker, password, topics, callbacks);
        run.PublishTo(remote.get());
    }
    InstallSignalGuard([&run] { run.StopBySignal(); });
    OnChargerGuardianLost([&run] { run.GuardianLost(); });
    run.Begin();
    int code = app.exec();
    ClearSignalGuardCallback();
    OnChargerGuardianLost({});
    ChargerOff();
    // The end is on its way to the broker: given its second, "offline" said, the client gone.
    run.PublishTo(nullptr);
    remote.reset();
    // A notification on its way is given a moment; a bus that hangs does not hold the exit.
    QThreadPool::globalInstance()->waitForDone(2000);
    StopChargerGuardian();
    // The charger is off and everything stored: only now may the program wait for its reader.
    out.Drain();
    if (const std::string failure = out.Failure(); !failure.empty()) {
        Say("standard output could not be written (" + failure + "); the charge's record and "
            "log are kept.");
        code = kExitOutputFailed;
    }
    err.Drain();
    g_out = nullptr;
    g_err = nullptr;
    return code;
}
