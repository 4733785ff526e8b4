#include "packs/dialogs/CPackEditorDlg.h"

#include "controls/CSkinButton.h"
#include "controls/Skins.h"
#include "packs/PackStore.h"

namespace {
const DialogTemplate& PackEditorTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        166,
        "Pack Editor",
        159,
        81,
        {
            {IDOK, C::Button, "OK", 102, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDCANCEL, C::Button, "Cancel", 102, 26, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_STATIC, C::Static, "Rename Pack", 7, 7, 90, 12, SS_LEFT},
            {CPackEditorDlg::IDC_NAME, C::Edit, "", 7, 19, 89, 15,
             ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, "Pack name"},
            {IDC_STATIC, C::Static, "Number of Charges", 7, 40, 101, 11, SS_LEFT},
            {CPackEditorDlg::IDC_CHARGES, C::Edit, "", 7, 51, 50, 15,
             ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, "Number of charges"},
        },
    };
    return tmpl;
}
}  // namespace

CPackEditorDlg::CPackEditorDlg(QWidget* parent)
    : CDialog(PackEditorTemplate(), parent),
      m_btnCancel(SkinButton(IDCANCEL)),
      m_btnOK(SkinButton(IDOK)) {}

void CPackEditorDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_CHARGES, m_nCharges);
    DDV_MinMaxInt(pDX, m_nCharges, 0, kMostCharges);
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDV_MaxChars(pDX, m_strName, kMaxPackNameLength);
}

bool CPackEditorDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpCaptionButton(m_btnOK, "Save Changes");
    SetUpCaptionButton(m_btnCancel, "Discard Changes");
    // Renaming is what the editor is opened for most.
    GetDlgItem(IDC_NAME)->setFocus();
    return true;
}
