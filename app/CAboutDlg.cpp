#include "app/CAboutDlg.h"

#include "app/Templates.h"
#include "controls/CSkinButton.h"
#include "controls/Skins.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : CDialog(AboutDialogTemplate(), parent), m_btnOK(SkinButton(IDOK)) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpCaptionButton(m_btnOK, "Close this window");
    return true;
}
