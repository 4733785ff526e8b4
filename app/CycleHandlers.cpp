// The main window's side of a charge: the Start/Stop button, the two timers forwarded to the
// engine, the displays mirrored from it, and what the window does at the end (the log, the
// pack's record, the picture, the chime).

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QSysInfo>
#include <cstdio>
#include <cstdlib>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "charge/ChargeLogFile.h"
#include "charge/CycleTexts.h"
#include "controls/CGifPicture.h"
#include "controls/CSkinButton.h"
#include "curves/ChargeCurve.h"
#include "hardware/Converter.h"
#include "hardware/Measure.h"
#include "history/ChargeHistory.h"
#include "history/HistoryRecording.h"
#include "packs/PackBook.h"
#include "platform/DesktopNotifier.h"
#include "platform/LocalTime.h"
#include "platform/PortDriver.h"
#include "platform/Resources.h"
#include "platform/SafeRead.h"
#include "platform/SignalGuard.h"
#include "remote/RemotePublisher.h"
#include "remote/RemoteStore.h"
#include "session/ChargeRun.h"
#include "session/CommandLine.h"
#include "session/PortSelection.h"

namespace {
constexpr int kMeasurementTimer = 1;
constexpr int kClockTimer = 2;
constexpr int kChargingGif = 197;
constexpr int kIdleGif = 198;
const char* const kEndPicture = "nomove.gif";
// The most of a picture or a sound of the user's that is read: far more than any end picture
// or chime needs.
constexpr size_t kLargestUserFile = 64u << 20;
const char* const kStart = "Start";
const char* const kStop = "Stop";

}  // namespace

void CChargerDlg::OnOK() {
    if (!m_cycle.IsCharging()) {
        StartCycle();
    } else {
        StopCycle(true);
    }
}

void CChargerDlg::StartCycle() {
    if (m_ensureGuardian && !m_ensureGuardian()) {
        m_reportFailure(QString("KVC410 cannot start %1, the process that switches the charger "
                                "off should KVC410 be killed, so it will not start a charge.")
                            .arg(kGuardianName));
        return;
    }
    m_btnStart->setText(kStop);
    // A second on a real port; faster on a simulated box that runs faster than the wall clock.
    SetTimer(kMeasurementTimer, PortTickMilliseconds());
    SetTimer(kClockTimer, PortTickMilliseconds());
    m_recorder->SetPack(m_strPackName.toStdString());
    m_chargeStarted = QDateTime::currentDateTime();
    // One clock for the log's name, the graph and the history: where the program's clock is set
    // (a test, the README's pictures), its minute is the start.
    const LocalTime now = GetLocalTime();
    const QDateTime minute(QDate(now.year, now.month, now.day), QTime(now.hour, now.minute));
    if (std::abs(minute.secsTo(m_chargeStarted)) >= 60) {
        m_chargeStarted = minute;
    }
    m_strChargeLogName.clear();
    // A pack without a rated capacity typed is judged by what its own charges measured.
    m_cycle.SetMeasuredCapacity(CapacityToJudgeBy(AppProfile(), m_strPackName, m_limits));
    m_endAlert->hide();
    m_cycle.Start();
    PublishCharge();
    m_picture->UnLoad();
    if (m_picture->Load(kChargingGif, "GIF")) {
        m_picture->Draw();
    }
    m_bCharging = 1;
}

void CChargerDlg::StopCycle(bool askToStore) {
    m_btnStart->setText(kStart);
    KillTimer(kMeasurementTimer);
    KillTimer(kClockTimer);
    m_cycle.Stop();
    m_picture->Stop();
    m_picture->UnLoad();
    if (m_picture->Load(kIdleGif, "GIF")) {
        m_picture->Draw();
    }
    // Stopped before its first measurement (a double click on Start), a cycle has nothing worth
    // storing: no question, no record, no log.
    if (askToStore && m_cycle.History().sampleHead != nullptr && m_strPackName != kNoPack &&
        Ask("Save charge information to the selected profile?")) {
        UpdatePackRecord();
        if (m_settings.exportCsv == 1) {
            WriteChargeLog();
        }
    }
    RecordInHistory(ChargeEnd::Stopped);
    m_bCharging = 0;
    PublishCharge(EndReasonText(ChargeEnd::Stopped, m_settings.chargeType));
    m_cycle.Release();
}

void CChargerDlg::RecordInHistory(ChargeEnd end) {
    // Only a charge that measured something; the charger is off and the record written by now.
    if (m_cycle.History().sampleHead == nullptr) {
        return;
    }
    m_history->Submit(HistoryRowOf(AppProfile(), m_cycle, end, m_strPackName, m_chargeStarted,
                                   m_limits, m_strChargeLogName));
}

void CChargerDlg::OnTerminateRequest() {
    ChargerOff();
    KillTimer(kMeasurementTimer);
    KillTimer(kClockTimer);
    m_cycle.RemoveObserver(this);
    m_bCharging = 0;
    // Leaves every event loop, those of open dialogs too; their callers see Cancel.
    QCoreApplication::exit(0);
    done(IDOK);
}

void CChargerDlg::OnGuardianLost() {
    if (!m_cycle.IsCharging() || ChargerOffLatched()) {
        return;  // nothing runs unguarded; the next Start asks for a new guardian
    }
    // Off before anything else, and no tick may switch it on again while the user reads.
    KillTimer(kMeasurementTimer);
    KillTimer(kClockTimer);
    ChargerOff();
    m_reportFailure(QString("The process %1, which switches the charger off should KVC410 be "
                            "killed, has ended (killed by another program?), so the charge was "
                            "stopped: KVC410 does not charge unguarded. Start the charge again "
                            "to go on; a new %1 is started for it.")
                        .arg(kGuardianName));
    // Stop may have been pressed meanwhile.
    if (m_cycle.IsCharging()) {
        StopCycle(true);
    }
}

void CChargerDlg::OnTimer(int id) {
    // Once told to end, no tick may judge the switched-off box and end the charge.
    if (ChargerOffLatched() || !m_cycle.IsCharging()) {
        return;
    }
    if (id == kMeasurementTimer) {
        // Properties changed during the charge are in force from this second on.
        m_cycle.SetSettings(m_settings);
        m_cycle.SetLimits(m_limits);
        m_cycle.MeasurementTick();
    } else if (id == kClockTimer) {
        m_cycle.ClockTick();
        // Once a second, the second complete.
        PublishCharge();
    }
}

void CChargerDlg::OnTextsChanged(const ChargeTexts& t) {
    // Only the displays whose text changed are set (the clock's tick changes two of the seven,
    // a measurement two or three; the displays show nothing but these texts), and a screen
    // reader hears each with what it is.
    const std::pair<QLabel*, const std::string*> shown[] = {
        {m_stcVolts, &t.volts}, {m_stcCurrent, &t.amps},     {m_stcMaxVolts, &t.maxVolts},
        {m_stcMah, &t.mah},     {m_stcHours, &t.hours},      {m_stcMinutes, &t.minutes},
        {m_stcSeconds, &t.seconds}};
    // The clock's three are one value, said with the hours (see AnnounceAsClock).
    static const char* const kMeaning[] = {"Volts", "Amps",    "Maximum voltage", "mAh",
                                           "Charge time", "Minutes", "Seconds"};
    static_assert(std::size(shown) == std::tuple_size_v<decltype(m_shownTexts)>);
    for (size_t i = 0; i < std::size(shown); ++i) {
        if (m_shownTexts[i] != *shown[i].second) {
            m_shownTexts[i] = *shown[i].second;
            // The label's accessible name is made when a screen reader asks, from its meaning
            // (its description) and its text (controls/Accessibility.cpp), and the label tells
            // the screen reader itself that its text changed: nothing is built or sent here at
            // every change (that was a tenth of the window's charge-hour).
            if (shown[i].first->accessibleDescription() != kMeaning[i]) {
                shown[i].first->setAccessibleDescription(kMeaning[i]);
            }
            shown[i].first->setText(QString::fromStdString(m_shownTexts[i]));
        }
    }
}

void CChargerDlg::OnEnded(ChargeEnd reason) {
    // "A charge is running. Stop it and quit?" asks about a charge that is over now.
    if (m_quitQuestion) {
        m_quitQuestion->reject();
    }
    if (reason == ChargeEnd::SampleLost) {
        // The history can no longer judge the end of the charge: stop as by hand, without
        // asking to store a record with a hole in it.
        StopCycle(false);
        return;
    }
    m_lastEnd = reason;
    // No chime for a pack that is not full: missing, or interrupted by the watchdog.
    EndCycle(reason == ChargeEnd::ChargerDisconnected || reason == ChargeEnd::BatteryDisconnected ||
             reason == ChargeEnd::Interrupted);
    // The user may be working in another window: the desktop tells them the charge is over,
    // and insists when the peak was never seen.
    const ChargeEndNotice notice = DescribeChargeEnd(reason, m_settings.chargeType,
                                                     m_strPackName.toStdString(), m_cycle.Texts());
    if (m_notify) {
        m_notify(QString::fromStdString(notice.summary), QString::fromStdString(notice.body),
                 notice.critical);
    }
    // A screen reader hears it from the window too, among the displays' thousands of changes:
    // an alert that appears is read out at once.
    m_endAlert->setAccessibleName(
        QString::fromStdString(notice.summary + ". " + notice.body).simplified());
    m_endAlert->hide();
    m_endAlert->show();
}

void CChargerDlg::EndCycle(bool quiet) {
    m_btnStart->setText(kStart);
    KillTimer(kMeasurementTimer);
    KillTimer(kClockTimer);
    m_bCharging = 0;
    if (m_settings.exportCsv == 1) {
        WriteChargeLog();
    }
    UpdatePackRecord();
    RecordInHistory(m_lastEnd);
    PublishCharge(EndReasonText(m_lastEnd, m_settings.chargeType));
    m_cycle.Release();
    m_picture->Stop();
    m_picture->UnLoad();
    if (EndNeedsAttention(m_lastEnd)) {
        // A backup's end, or a pack missing, pulled or left unwatched: a picture of its own (a
        // warning triangle where a full pack has a tick), never the user's end picture.
        m_picture->Load(ResourcePath("gif", QString("attention")));
        m_picture->Draw();
        if (!quiet) {
            PlayWaveResource("Cool");
        }
        return;
    }
    // Looked up in the current folder (the log folder once a log has been written), then beside
    // the program (the build folder), then in the installed program's share/kvc410; a picture
    // that cannot be shown (or would take too much memory) gives way to the built-in one. A file
    // that is the program's own picture shows as the built-in one, which has twice-size art for
    // a high-resolution screen; a picture of the user's shows as it is.
    const QString builtIn = ResourcePath("gif", QString(kEndPicture).section('.', 0, 0));
    QFile ownFile(builtIn);
    const QByteArray own = ownFile.open(QIODevice::ReadOnly) ? ownFile.readAll() : QByteArray();
    auto show = [&](const QString& path) {
        // The log folder is the user's: a pipe or a device named like the picture must not
        // hold the window.
        std::string bytes;
        std::string why;
        if (ReadRegularFile(QFile::encodeName(path).toStdString(), kLargestUserFile, bytes, why) !=
            SafeRead::Ok) {
            return false;
        }
        const QByteArray data = QByteArray::fromStdString(bytes);
        return data == own ? m_picture->Load(builtIn) : m_picture->LoadFromMemory(data);
    };
    bool shown = show(QString(kEndPicture));
    for (const QString& folder : DataFolders(m_strProgramFolder)) {
        shown = shown || show(folder + "/" + kEndPicture);
    }
    if (!shown) {
        m_picture->Load(builtIn);
    }
    m_picture->Draw();
    if (!quiet) {
        PlayWaveResource("Cool");
    }
}

QString CChargerDlg::OutputFolder() {
    return ChargeLogFolder();
}

void CChargerDlg::UpdatePackRecord() {
    RecordChargeEnd(AppProfile(), m_strPackName, m_cycle.Texts());
}

int CChargerDlg::WriteChargeLog() {
    QString place;
    QString why;
    if (WriteChargeLogFile(m_cycle.History().sampleHead, m_strPackName, place, why)) {
        m_recorder->SetLogFile(QFile::encodeName(place).toStdString());
        m_strChargeLogName = QFileInfo(place).fileName();
        return 1;
    }
    m_reportFailure(QString("KVC410 could not save the charge log \"%1\", because %2\n\nThe "
                            "charge itself ended normally and its record is kept.")
                        .arg(place, why));
    return 0;
}

int CChargerDlg::PlayWaveResource(const char* name) {
    // A sound of that name beside the program or in its share/kvc410 replaces the built-in one.
    const QString file = QString(name).toUpper() + ".wav";
    for (const QString& folder : DataFolders(m_strProgramFolder)) {
        std::string bytes;
        std::string why;
        if (ReadRegularFile(QFile::encodeName(folder + "/" + file).toStdString(), kLargestUserFile,
                            bytes, why) == SafeRead::Ok) {
            return m_playWave(QByteArray::fromStdString(bytes));
        }
    }
    QFile resource(ResourcePath("wave", QString(name)));
    if (!resource.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return m_playWave(resource.readAll());
}

void CChargerDlg::StartPublishing() {
    m_remote.reset();  // says "offline" and leaves, within a second
    if (!m_titleWithoutRemote.isEmpty()) {
        setWindowTitle(m_titleWithoutRemote);
        m_titleWithoutRemote.clear();
    }
    const StoredRemote stored = ReadRemoteSettings(AppProfile());
    if (!stored.enabled) {
        return;
    }
    if (!stored.broker) {
        m_reportFailure("Charges are not published: the stored broker cannot be used (" +
                        stored.why + "). Check it with Remote.");
        return;
    }
    std::string password;
    std::string why;
    if (!stored.broker->user.empty() &&
        !ReadPasswordFile(stored.broker->passwordFile, password, why)) {
        m_reportFailure("Charges are not published: " + QString::fromStdString(why) + ".");
        return;
    }
    RemotePublisher::Callbacks callbacks;
    // From the network's threads to the window's: a remote Stop is the Stop button, pressed
    // between two ticks; what the publisher says stands in the caption, once.
    QPointer<CChargerDlg> window(this);
    callbacks.stop = [window] {
        QMetaObject::invokeMethod(window, [window] {
            if (window && window->m_cycle.IsCharging()) {
                window->StopCycle(true);
            }
        }, Qt::QueuedConnection);
    };
    callbacks.say = [window](const std::string& text) {
        // Logged on standard error as the terminal says it; the caption only says that
        // publishing is interrupted.
        std::fprintf(stderr, "kvc410: %s\n", text.c_str());
        const QString said = QString::fromStdString(text);
        QMetaObject::invokeMethod(window, [window, said] {
            if (!window || !said.startsWith("publishing over MQTT is interrupted")) {
                return;
            }
            if (window->m_titleWithoutRemote.isEmpty()) {
                window->m_titleWithoutRemote = window->windowTitle();
            }
            window->setWindowTitle(window->m_titleWithoutRemote + " - publishing interrupted");
        }, Qt::QueuedConnection);
    };
    m_remote = std::make_unique<RemotePublisher>(
        *stored.broker, password,
        TopicsFor(*stored.broker, QSysInfo::machineHostName().toStdString(), PortSettingInForce(),
                  VersionNumber()),
        callbacks);
    PublishCharge();
}

void CChargerDlg::PublishCharge(const std::string& endReason) {
    if (!m_remote) {
        return;
    }
    m_remote->Offer(ChargeSnapshot(m_cycle.Texts(), m_cycle.History().sampleHead,
                                   m_bCharging != 0, m_strPackName.toStdString(), endReason,
                                   m_strChargeLogName.toStdString()));
}
