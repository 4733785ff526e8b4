#include "settings/dialogs/CChargePropertiesDlg.h"

#include <QSlider>
#include "controls/Skins.h"

#include "controls/Accessibility.h"
#include "controls/CSkinButton.h"
#include "controls/CUpDown.h"
#include "platform/Profile.h"
#include "settings/ChargeSettingsStore.h"

namespace {

using D = CChargePropertiesDlg;

const DialogTemplate& PropertiesTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        135,
        "Charge Properties",
        247,
        218,
        {
            {IDOK, C::Button, "OK", 183, 179, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDCANCEL, C::Button, "Cancel", 183, 197, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_STATIC, C::Button, "Charge Type", 7, 7, 99, 58, BS_GROUPBOX},
            {D::IDC_PEAK_CHARGE, C::Button, "Peak Charge", 25, 23, 55, 10,
             BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
            {D::IDC_TIMED_CHARGE, C::Button, "Timed Charge", 25, 42, 59, 10, BS_AUTORADIOBUTTON},
            {IDC_STATIC, C::Button, "Timed Charge Properties", 112, 7, 128, 58, BS_GROUPBOX},
            {IDC_STATIC, C::Static, "hour     min      sec", 139, 25, 90, 10, SS_LEFT},
            {D::IDC_HOURS, C::Edit, "", 139, 35, 24, 14, ES_AUTOHSCROLL | WS_TABSTOP,
             "Timed charge hours"},
            {D::IDC_HOURS_SPIN, C::UpDown, "", 163, 33, 11, 16,
             UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, "Hours up and down"},
            {D::IDC_MINUTES, C::Edit, "", 163, 35, 24, 14, ES_AUTOHSCROLL | WS_TABSTOP,
             "Timed charge minutes"},
            {D::IDC_MINUTES_SPIN, C::UpDown, "", 187, 33, 11, 16,
             UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS,
             "Minutes up and down"},
            {D::IDC_SECONDS, C::Edit, "", 187, 35, 24, 14, ES_AUTOHSCROLL | WS_TABSTOP,
             "Timed charge seconds"},
            {D::IDC_SECONDS_SPIN, C::UpDown, "", 211, 34, 11, 16,
             UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS,
             "Seconds up and down"},
            {IDC_STATIC, C::Button, "Peak Charge Properties", 7, 73, 169, 138, BS_GROUPBOX},
            {D::IDC_NICD, C::Button, "Nickel Cadmium (Ni-Cd)", 14, 89, 90, 10,
             BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
            {D::IDC_NIMH, C::Button, "Nickel Metal Hydride (Ni-MH)", 14, 99, 105, 15,
             BS_AUTORADIOBUTTON},
            {D::IDC_CUSTOM, C::Button, "Custom", 14, 114, 55, 10, BS_AUTORADIOBUTTON},
            {IDC_STATIC, C::Static, "Number of Cells", 145, 81, 27, 16, SS_LEFT},
            {D::IDC_CELLS, C::Edit, "", 143, 98, 27, 14, ES_AUTOHSCROLL | WS_TABSTOP,
             "Number of cells"},
            {D::IDC_CELLS_SPIN, C::UpDown, "", 170, 98, 11, 15,
             UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, "Cells up and down"},
            {IDC_STATIC, C::Static, "Voltage Threshold ", 12, 126, 40, 17, SS_LEFT},
            {D::IDC_THRESHOLD, C::TrackBar, "", 59, 127, 95, 17, TBS_NOTICKS | WS_TABSTOP,
             "Voltage threshold"},
            {D::IDC_THRESHOLD_TEXT, C::Static, "0.00", 155, 126, 14, 10, SS_LEFT,
             "Threshold in volts"},
            {IDC_STATIC, C::Static, "volts", 154, 135, 17, 12, SS_LEFT},
            {IDC_STATIC, C::Static, "Delay before beginning peak detection", 12, 148, 47, 27,
             SS_LEFT},
            {D::IDC_DELAY, C::TrackBar, "", 59, 151, 95, 17, TBS_NOTICKS | WS_TABSTOP,
             "Delay before beginning peak detection"},
            {D::IDC_DELAY_TEXT, C::Static, "60", 156, 148, 14, 10, SS_LEFT, "Delay in seconds"},
            {IDC_STATIC, C::Static, "sec", 154, 158, 13, 12, SS_LEFT},
            {IDC_STATIC, C::Static, "Sensitivity", 12, 178, 43, 11, SS_LEFT},
            {D::IDC_SENSITIVITY, C::TrackBar, "", 59, 176, 95, 15, TBS_NOTICKS | WS_TABSTOP,
             "Sensitivity"},
            {D::IDC_SENSITIVITY_TEXT, C::Static, "20", 156, 175, 11, 11, SS_LEFT,
             "Sensitivity in seconds"},
            {IDC_STATIC, C::Static, "sec", 154, 183, 13, 12, SS_LEFT},
            {IDC_STATIC, C::Static, "(The time a peak must exist before the charger is turned off)",
             61, 190, 99, 18, SS_LEFT},
            {IDC_STATIC, C::Button, "Export", 182, 73, 58, 99, BS_GROUPBOX},
            {D::IDC_EXPORT_CSV, C::Button, "Export to a", 188, 84, 46, 10,
             BS_AUTOCHECKBOX | BS_TOP | WS_TABSTOP, "Export to a CSV file at end of charge cycle"},
            {IDC_STATIC, C::Static,
             "CSV file at end of charge cycle - can be used to create a graph.", 187, 95, 47, 64,
             SS_LEFT},
        },
    };
    return tmpl;
}

// Thresholds of the presets for 4 to 8 cells.
constexpr int kNiCdThresholds[5] = {6, 7, 8, 9, 10};
constexpr int kNiMHThresholds[5] = {4, 5, 6, 7, 8};
constexpr int kPresetDelay = 10;
constexpr int kNiCdSensitivity = 15;
constexpr int kNiMHSensitivity = 10;
constexpr int kFewestCells = 4;
constexpr int kMostCells = 8;
// An up-down reports a position it could not read from its edit with this flag, which puts the
// value outside every range the dialog knows.
constexpr int kUpDownError = 0x10000;

int Get(const char* key, int def) {
    return AppProfile().GetProfileInt(kPropertiesSection, key, def);
}

}  // namespace

CChargePropertiesDlg::CChargePropertiesDlg(QWidget* parent)
    : CDialog(PropertiesTemplate(), parent),
      m_btnCancel(SkinButton(IDCANCEL)),
      m_btnOK(SkinButton(IDOK)) {
    m_edit = ChargeSettings{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

void CChargePropertiesDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_SECONDS, m_edit.timedSeconds);
    DDV_MinMaxInt(pDX, m_edit.timedSeconds, 0, 59);
    DDX_Text(pDX, IDC_HOURS, m_edit.timedHours);
    DDV_MinMaxInt(pDX, m_edit.timedHours, 0, 59);
    DDX_Text(pDX, IDC_MINUTES, m_edit.timedMinutes);
    DDV_MinMaxInt(pDX, m_edit.timedMinutes, 0, 59);
    DDX_Text(pDX, IDC_CELLS, m_edit.cells);
    DDV_MinMaxInt(pDX, m_edit.cells, kFewestCells, kMostCells);
}

bool CChargePropertiesDlg::OnInitDialog() {
    // Filling the edits raises their change notifications; what those set is overwritten below,
    // which is why the stored values are read only now.
    CDialog::OnInitDialog();
    for (int spin : {IDC_SECONDS_SPIN, IDC_HOURS_SPIN, IDC_MINUTES_SPIN}) {
        Item<CUpDown>(spin)->SetRange(0, 59);
    }
    Item<CUpDown>(IDC_CELLS_SPIN)->SetRange(kFewestCells, kMostCells);

    const ChargeSettings& d = kPropertiesDialogDefaults;
    m_edit.cells = Get(kKeyCells, d.cells);
    const int storedCells = m_edit.cells;  // before the up-down control keeps it in its range
    Item<CUpDown>(IDC_CELLS_SPIN)->SetPos(static_cast<int16_t>(m_edit.cells & 0xFFFF));

    m_edit.sensitivity = Get(kKeySensitivity, d.sensitivity);
    m_edit.delay = Get(kKeyDelay, d.delay);
    m_edit.threshold = Get(kKeyThreshold, d.threshold);
    m_edit.batteryType = Get(kKeyBatteryType, d.batteryType);
    m_edit.chargeType = Get(kKeyChargeType, d.chargeType);
    m_edit.exportCsv = Get(kKeyCsv, d.exportCsv);
    ChargeSettings stored = m_edit;
    stored.cells = storedCells;
    if (!IsWithinDialogRanges(stored)) {
        // What the main window runs with instead. Filling the fields again raises their
        // notifications, so the settings are set once more afterwards.
        m_edit = kMainWindowDefaults;
        UpdateData(false);
        m_edit = kMainWindowDefaults;
        Item<CUpDown>(IDC_CELLS_SPIN)->SetPos(static_cast<int16_t>(m_edit.cells));
    }
    CheckDlgButton(IDC_EXPORT_CSV, m_edit.exportCsv);

    SetTrackBarRange(IDC_DELAY, 5, 60);
    SetTrackBarPos(IDC_DELAY, m_edit.delay);
    SetDlgItemText(IDC_DELAY_TEXT, QString::number(m_edit.delay));
    SetTrackBarRange(IDC_SENSITIVITY, 5, 30);
    SetTrackBarPos(IDC_SENSITIVITY, m_edit.sensitivity);
    SetDlgItemText(IDC_SENSITIVITY_TEXT, QString::number(m_edit.sensitivity));
    SetTrackBarRange(IDC_THRESHOLD, 1, 20);
    SetTrackBarPos(IDC_THRESHOLD, m_edit.threshold);
    // A screen reader hears what the labels beside the track bars say: 0.08 volts, not 8.
    AnnounceScaled(Item<QSlider>(IDC_THRESHOLD), 0.01, "volts");
    AnnounceScaled(Item<QSlider>(IDC_DELAY), 1, "seconds");
    AnnounceScaled(Item<QSlider>(IDC_SENSITIVITY), 1, "seconds");
    SetDlgItemText(IDC_THRESHOLD_TEXT, QString::fromStdString(FormatThreshold(m_edit.threshold)));

    for (int id : {IDC_NICD, IDC_NIMH, IDC_CUSTOM}) {
        CheckDlgButton(id, 0);
    }
    CheckBatteryRadio();
    if (m_edit.chargeType == kPeakCharge) {
        CheckDlgButton(IDC_PEAK_CHARGE, 1);
        CheckDlgButton(IDC_TIMED_CHARGE, 0);
    } else if (m_edit.chargeType == kTimedCharge) {
        CheckDlgButton(IDC_TIMED_CHARGE, 1);
        CheckDlgButton(IDC_PEAK_CHARGE, 0);
    }

    SetUpCaptionButton(m_btnOK, "Ok");
    SetUpCaptionButton(m_btnCancel, "Cancel");
    return true;
}

void CChargePropertiesDlg::CheckBatteryRadio() {
    switch (m_edit.batteryType) {
        case kBatteryNiCd:
            CheckDlgButton(IDC_NICD, 1);
            break;
        case kBatteryNiMH:
            CheckDlgButton(IDC_NIMH, 1);
            break;
        case kBatteryCustom:
            CheckDlgButton(IDC_CUSTOM, 1);
            break;
        default:
            break;
    }
}

void CChargePropertiesDlg::MarkPeakCharge() {
    m_edit.chargeType = kPeakCharge;
    CheckDlgButton(IDC_PEAK_CHARGE, 1);
    CheckDlgButton(IDC_TIMED_CHARGE, 0);
}

void CChargePropertiesDlg::OnCommand(int id) {
    switch (id) {
        case IDC_PEAK_CHARGE:
            OnPeakCharge();
            break;
        case IDC_TIMED_CHARGE:
            OnTimedCharge();
            break;
        case IDC_NICD:
            ApplyNiCdPreset();
            break;
        case IDC_NIMH:
            ApplyNiMHPreset();
            break;
        case IDC_CUSTOM:
            OnCustom();
            break;
        case IDC_EXPORT_CSV:
            OnExportCsv();
            break;
        default:
            break;
    }
}

void CChargePropertiesDlg::OnEditChange(int id) {
    if (id == IDC_HOURS || id == IDC_MINUTES || id == IDC_SECONDS) {
        OnChangeTime();
    } else if (id == IDC_CELLS) {
        OnChangeCells();
    }
}

void CChargePropertiesDlg::OnPeakCharge() {
    m_edit.chargeType = kPeakCharge;
    CheckBatteryRadio();
}

void CChargePropertiesDlg::OnTimedCharge() {
    m_edit.chargeType = kTimedCharge;
    CheckBatteryRadio();
}

void CChargePropertiesDlg::ApplyPreset(int batteryType, int sensitivity,
                                       const int thresholdsByCells[5]) {
    m_edit.batteryType = batteryType;
    MarkPeakCharge();
    SetTrackBarPos(IDC_DELAY, kPresetDelay);
    SetDlgItemText(IDC_DELAY_TEXT, QString::number(kPresetDelay));
    m_edit.delay = kPresetDelay;
    SetTrackBarPos(IDC_SENSITIVITY, sensitivity);
    SetDlgItemText(IDC_SENSITIVITY_TEXT, QString::number(sensitivity));
    m_edit.sensitivity = sensitivity;
    if (m_edit.cells >= kFewestCells && m_edit.cells <= kMostCells) {
        int threshold = thresholdsByCells[m_edit.cells - kFewestCells];
        SetTrackBarPos(IDC_THRESHOLD, threshold);
        SetDlgItemText(IDC_THRESHOLD_TEXT, QString::fromStdString(FormatThreshold(threshold)));
        m_edit.threshold = threshold;
    }
}

void CChargePropertiesDlg::ApplyNiCdPreset() {
    ApplyPreset(kBatteryNiCd, kNiCdSensitivity, kNiCdThresholds);
}

void CChargePropertiesDlg::ApplyNiMHPreset() {
    ApplyPreset(kBatteryNiMH, kNiMHSensitivity, kNiMHThresholds);
}

void CChargePropertiesDlg::OnCustom() {
    m_edit.batteryType = kBatteryCustom;
    MarkPeakCharge();
}

void CChargePropertiesDlg::OnHScroll(int id) {
    CheckDlgButton(IDC_CUSTOM, 1);
    CheckDlgButton(IDC_NIMH, 0);
    CheckDlgButton(IDC_NICD, 0);
    MarkPeakCharge();
    m_edit.batteryType = kBatteryCustom;
    const int pos = GetTrackBarPos(id);
    if (id == IDC_DELAY) {
        m_edit.delay = pos;
        SetDlgItemText(IDC_DELAY_TEXT, QString::number(pos));
    } else if (id == IDC_SENSITIVITY) {
        m_edit.sensitivity = pos;
        SetDlgItemText(IDC_SENSITIVITY_TEXT, QString::number(pos));
    } else if (id == IDC_THRESHOLD) {
        m_edit.threshold = pos;
        SetDlgItemText(IDC_THRESHOLD_TEXT, QString::fromStdString(FormatThreshold(pos)));
    }
}

void CChargePropertiesDlg::OnChangeTime() {
    CheckDlgButton(IDC_TIMED_CHARGE, 1);
    CheckDlgButton(IDC_PEAK_CHARGE, 0);
    m_edit.chargeType = kTimedCharge;
}

void CChargePropertiesDlg::OnChangeCells() {
    bool error = false;
    int pos = Item<CUpDown>(IDC_CELLS_SPIN)->GetPos(&error);
    m_edit.cells = error ? pos + kUpDownError : pos;
    if (m_edit.batteryType == kBatteryNiMH) {
        ApplyNiMHPreset();
    } else if (m_edit.batteryType == kBatteryNiCd) {
        ApplyNiCdPreset();
    }
    MarkPeakCharge();
}

void CChargePropertiesDlg::OnExportCsv() {
    m_edit.exportCsv = m_edit.exportCsv == 1 ? 0 : 1;
}

void CChargePropertiesDlg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    StoreChargeSettings(AppProfile(), m_edit);
    EndDialog(IDOK);
}
