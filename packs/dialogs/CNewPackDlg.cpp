#include "packs/dialogs/CNewPackDlg.h"

#include "controls/CSkinButton.h"
#include "controls/Skins.h"

namespace {
const DialogTemplate& NewPackTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        161,
        "New Pack",
        176,
        46,
        {
            {IDC_STATIC, C::Static, "Enter a name for your new pack.", 7, 7, 111, 14, SS_LEFT},
            {CNewPackDlg::IDC_NAME, C::Edit, "", 7, 20, 107, 12, WS_BORDER | WS_TABSTOP,
             "Name of the new pack"},
            {IDOK, C::Button, "OK", 119, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDCANCEL, C::Button, "Cancel", 119, 24, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
        },
    };
    return tmpl;
}
}  // namespace

CNewPackDlg::CNewPackDlg(QWidget* parent)
    : CDialog(NewPackTemplate(), parent),
      m_btnOK(SkinButton(IDOK)),
      m_btnCancel(SkinButton(IDCANCEL)) {}

void CNewPackDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDV_MaxChars(pDX, m_strName, kMaxNameLength);
}

bool CNewPackDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpCaptionButton(m_btnOK, "Create the new pack.");
    SetUpCaptionButton(m_btnCancel, "Don't create the new pack.");
    GetDlgItem(IDC_NAME)->setFocus();
    return true;
}
