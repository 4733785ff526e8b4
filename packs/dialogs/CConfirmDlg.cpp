#include "packs/dialogs/CConfirmDlg.h"

#include "controls/Accessibility.h"
#include "controls/CSkinButton.h"
#include "controls/ControlLooks.h"
#include "controls/Skins.h"

namespace {
constexpr int IDC_MESSAGE = 1083;

const DialogTemplate& ConfirmTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        163,
        "",
        119,
        66,
        {
            {IDOK, C::Button, "OK", 7, 45, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDCANCEL, C::Button, "Cancel", 62, 45, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_MESSAGE, C::Static, "Error", 7, 7, 105, 36, SS_CENTER, "Message"},
        },
    };
    return tmpl;
}
}  // namespace

CConfirmDlg::CConfirmDlg(QWidget* parent)
    : CDialog(ConfirmTemplate(), parent),
      m_btnOK(SkinButton(IDOK)),
      m_btnCancel(SkinButton(IDCANCEL)) {}

void CConfirmDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_MESSAGE, m_strMessage);
}

bool CConfirmDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // A screen reader announces it as the message box it is, by its question or notice.
    AnnounceAsAlert(this);
    setAccessibleName(m_strMessage);
    SetUpCaptionButton(m_btnOK, "Ok");
    SetUpCaptionButton(m_btnCancel, "Cancel");
    if (!m_strName.isEmpty()) {
        if (auto* message = Item<CElidedLabel>(IDC_MESSAGE)) {
            message->SetElidable(m_strName);
        }
    }
    if (m_bCancelDefault) {
        m_btnOK->setDefault(false);
        m_btnCancel->setDefault(true);
        m_btnCancel->setFocus();
    }
    return true;
}
