#pragma once

#include "controls/CDialog.h"

class CSkinButton;

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    CSkinButton* m_btnOK;
};
