#pragma once
// The main window: displays of the running charge, the charge properties summary, the pack
// list and the buttons. Its member functions live in a file for each side of it: CycleHandlers.cpp
// (a charge), PackHandlers.cpp (the packs), PropertiesHandlers.cpp and SettingsSummary.cpp (the
// settings), Prompts.cpp (the question and the announcement they all use).

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "charge/ChargeCycle.h"
#include "controls/CDialog.h"
#include "limits/ChargeLimits.h"
#include "packs/PackBook.h"
#include "packs/PackStore.h"
#include "settings/ChargeSettings.h"

class RemotePublisher;
class CGifPicture;
class CSkinButton;
class QLabel;
class CListBox;
class CChargeGraphWnd;
class HistoryWriter;
class CPackHistoryWnd;
class ChargeRecorder;

class CChargerDlg : public CDialog, private ChargeObserver {
    Q_OBJECT
public:
    explicit CChargerDlg(QWidget* parent = nullptr);
    ~CChargerDlg() override;

    bool OnInitDialog() override;
    void OnOK() override;  // Start / Stop
    void OnCancel() override;
    void OnClose() override;
    void OnTimer(int id) override;
    void OnCommand(int id) override;

    void OnSysCommand(int id);
    // A request to end (a signal, the display gone): the charger is already off. Ends the
    // program at once, even from inside a dialog, without any of a charge's end steps.
    void OnTerminateRequest();
    // The guardian was killed by someone: a running charge is stopped at once, never left to
    // run unguarded.
    void OnGuardianLost();
    // Makes sure a guardian runs before a charge starts; false refuses the charge. Unset (the
    // tests' windows) every charge may start.
    std::function<bool()> m_ensureGuardian;
    void OnAboutClick();
    // Opens (or brings forward) the Charge Graph window.
    void OnChargeGraph();
    // The Pack History window (context menu, Ctrl+H), of the current pack.
    void OnPackHistory();
    void OnProperties();
    // Opens the Charge Limits of the current pack (or of charges of no pack).
    void OnChargeLimits();
    // Opens the Remote dialog: publishing over MQTT, on or off, and where to.
    void OnRemote();
    // Publishing as the profile says: started (again, with its settings) or stopped.
    void StartPublishing();
    // The charge's state now, or its end (endReason, as the summary names it), to the broker.
    void PublishCharge(const std::string& endReason = std::string());

    // Charge cycle.
    void StartCycle();
    // Stops by hand; asks whether to store the charge when a pack is current and askToStore.
    void StopCycle(bool askToStore);
    void EndCycle(bool quiet);
    void LinkGraphAndPackHistory();
    int WriteChargeLog();
    int PlayWaveResource(const char* name);

    // Settings.
    void LoadChargeSettings();
    // The limits of the current pack, or of charges of no pack, into m_limits.
    void LoadChargeLimits();
    void RefreshSettingsSummary();

    // Packs.
    void ReloadPackNames();
    int FindPackSlot(const QString& name) const;
    void FillPackList();
    // Another program sharing the profile changed the packs: the list shows what is stored, the
    // current pack highlighted where it now stands. Nothing is written.
    void ShowPacksAsStored();
    void OnSelChange(int id) override;
    void OnSelchangePackList();
    void OnNewPack();
    void OnDeletePack();
    void OnSavePackProperties();
    void OnPackInfo();
    void UpdatePackRecord();

    QString m_strPackName = kNoPack;
    int m_nSelected = 0;
    PackNames m_strPacks;
    int m_bCharging = 0;
    ChargeSettings m_settings;
    // The backup cut-offs in force, beside the charge properties.
    ChargeLimits m_limits;

    // The charge engine: clock, samples, delivered charge, end of charge.
    ChargeCycle m_cycle;
    // The curve of the running or last charge, kept for the graph.
    std::unique_ptr<ChargeRecorder> m_recorder;
    QPointer<CChargeGraphWnd> m_graph;
    QPointer<CPackHistoryWnd> m_packHistory;
    // Every charge goes into the history, written in the background once the charge is over.
    std::unique_ptr<HistoryWriter> m_history;
    // Publishes the charges over MQTT while the Remote dialog has it on.
    std::unique_ptr<RemotePublisher> m_remote;
    QString m_titleWithoutRemote;  // the caption, before publishing said it is interrupted
    QDateTime m_chargeStarted;
    QString m_strChargeLogName;  // the log written for the last charge, if any
    ChargeEnd m_lastEnd = ChargeEnd::Stopped;
    void RecordInHistory(ChargeEnd end);
    // Asked when a pack with charges in the history is deleted; true: keep them.
    bool KeepPackHistory(const QString& pack);
    // Tells the desktop that a charge ended by itself (summary, body, whether the user must
    // look at the pack); by default a desktop notification sent in the background.
    std::function<void(const QString&, const QString&, bool)> m_notify;
    // Plays the end sound; tests count the calls in its place.
    int (*m_playWave)(const QByteArray& data);
    // The folder the CSV logs go to ($HOME/KVC410 Output).
    static QString OutputFolder();
    // Says what could not be saved (a message box); tests collect the messages instead.
    std::function<void(const QString&)> m_reportFailure;
    // Where the program lives: the end picture's second place.
    QString m_strProgramFolder;
    bool m_bBadSettingsReported = false;
    // The texts the seven value displays show (none yet: the first texts set them all).
    std::array<std::string, 7> m_shownTexts{"\1", "\1", "\1", "\1", "\1", "\1", "\1"};
    bool m_bBadLimitsReported = false;
    bool m_bBadNamesReported = false;

    QLabel* m_stcPackName;
    CSkinButton* m_btnPackInfo;
    CSkinButton* m_btnSavePack;
    CSkinButton* m_btnDeletePack;
    CSkinButton* m_btnNewPack;
    QLabel* m_stcCellsLabel;
    QLabel* m_stcCells;
    QLabel* m_stcMah;
    CSkinButton* m_btnProperties;
    CGifPicture* m_picture;
    // Says the end of a charge to a screen reader: an alert, shown (unseen: a pixel, no text,
    // in no layout) when a charge ends, hidden when one starts.
    QLabel* m_endAlert = nullptr;
    QLabel* m_stcDelayLabel;
    QLabel* m_stcSensitivityLabel;
    QLabel* m_stcThresholdLabel;
    QLabel* m_stcBatteryTypeLabel;
    QLabel* m_stcChargeTypeLabel;
    QLabel* m_stcSensitivity;
    QLabel* m_stcDelay;
    QLabel* m_stcThreshold;
    QLabel* m_stcBatteryType;
    QLabel* m_stcChargeType;
    QLabel* m_stcMaxVolts;
    QLabel* m_stcSeconds;
    QLabel* m_stcHours;
    QLabel* m_stcMinutes;
    QLabel* m_stcCurrent;
    CSkinButton* m_btnStart;
    QLabel* m_stcVolts;
    CListBox* m_lstPacks;

private:
    void OnTextsChanged(const ChargeTexts& texts) override;
    // The label's accessible name: what the value is, then the value ("Volts 12.34").
    static void AnnounceValue(QLabel* value, const QString& meaning);
    void OnEnded(ChargeEnd reason) override;
    void MakePackCurrent(int position);
    // The packs, over the program's profile.
    PackBook Book() const;
    bool SelectedPackSlot(int& position, QString& text, int& slot);
    void ShowNotice(const QString& message);
    // The program's own message box: true when the user answers OK.
    // name: a pack name inside the question, cut short if the question does not fit.
    // open: set to the question while it is open.
    bool Ask(const QString& question, bool cancelDefault = false, const QString& name = {},
             QPointer<QDialog>* open = nullptr);
    // Asked before a running charge is thrown away by Escape or the close box.
    bool MayQuit();
    // That question while it is open: a charge that ends meanwhile closes it, as Cancel.
    QPointer<QDialog> m_quitQuestion;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Shift+F10 opens the context menu, as the Menu key does.
    void keyPressEvent(QKeyEvent* event) override;
};
