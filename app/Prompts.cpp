// The main window's two ways of telling its user something outside its displays: a question in
// the confirmation dialog, and a value given its meaning for a screen reader. They call nothing
// else of the window, so that the window's handlers can all use them.

#include <QLabel>
#include <QPointer>

#include "app/CChargerDlg.h"
#include "packs/dialogs/CConfirmDlg.h"

bool CChargerDlg::Ask(const QString& question, bool cancelDefault, const QString& name,
                      QPointer<QDialog>* open) {
    CConfirmDlg confirm(this);
    confirm.m_strMessage = question;
    confirm.m_strName = name;
    confirm.m_bCancelDefault = cancelDefault;
    if (open != nullptr) {
        *open = &confirm;
    }
    return confirm.DoModal() == IDOK;
}

void CChargerDlg::AnnounceValue(QLabel* value, const QString& meaning) {
    value->setAccessibleName(meaning + " " + value->text().simplified());
}
