#pragma once
// Renames a pack and corrects its number of charges; the caller checks and stores the result.

#include "controls/CDialog.h"

class CSkinButton;

class CPackEditorDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_NAME = 1086;
    static constexpr int IDC_CHARGES = 1090;
    static constexpr int kMostCharges = 50000;

    explicit CPackEditorDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    CSkinButton* m_btnCancel;
    CSkinButton* m_btnOK;
    int m_nCharges = 0;
    QString m_strName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
