#pragma once
// The program's own message box: a message, OK and Cancel. DoModal gives IDOK or IDCANCEL.

#include "controls/CDialog.h"

class CSkinButton;

class CConfirmDlg : public CDialog {
    Q_OBJECT
public:
    explicit CConfirmDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    CSkinButton* m_btnOK;
    CSkinButton* m_btnCancel;
    QString m_strMessage;
    // A name inside the message that is cut with "…" when the message does not fit.
    QString m_strName;
    // For a question whose OK throws something away: Enter answers Cancel.
    bool m_bCancelDefault = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
