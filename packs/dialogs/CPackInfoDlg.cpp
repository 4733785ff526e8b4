#include "packs/dialogs/CPackInfoDlg.h"

#include "controls/CSkinButton.h"
#include "controls/Skins.h"
#include "packs/PackBook.h"
#include "packs/PackFormats.h"
#include "packs/PackStore.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CPackEditorDlg.h"
#include "platform/Profile.h"

namespace {
using D = CPackInfoDlg;

const DialogTemplate& PackInfoTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        164,
        "Pack Information",
        190,
        241,
        {
            {IDOK, C::Button, "OK", 133, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {D::IDC_EDIT, C::Button, "Edit", 133, 25, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_STATIC, C::Button, "Pack Name", 7, 7, 119, 31, BS_GROUPBOX},
            {D::IDC_NAME, C::Static, "Pack Name", 21, 19, 104, 14, SS_LEFT, "Pack name"},
            {IDC_STATIC, C::Button, "Last Charge", 7, 42, 176, 136, BS_GROUPBOX},
            {D::IDC_PEAK, C::Static, "Static", 25, 53, 46, 16, SS_RIGHT, "Peak voltage"},
            {IDC_STATIC, C::Static, "Peak Voltage (Volts)", 89, 53, 46, 16, SS_LEFT},
            {D::IDC_MAH, C::Static, "Static", 25, 75, 46, 16, SS_RIGHT, "mAh"},
            {IDC_STATIC, C::Static, "mAH", 89, 75, 46, 16, SS_LEFT},
            {D::IDC_AVERAGE, C::Static, "Static", 25, 97, 46, 16, SS_RIGHT, "Average current"},
            {IDC_STATIC, C::Static, "Average Current (Amps)", 89, 97, 46, 16, SS_LEFT},
            {D::IDC_DURATION, C::Static, "Static", 25, 119, 46, 16, SS_RIGHT, "Charge duration"},
            {IDC_STATIC, C::Static, "Charge Duration", 89, 119, 46, 16, SS_LEFT},
            {D::IDC_DATE, C::Static, "Static", 25, 141, 46, 16, SS_RIGHT, "Date"},
            {IDC_STATIC, C::Static, "Date", 89, 141, 46, 16, SS_LEFT},
            {D::IDC_TIME, C::Static, "Static", 25, 163, 46, 10, SS_RIGHT, "Time"},
            {IDC_STATIC, C::Static, "Time", 89, 163, 46, 10, SS_LEFT},
            {IDC_STATIC, C::Button, "History", 7, 182, 176, 52, BS_GROUPBOX},
            {D::IDC_PREVIOUS_PEAK, C::Static, "Static", 35, 190, 36, 16, SS_RIGHT,
             "Second-to-last peak voltage"},
            {IDC_STATIC, C::Static, "Second-to-Last Peak Voltage", 89, 190, 50, 16, SS_LEFT},
            {D::IDC_CHARGES, C::Static, "Static", 25, 212, 46, 16, SS_RIGHT,
             "Number of total charges"},
            {IDC_STATIC, C::Static, "Number of total Charges", 89, 212, 50, 16, SS_LEFT},
        },
    };
    return tmpl;
}

}  // namespace

CPackInfoDlg::CPackInfoDlg(QWidget* parent)
    : CDialog(PackInfoTemplate(), parent),
      m_btnOK(SkinButton(IDOK)),
      m_btnEdit(SkinButton(IDC_EDIT)) {}

bool CPackInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpCaptionButton(m_btnOK, "Close this window.");
    SetUpCaptionButton(m_btnEdit, "Edit the pack name or number of times its been charged.");

    PackBook book(AppProfile());
    const std::string record = book.Record(m_strSlot.toInt());
    if (record == kNoRecord) {
        SetDlgItemText(IDC_NAME, "No record for this pack");
        for (int id : {IDC_PEAK, IDC_MAH, IDC_AVERAGE, IDC_DURATION, IDC_DATE, IDC_TIME,
                       IDC_PREVIOUS_PEAK, IDC_CHARGES}) {
            SetDlgItemText(id, QString());
        }
        return true;
    }
    const PackInfoTexts t = FormatPackRecord(record);
    SetDlgItemText(IDC_NAME, book.Name(m_strSlot.toInt()));
    SetDlgItemText(IDC_PEAK, QString::fromStdString(t.peakVoltage));
    SetDlgItemText(IDC_MAH, QString::fromStdString(t.mah));
    SetDlgItemText(IDC_DURATION, QString::fromStdString(t.duration));
    SetDlgItemText(IDC_AVERAGE, QString::fromStdString(t.averageCurrent));
    SetDlgItemText(IDC_DATE, QString::fromStdString(t.date));
    SetDlgItemText(IDC_TIME, QString::fromStdString(t.time));
    SetDlgItemText(IDC_PREVIOUS_PEAK, QString::fromStdString(t.previousPeak));
    SetDlgItemText(IDC_CHARGES, QString::fromStdString(t.charges));
    return true;
}

void CPackInfoDlg::OnCommand(int id) {
    if (id == IDC_EDIT) {
        OnEditPack();
    }
}

void CPackInfoDlg::OnEditPack() {
    PackBook book(AppProfile());
    const int slot = m_strSlot.toInt();
    std::string record = book.Record(slot);
    if (record == kNoRecord) {
        record = kBlankRecord;
    }
    CPackEditorDlg editor(this);
    editor.m_strName = book.Name(slot);
    editor.m_nCharges = RecordCount(record);
    if (editor.DoModal() != IDOK) {
        return;
    }
    if (book.Edit(slot, editor.m_strName, editor.m_nCharges) == PackBook::Edited::Refused) {
        CConfirmDlg notice(this);
        notice.m_strMessage = "That pack already exists or you have entered an illegal pack name";
        notice.DoModal();
        return;
    }
    OnInitDialog();
}
