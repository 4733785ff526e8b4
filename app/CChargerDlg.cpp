#include "app/CChargerDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QSysInfo>
#include <QTimer>
#include "controls/CListBox.h"

#include "remote/RemotePublisher.h"
#include "remote/RemoteStore.h"
#include "remote/dialogs/CRemoteDlg.h"
#include "session/PortSelection.h"
#include "app/CAboutDlg.h"
#include "app/Templates.h"
#include "controls/Accessibility.h"
#include "controls/CGifPicture.h"
#include "controls/CSkinButton.h"
#include "controls/ControlLooks.h"
#include "controls/Messages.h"
#include "controls/Skins.h"
#include "graph/CChargeGraphWnd.h"
#include "hardware/Converter.h"
#include "history/HistoryRecording.h"
#include "history/window/CPackHistoryWnd.h"
#include "limits/ChargeLimitsStore.h"
#include "limits/dialogs/CChargeLimitsDlg.h"
#include "packs/PackBook.h"
#include "packs/PackStore.h"
#include "platform/DesktopNotifier.h"
#include "platform/Profile.h"
#include "platform/Resources.h"
#include "platform/Sound.h"

namespace {
constexpr int kIdleGif = 198;
constexpr int kSysCommandMask = 0xFFF0;

struct ButtonSkin {
    int id;
    const char* tooltip;
    const ButtonSkinIds& skin;
};
// Large caption buttons share one skin; the four pack buttons each carry their picture.
const ButtonSkin kMainButtonSkins[] = {
    {IDOK, "Start / Stop", kCaptionSkin},
    {IDC_PROPERTIES, "Charge Properties", kCaptionSkin},
    {IDC_NEW_PACK, "Create a New Pack", kNewPackSkin},
    {IDC_DELETE_PACK, "Delete a Pack", kDeletePackSkin},
    {IDC_SAVE_PACK, "Save Current Properties", kSavePackSkin},
    {IDC_PACK_INFO, "View and Edit Pack Information", kPackInfoSkin},
};
}  // namespace

CChargerDlg::CChargerDlg(QWidget* parent)
    : CDialog(MainDialogTemplate(), parent),
      m_playWave(&PlayWaveData),
      m_reportFailure([this](const QString& message) { ShowWarning(this, message); }),
      m_strProgramFolder(QCoreApplication::applicationDirPath()) {
    m_strPacks.fill(kEmptySlot);
    m_stcPackName = Item<QLabel>(IDC_PACK_NAME);
    // A long pack name is cut with "…" in its place and shown whole as the tooltip.
    if (auto* name = qobject_cast<CElidedLabel*>(m_stcPackName)) {
        name->SetElidable(QString());
    }
    m_btnPackInfo = SkinButton(IDC_PACK_INFO);
    m_btnSavePack = SkinButton(IDC_SAVE_PACK);
    m_btnDeletePack = SkinButton(IDC_DELETE_PACK);
    m_btnNewPack = SkinButton(IDC_NEW_PACK);
    m_stcCellsLabel = Item<QLabel>(IDC_LABEL_CELLS);
    m_stcCells = Item<QLabel>(IDC_VALUE_CELLS);
    m_stcMah = Item<QLabel>(IDC_MAH);
    m_btnProperties = SkinButton(IDC_PROPERTIES);
    m_picture = Item<CGifPicture>(IDC_PICTURE);
    m_endAlert = new QLabel(this);
    m_endAlert->setGeometry(0, 0, 1, 1);
    m_endAlert->setObjectName("EndOfCharge");
    AnnounceAsAlert(m_endAlert);
    m_endAlert->hide();
    m_stcDelayLabel = Item<QLabel>(IDC_LABEL_DELAY);
    m_stcSensitivityLabel = Item<QLabel>(IDC_LABEL_SENSITIVITY);
    m_stcThresholdLabel = Item<QLabel>(IDC_LABEL_THRESHOLD);
    m_stcBatteryTypeLabel = Item<QLabel>(IDC_LABEL_BATTERY_TYPE);
    m_stcChargeTypeLabel = Item<QLabel>(IDC_LABEL_CHARGE_TYPE);
    m_stcSensitivity = Item<QLabel>(IDC_VALUE_SENSITIVITY);
    m_stcDelay = Item<QLabel>(IDC_VALUE_DELAY);
    m_stcThreshold = Item<QLabel>(IDC_VALUE_THRESHOLD);
    m_stcBatteryType = Item<QLabel>(IDC_VALUE_BATTERY_TYPE);
    m_stcChargeType = Item<QLabel>(IDC_VALUE_CHARGE_TYPE);
    m_stcMaxVolts = Item<QLabel>(IDC_MAX_VOLTS);
    m_stcSeconds = Item<QLabel>(IDC_SECONDS);
    m_stcHours = Item<QLabel>(IDC_HOURS);
    m_stcMinutes = Item<QLabel>(IDC_MINUTES);
    AnnounceAsClock(m_stcHours, m_stcMinutes, m_stcSeconds);
    m_stcCurrent = Item<QLabel>(IDC_AMPS);
    m_btnStart = SkinButton(IDOK);
    m_stcVolts = Item<QLabel>(IDC_VOLTS);
    m_lstPacks = Item<CListBox>(IDC_PACK_LIST);
    m_cycle.AddObserver(this);
    m_recorder = std::make_unique<ChargeRecorder>(m_cycle);
    m_history = std::make_unique<HistoryWriter>();
    // Said once for each kind of trouble; charging goes on either way.
    m_history->onProblem = [this](const QString& problem) { m_reportFailure(problem); };
    // A charge just written is offered among the graph's past charges.
    m_history->onWritten = [this] {
        if (m_graph) {
            m_graph->RefreshLogs();
        }
    };
    m_notify = &NotifyInBackground;
    // Ctrl+G opens the graph and, from either window, closes it again.
    auto* graph = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this, nullptr, nullptr,
                                Qt::ApplicationShortcut);
    connect(graph, &QShortcut::activated, this, [this] {
        if (m_graph && m_graph->isVisible()) {
            m_graph->close();
        } else {
            OnChargeGraph();
        }
    });
    // From the graph's window too.
    auto* history = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this, nullptr, nullptr,
                                  Qt::ApplicationShortcut);
    connect(history, &QShortcut::activated, this, &CChargerDlg::OnPackHistory);
    auto* limits = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(limits, &QShortcut::activated, this, &CChargerDlg::OnChargeLimits);
}

void CChargerDlg::OnChargeLimits() {
    Profile& profile = AppProfile();
    // A current pack that another program deleted meanwhile has no limits to edit: those of
    // charges of no pack are shown, and stored, instead.
    const int slot = m_strPackName == kNoPack ? -1 : PackBook(profile).FindSlot(m_strPackName);
    CChargeLimitsDlg dlg(m_limits, slot >= 0 ? m_strPackName : QString(), this);
    if (dlg.exec() != QDialog::Accepted) {
        return;
    }
    // In force at once: a running charge judges by them from its next measurement.
    m_limits = dlg.Limits();
    StoreChargeLimits(profile, slot, m_limits);
}

void CChargerDlg::OnRemote() {
    Profile& profile = AppProfile();
    const StoredRemote stored = ReadRemoteSettings(profile);
    const QString defaultPrefix = QString::fromStdString(
        DefaultTopicPrefix(QSysInfo::machineHostName().toStdString(), PortSettingInForce()));
    CRemoteDlg dlg(stored.enabled, stored.broker.value_or(RemoteSettings{}), defaultPrefix, this);
    if (dlg.exec() != QDialog::Accepted) {
        return;
    }
    if (!StoreRemoteSettings(profile, dlg.Enabled(), dlg.Broker())) {
        return;  // the profile has said why
    }
    StartPublishing();
}

CChargerDlg::~CChargerDlg() {
    // "offline", and the publisher's threads gone, before anything they might call is.
    m_remote.reset();
    // Open when the program ends: open again next time, where it was.
    if (m_graph && m_graph->isVisible()) {
        m_graph->SaveState(true);
    }
    delete m_graph;
}

void CChargerDlg::LinkGraphAndPackHistory() {
    // A charge ticked or unticked in the graph's list is ticked or unticked in the Pack History
    // too (the other way, the Pack History lays it over the graph itself). The link goes with
    // the Pack History window.
    if (m_graph && m_packHistory) {
        connect(m_graph->View(), &ChargeGraphView::OverlaysChanged, m_packHistory,
                [this] { m_packHistory->SetShown(m_graph->ShownHistoryIds()); });
        m_packHistory->SetShown(m_graph->ShownHistoryIds());
    }
}

void CChargerDlg::OnChargeGraph() {
    if (!m_graph) {
        m_graph =
            new CChargeGraphWnd(*m_recorder, OutputFolder(), this, ChargeHistory::DefaultPath());
        m_graph->RestoreGeometry();
        LinkGraphAndPackHistory();
    } else {
        m_graph->RefreshLogs();
        m_graph->Refresh();
    }
    m_graph->show();
    m_graph->raise();
    m_graph->activateWindow();
}

void CChargerDlg::OnPackHistory() {
    // Rows written a moment ago are in before the window reads them.
    m_history->WaitForDone();
    if (m_packHistory) {
        m_packHistory->close();
        delete m_packHistory;
    }
    Profile& profile = AppProfile();
    std::vector<CPackHistoryWnd::Pack> packs;
    PackBook book(profile);
    for (int slot = 0; slot < kPackSlotCount; ++slot) {
        const QString name = book.Name(slot);
        if (!name.isEmpty() && name != "0") {
            packs.push_back({PackHistoryId(profile, slot), name,
                             double(ReadChargeLimits(profile, slot).limits.ratedMah)});
        }
    }
    m_packHistory = new CPackHistoryWnd(
        std::move(packs), m_strPackName,
        [this](const QString& key, const QString& label, std::vector<CurvePoint> points) {
            if (!points.empty() && (!m_graph || !m_graph->isVisible())) {
                OnChargeGraph();
                m_packHistory->activateWindow();
            }
            if (m_graph) {
                m_graph->ShowPastCharge(key, label, std::move(points));
            }
        },
        this);
    LinkGraphAndPackHistory();
    m_packHistory->show();
    m_packHistory->raise();
    m_packHistory->activateWindow();
}

bool CChargerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bCharging = 0;
    // Before anything else touches the port: the charger is off while no cycle runs.
    ChargerOff();
    RefreshSettingsSummary();

    // Qt finds the icon's twice-size twin (":/icon/128@2x") by itself.
    // Every size the desktop icon is installed in, so that a dock or a task switcher shows the
    // same picture as the menu entry, sharp at its own size.
    QIcon icon(ResourcePath("icon", IDR_MAINFRAME));
    for (int size : kDesktopIconSizes) {
        icon.addFile(QString(":/desktop-icon/%1").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
    if (m_picture->Load(kIdleGif, "GIF")) {
        m_picture->Draw();
    }
    for (const ButtonSkin& skin : kMainButtonSkins) {
        CSkinButton* button = SkinButton(skin.id);
        button->SetTextColor(0);
        button->SetToolTipText(skin.tooltip);
        ApplySkin(button, skin.skin);
    }
    FillPackList();
    // Two windows (two boxes on two ports) may share the profile: each shows the other's packs.
    // The folder is watched, as every write replaces the file.
    auto* watcher = new QFileSystemWatcher(this);
    const QFileInfo profileFile(AppProfile().FileName());
    QDir().mkpath(profileFile.absolutePath());
    watcher->addPath(profileFile.absolutePath());
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(100);
    connect(watcher, &QFileSystemWatcher::directoryChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, &CChargerDlg::ShowPacksAsStored);
    if (AppProfile().GetProfileInt(kGraphSection, "Open", 0) == 1) {
        OnChargeGraph();
    }
    // The first start with a history: the charges logged so far are taken into it.
    if (!QFileInfo::exists(ChargeHistory::DefaultPath())) {
        m_history->SubmitImport(OutputFolder(), PackHistoryIds(AppProfile()));
    }
    StartPublishing();
    return true;
}

bool CChargerDlg::MayQuit() {
    // A stray Escape after closing a dialog must not throw a charge away.
    return m_bCharging == 0 ||
           Ask("A charge is running. Stop it and quit?", true, QString(), &m_quitQuestion);
}

void CChargerDlg::OnClose() {
    if (!MayQuit()) {
        return;
    }
    ChargerOff();
    CDialog::OnOK();
}

void CChargerDlg::OnCancel() {
    // Escape ends the program like the close box does; the charger must not stay on.
    if (!MayQuit()) {
        return;
    }
    ChargerOff();
    CDialog::OnCancel();
}

void CChargerDlg::OnCommand(int id) {
    switch (id) {
        case IDC_PROPERTIES:
            OnProperties();
            break;
        case IDC_PICTURE:
            OnAboutClick();
            break;
        case IDC_NEW_PACK:
            OnNewPack();
            break;
        case IDC_DELETE_PACK:
            OnDeletePack();
            break;
        case IDC_SAVE_PACK:
            OnSavePackProperties();
            break;
        case IDC_PACK_INFO:
            OnPackInfo();
            break;
        default:
            break;
    }
}

void CChargerDlg::OnSysCommand(int id) {
    if ((id & kSysCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CChargerDlg::OnAboutClick() {
    CAboutDlg about(this);
    about.DoModal();
}

void CChargerDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QWidget* focus = focusWidget() ? focusWidget() : this;
        const QPoint at = focus->mapTo(this, focus->rect().center());
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
        contextMenuEvent(&menu);
        return;
    }
    CDialog::keyPressEvent(event);
}

void CChargerDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The window manager owns the title bar's menu here, so the About item lives in the
    // window's context menu (right click, or the menu key).
    QString text = LoadResString(IDS_ABOUTBOX);
    if (text.isEmpty()) {
        return;
    }
    QMenu menu(this);
    QAction* about = menu.addAction(text);
    QAction* graph = menu.addAction("Charge &Graph...");
    graph->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    QAction* limits = menu.addAction("Charge &Limits...");
    limits->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    QAction* history = menu.addAction("Pack &History...");
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    QAction* remote = menu.addAction("&Remote...");
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == about) {
        OnSysCommand(IDM_ABOUTBOX);
    } else if (chosen == graph) {
        OnChargeGraph();
    } else if (chosen == limits) {
        OnChargeLimits();
    } else if (chosen == history) {
        OnPackHistory();
    } else if (chosen == remote) {
        OnRemote();
    }
}
