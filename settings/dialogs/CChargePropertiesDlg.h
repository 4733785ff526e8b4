#pragma once
// The Charge Properties dialog: charge type, timed duration, battery type with its presets, the
// three peak-detection track bars, the number of cells and the CSV export. OK stores all ten
// values in section "Properties"; Cancel stores nothing.

#include "controls/CDialog.h"
#include "settings/ChargeSettings.h"

class CSkinButton;

class CChargePropertiesDlg : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_PEAK_CHARGE = 1015,
        IDC_TIMED_CHARGE = 1016,
        IDC_NICD = 1021,
        IDC_NIMH = 1022,
        IDC_CUSTOM = 1023,
        IDC_DELAY = 1014,
        IDC_SENSITIVITY = 1024,
        IDC_THRESHOLD = 1032,
        IDC_DELAY_TEXT = 1026,
        IDC_SENSITIVITY_TEXT = 1027,
        IDC_THRESHOLD_TEXT = 1028,
        IDC_HOURS = 1060,
        IDC_HOURS_SPIN = 1056,
        IDC_MINUTES = 1064,
        IDC_MINUTES_SPIN = 1065,
        IDC_SECONDS = 1066,
        IDC_SECONDS_SPIN = 1067,
        IDC_CELLS = 1071,
        IDC_CELLS_SPIN = 1072,
        IDC_EXPORT_CSV = 1093,
    };

    explicit CChargePropertiesDlg(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;
    void OnHScroll(int id) override;
    void OnEditChange(int id) override;

    void OnPeakCharge();
    void OnTimedCharge();
    void ApplyNiCdPreset();
    void ApplyNiMHPreset();
    void OnCustom();
    void OnChangeTime();
    void OnChangeCells();
    void OnExportCsv();

    CSkinButton* m_btnCancel;
    CSkinButton* m_btnOK;
    ChargeSettings m_edit;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void CheckBatteryRadio();
    void MarkPeakCharge();
    void ApplyPreset(int batteryType, int sensitivity, const int thresholdsByCells[5]);
};
