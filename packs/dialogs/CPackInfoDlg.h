#pragma once
// Shows one pack's record of its last charge; Edit renames the pack or sets its count.

#include "controls/CDialog.h"

class CSkinButton;
class QLabel;

class CPackInfoDlg : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_EDIT = 1092,
        IDC_NAME = 1086,
        IDC_PEAK = 1087,
        IDC_MAH = 1067,
        IDC_AVERAGE = 1009,
        IDC_DURATION = 1005,
        IDC_DATE = 1088,
        IDC_TIME = 1091,
        IDC_PREVIOUS_PEAK = 1089,
        IDC_CHARGES = 1090,
    };

    explicit CPackInfoDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnEditPack();

    QString m_strSlot;
    CSkinButton* m_btnOK;
    CSkinButton* m_btnEdit;
};
