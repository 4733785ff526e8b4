// The charge cycle of the main window: Start and Stop, the measurement and clock ticks, and the
// end of a cycle.

#include <sys/statvfs.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "charge/ChargeLog.h"
#include "charge/CycleTexts.h"
#include "controls/CGifPicture.h"
#include "controls/CSkinButton.h"
#include "hardware/Converter.h"
#include "hardware/Measure.h"
#include "platform/PortDriver.h"
#include "platform/Resources.h"

namespace {
constexpr int kMeasurementTimer = 1;
constexpr int kClockTimer = 2;
constexpr int kTickMilliseconds = 1000;
constexpr int kChargingGif = 197;
constexpr int kIdleGif = 198;
const char* const kEndPicture = "nomove.gif";
constexpr int kMostLogCopies = 999;
const char* const kStart = "Start";
const char* const kStop = "Stop";

std::string Text(const QLabel* label) {
    return label->text().toStdString();
}
void SetText(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
}
}  // namespace

void CChargerDlg::OnOK() {
    m_bCharging = m_btnStart->text() == kStart ? 0 : 1;
    if (m_btnStart->text() == kStart) {
        StartCycle();
    } else {
        StopCycle(true);
    }
}

void CChargerDlg::StartCycle() {
    m_btnStart->setText(kStop);
    SetTimer(kMeasurementTimer, kTickMilliseconds);
    SetTimer(kClockTimer, kTickMilliseconds);
    m_stcSeconds->setText("00");
    m_stcMinutes->setText("00");
    m_stcHours->setText("00");
    m_picture->UnLoad();
    if (m_picture->Load(kChargingGif, "GIF")) {
        m_picture->Draw();
    }
    m_bCharging = 1;
    ampSecondTotal = 0.0f;
    // Nothing goes to the port here: the first measurement switches the charger on.
}

void CChargerDlg::StopCycle(bool askToStore) {
    m_btnStart->setText(kStart);
    KillTimer(kMeasurementTimer);
    KillTimer(kClockTimer);
    ChargerOff();
    m_picture->Stop();
    m_picture->UnLoad();
    if (m_picture->Load(kIdleGif, "GIF")) {
        m_picture->Draw();
    }
    // Stopped before its first measurement (a double click on Start), a cycle has nothing worth
    // storing: no question, no record, no log.
    if (askToStore && m_history.sampleHead != nullptr && m_strPackName != kNoPack &&
        Ask("Save charge information to the selected profile?")) {
        UpdatePackRecord();
        if (m_settings.exportCsv == 1) {
            WriteChargeLog();
        }
    }
    m_history.FreeSamples();
    m_bCharging = 0;
}

void CChargerDlg::OnTimer(int id) {
    // Once told to end, no tick may judge the switched-off box and end the charge.
    if (ChargerOffLatched()) {
        return;
    }
    if (id == kMeasurementTimer) {
        MeasurementTick();
    } else if (id == kClockTimer) {
        ClockTick();
    }
}

void CChargerDlg::MeasurementTick() {
    const std::string seconds = Text(m_stcSeconds);
    const std::string minutes = Text(m_stcMinutes);
    const std::string hours = Text(m_stcHours);
    std::string voltText;
    std::string currText;
    float volts = 0.0f;
    float amps = 0.0f;
    Measure(voltText, currText, volts, amps);
    if (!m_history.AddSample(volts, amps, seconds, minutes, hours, m_settings.delay,
                             m_settings.chargeType)) {
        // The history can no longer judge the end of the charge: stop as by hand, without
        // asking to store a record with a hole in it.
        StopCycle(false);
        return;
    }
    const std::string previous = Text(m_stcVolts);
    SetText(m_stcVolts, voltText);
    SetText(m_stcCurrent, currText);

    bool disconnected = false;
    if (InDisconnectionWindow(seconds, minutes, hours)) {
        switch (CheckDisconnection(voltText)) {
            case Disconnection::Charger:
                SetText(m_stcVolts, previous + kChargerDisconnected);
                disconnected = true;
                break;
            case Disconnection::Battery:
                SetText(m_stcVolts, previous + kBatteryDisconnected);
                disconnected = true;
                break;
            case Disconnection::None:
                break;
        }
    }
    SetText(m_stcMaxVolts, FormatMaxVoltage(m_history.peakVoltage));

    const ChargeSettings& s = m_settings;
    if (m_history.IsChargeComplete(seconds, minutes, hours, s.timedSeconds, s.timedMinutes,
                                   s.timedHours, s.sensitivity, s.delay, s.threshold,
                                   s.chargeType) ||
        disconnected) {
        EndCycle(disconnected);
    }
}

void CChargerDlg::EndCycle(bool disconnected) {
    m_btnStart->setText(kStart);
    KillTimer(kMeasurementTimer);
    KillTimer(kClockTimer);
    ChargerOff();
    m_bCharging = 0;
    if (m_settings.exportCsv == 1) {
        WriteChargeLog();
    }
    UpdatePackRecord();
    m_history.FreeSamples();
    m_picture->Stop();
    m_picture->UnLoad();
    // Looked up in the current folder (the log folder once a log has been written), then beside
    // the program, where it is installed; a picture that cannot be shown (or would take too much
    // memory) gives way to the built-in one.
    if (!m_picture->Load(QString(kEndPicture)) &&
        !m_picture->Load(m_strProgramFolder + "/" + kEndPicture)) {
        m_picture->Load(ResourcePath("gif", QString(kEndPicture).section('.', 0, 0)));
    }
    m_picture->Draw();
    if (!disconnected) {
        PlayWaveResource("Cool");
    }
}

void CChargerDlg::ClockTick() {
    std::string seconds = Text(m_stcSeconds);
    std::string minutes = Text(m_stcMinutes);
    std::string hours = Text(m_stcHours);
    TickClock(seconds, minutes, hours);
    SetText(m_stcSeconds, seconds);
    SetText(m_stcMinutes, minutes);
    SetText(m_stcHours, hours);
    ShowChargeMah();
}

void CChargerDlg::ShowChargeMah() {
    if (m_history.sampleHead == nullptr) {
        return;
    }
    ampSecondTotal = ampSecondTotal + m_history.sampleHead->current;
    double mah = ampSecondTotal * kMahPerAmpSecond;
    SetText(m_stcMah, FormatMah(mah));
}

QString CChargerDlg::OutputFolder() {
    return QDir::homePath() + "/KVC410 Output/";
}

int CChargerDlg::WriteChargeLog() {
    const QString folder = OutputFolder();
    auto fail = [this](const QString& place, const QString& why) {
        m_reportFailure(QString("KVC410 could not save the charge log %1, because %2\n\nThe "
                                "charge itself ended normally and its record is kept.")
                            .arg(place, why));
        return 0;
    };
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        return fail(folder,
                    "that folder cannot be created (a file of that name may be in "
                    "the way).");
    }
    // The log folder becomes the current folder, where the end picture is looked up first.
    if (chdir(QFile::encodeName(folder).constData()) != 0) {
        return fail(folder, QString("that folder cannot be entered: %1.").arg(strerror(errno)));
    }
    // Never over another log: two charges of one pack may end in the same minute.
    const LocalTime now = GetLocalTime();
    QString path;
    for (int copy = 1; copy <= kMostLogCopies; ++copy) {
        path = folder +
               QString::fromStdString(ChargeLogFileName(m_strPackName.toStdString(), now, copy));
        if (!QFileInfo::exists(path)) {
            break;
        }
    }
    if (QFileInfo::exists(path)) {
        return fail(path, "a log of that name exists for every copy number.");
    }
    // Written beside the final name and renamed into place: a crash or a full disk never leaves
    // half a log under that name.
    QSaveFile file(path);
    const QByteArray text = QByteArray::fromStdString(BuildChargeLog(m_history.sampleHead));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        struct statvfs fs {};
        const bool full =
            statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_bavail == 0;
        return fail(path, full ? QString("the disk is full.")
                               : QString("it could not be written: %1.").arg(file.errorString()));
    }
    return 1;
}

int CChargerDlg::PlayWaveResource(const char* name) {
    QFile resource(ResourcePath("wave", QString(name)));
    if (!resource.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return m_playWave(resource.readAll());
}
