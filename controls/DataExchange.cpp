#include "controls/DataExchange.h"

#include <QLineEdit>
#include <QMessageBox>

#include "controls/Messages.h"

bool ParseWholeNumber(const QString& text, int& value) {
    QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') {
        return false;
    }
    long long n = 0;
    while (*p >= '0' && *p <= '9') {
        n = n * 10 + (*p - '0');
        if (n > 2147483648LL) {
            return false;
        }
        ++p;
    }
    if (*p != '\0') {
        return false;
    }
    n = negative ? -n : n;
    if (n > 2147483647LL) {
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

void CDataExchange::Fail(const QString& message) {
    m_bFailed = true;
    ShowMessageBox(m_window, QMessageBox::Warning, kAppTitle, message);
    if (QWidget* field = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
        field->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            edit->selectAll();
        }
    }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    if (pDX->m_bFailed) {
        return;
    }
    pDX->m_idLastControl = id;
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetDlgItemText(id, QString::number(value));
        return;
    }
    int parsed = 0;
    if (!ParseWholeNumber(pDX->m_pDlgWnd->GetDlgItemText(id), parsed)) {
        pDX->Fail("Please enter an integer.");
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int id, QString& value) {
    if (pDX->m_bFailed) {
        return;
    }
    pDX->m_idLastControl = id;
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->GetDlgItemText(id);
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue) {
    if (pDX->m_bFailed || !pDX->m_bSaveAndValidate) {
        return;
    }
    if (value < minValue || value > maxValue) {
        pDX->Fail(
            QString("Please enter an integer between %1 and %2.").arg(minValue).arg(maxValue));
    }
}

void DDV_MaxChars(CDataExchange* pDX, const QString& value, int maxChars) {
    if (pDX->m_bFailed) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        // While the dialog is open the field takes no more than that.
        if (auto* edit =
                qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(pDX->m_idLastControl))) {
            edit->setMaxLength(maxChars);
        }
        return;
    }
    if (value.size() > maxChars) {
        pDX->Fail(QString("Please enter no more than %1 characters.").arg(maxChars));
    }
}
