#pragma once
// Asks for the name of a new pack; the caller checks and stores it.

#include "controls/CDialog.h"

class CSkinButton;

class CNewPackDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_NAME = 1077;
    static constexpr int kMaxNameLength = 100;

    explicit CNewPackDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    QString GetName() const { return m_strName; }

    CSkinButton* m_btnOK;
    CSkinButton* m_btnCancel;
    QString m_strName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
