#pragma once
// The Charge Limits dialog: the pack's rated capacity and the four backup cut-offs, for the
// current pack or for charges of no pack. OK refuses a value outside its range with a message
// naming the field, and keeps the dialog open; Cancel changes nothing.

#include <QDialog>
#include <functional>

#include "limits/ChargeLimits.h"

class QCheckBox;
class QLineEdit;
class QLabel;

class CChargeLimitsDlg : public QDialog {
    Q_OBJECT
public:
    // packName: the pack the limits belong to, empty for charges of no pack.
    CChargeLimitsDlg(const ChargeLimits& limits, const QString& packName,
                     QWidget* parent = nullptr);

    // What OK accepted.
    const ChargeLimits& Limits() const { return m_limits; }

    // Says why OK was refused; a message box by default, tests collect the messages.
    std::function<void(const QString&)> m_refuse;

    QLineEdit* m_editRated;
    QCheckBox* m_chkCapacity;
    QLineEdit* m_editCapacity;
    QCheckBox* m_chkTimer;
    QLineEdit* m_editTimer;
    QCheckBox* m_chkPlateau;
    QLineEdit* m_editPlateau;
    QCheckBox* m_chkRemoved;

    void accept() override;

private:
    ChargeLimits m_limits;
};
