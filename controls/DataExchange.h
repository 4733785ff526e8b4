#pragma once
// Data exchange between a dialog's fields and its members, with the validation messages users
// know from such dialogs, and the number parsing the fields share (the up-down control's too).

#include <QString>

class QWidget;

// What the exchange needs of a dialog (CDialog is one): its fields by id, read and written as
// text. The exchange knows the dialog by this alone, so that it stands below the dialog.
class DialogFields {
public:
    virtual QWidget* GetDlgItem(int id) const = 0;
    virtual QString GetDlgItemText(int id) const = 0;
    virtual void SetDlgItemText(int id, const QString& text) = 0;

protected:
    ~DialogFields() = default;
};

class CDataExchange {
public:
    // dialog: a window with fields (a CDialog); the window owns the exchange's messages.
    template <class Dialog>
    CDataExchange(Dialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_window(dialog), m_bSaveAndValidate(saveAndValidate) {}
    // Shows the message, focuses the field last exchanged and marks the exchange failed; every
    // later exchange step of this pass does nothing.
    void Fail(const QString& message);

    DialogFields* m_pDlgWnd;
    QWidget* m_window;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
    int m_idLastControl = 0;
};

// Whole numbers: "Please enter an integer." when the text is not one.
void DDX_Text(CDataExchange* pDX, int id, int& value);
// Text, unchanged in both directions.
void DDX_Text(CDataExchange* pDX, int id, QString& value);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue);
void DDV_MaxChars(CDataExchange* pDX, const QString& value, int maxChars);

// Parses a whole number the way the data exchange does: blanks before it are allowed, nothing
// after it, and it must fit 32 bits.
bool ParseWholeNumber(const QString& text, int& value);
