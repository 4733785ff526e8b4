#pragma once
// A small dialog framework over QDialog: dialogs built from templates, controls by id, timers
// that call OnTimer(id), modal runs that return IDOK or IDCANCEL, and data exchange with the
// validation messages users know from such dialogs.

#include <QDialog>
#include <QString>
#include <map>

#include "controls/DataExchange.h"
#include "controls/DialogTemplate.h"

class CSkinButton;
class QTimer;

class CDialog : public QDialog, public DialogFields {
    Q_OBJECT
public:
    explicit CDialog(const DialogTemplate& tmpl, QWidget* parent = nullptr);
    ~CDialog() override;

    // Runs OnInitDialog (once) and the dialog's own event loop; returns what EndDialog gave.
    int DoModal();
    // Runs OnInitDialog without showing the dialog, for the main window and for tests.
    void Initialise();
    void EndDialog(int result);

    QWidget* GetDlgItem(int id) const override;
    template <class T>
    T* Item(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }
    CSkinButton* SkinButton(int id) const;
    QString GetDlgItemText(int id) const override;
    void SetDlgItemText(int id, const QString& text) override;
    void CheckDlgButton(int id, int check);
    int IsDlgButtonChecked(int id) const;

    bool SetTimer(int id, int milliseconds);
    bool KillTimer(int id);
    bool HasTimer(int id) const;

    bool UpdateData(bool saveAndValidate = true);

    // Dialog units to pixels with the dialog font's average character size.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // The close box; by default the same as Cancel.
    virtual void OnClose();
    virtual void OnTimer(int id);
    // A command from a control other than OK and Cancel (button clicks, picture clicks).
    virtual void OnCommand(int id);
    // The user selected an entry of a list box.
    virtual void OnSelChange(int id);
    // A track bar moved by the user.
    virtual void OnHScroll(int id);
    // The text of an edit changed, by typing or from code.
    virtual void OnEditChange(int id);

    // Track bars: the position as the user left it; setting it or its range from code raises no
    // notification.
    int GetTrackBarPos(int id) const;
    void SetTrackBarPos(int id, int pos);
    void SetTrackBarRange(int id, int minimum, int maximum);

    static QFont DialogFont();
    static QFont TextFont();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls(const DialogTemplate& tmpl);
    QWidget* CreateControl(const ControlTemplate& ct);

    std::map<int, QWidget*> m_controls;
    std::map<int, QTimer*> m_timers;
    int m_baseX = 6;
    int m_baseY = 13;
    bool m_bInitialised = false;
};
