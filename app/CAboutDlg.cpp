#include "app/CAboutDlg.h"

#include "app/Templates.h"
#include "controls/CSkinButton.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : CDialog(AboutDialogTemplate(), parent), m_btnOK(SkinButton(IDOK)) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_btnOK->SetTextColor(0);
    m_btnOK->SetToolTipText("Close this window");
    m_btnOK->SetSkin(146, 149, 150, 0, 151, 148, 0, 0, 0);
    return true;
}
