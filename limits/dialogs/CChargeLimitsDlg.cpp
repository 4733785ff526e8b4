#include "limits/dialogs/CChargeLimitsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "controls/Messages.h"

namespace {
QLineEdit* NumberField(QWidget* parent, int value, bool emptyForZero, const QString& name) {
    auto* edit = new QLineEdit(parent);
    edit->setText(emptyForZero && value == 0 ? QString() : QString::number(value));
    edit->setMaxLength(6);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance("0000000") + 12);
    edit->setAccessibleName(name);
    return edit;
}

// A whole number, or (where allowed) nothing for 0; false for anything else.
bool ReadNumber(const QLineEdit* edit, bool emptyIsZero, int& value) {
    const QString text = edit->text().trimmed();
    if (text.isEmpty()) {
        value = 0;
        return emptyIsZero;
    }
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}
}  // namespace

CChargeLimitsDlg::CChargeLimitsDlg(const ChargeLimits& limits, const QString& packName,
                                   QWidget* parent)
    : QDialog(parent), m_limits(limits) {
    setWindowTitle("Charge Limits");
    m_refuse = [this](const QString& message) {
        ShowMessageBox(this, QMessageBox::Warning, "Charge Limits", message);
    };
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(this);
    intro->setTextFormat(Qt::PlainText);
    intro->setText(packName.isEmpty() ? QString("For charges without a pack.")
                                      : QString("For the pack %1.").arg(packName));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* note = new QLabel(
        "These backups end a charge that the peak detection or the set time would let run on.",
        this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* grid = new QGridLayout();
    int row = 0;
    auto* ratedLabel = new QLabel("&Rated capacity:", this);
    m_editRated = NumberField(this, limits.ratedMah, true, "Rated capacity");
    m_editRated->setPlaceholderText("unknown");
    ratedLabel->setBuddy(m_editRated);
    grid->addWidget(ratedLabel, row, 0);
    grid->addWidget(m_editRated, row, 1);
    grid->addWidget(new QLabel("mAh (empty: not known)", this), row++, 2);

    m_chkCapacity = new QCheckBox("&Capacity cut-off at", this);
    m_chkCapacity->setChecked(limits.capacityOn);
    m_editCapacity = NumberField(this, limits.capacityPercent, false, "Capacity cut-off");
    grid->addWidget(m_chkCapacity, row, 0);
    grid->addWidget(m_editCapacity, row, 1);
    grid->addWidget(new QLabel("% of the rated capacity", this), row++, 2);

    m_chkTimer = new QCheckBox("&Safety timer after", this);
    m_chkTimer->setChecked(limits.timerOn);
    m_editTimer = NumberField(this, limits.timerMinutes, true, "Safety timer");
    m_editTimer->setPlaceholderText("auto");
    grid->addWidget(m_chkTimer, row, 0);
    grid->addWidget(m_editTimer, row, 1);
    auto* timerNote = new QLabel(
        "minutes of peak charge (empty: 160% of the rated capacity at the measured "
        "current, 24 hours while it is not known)",
        this);
    timerNote->setWordWrap(true);
    grid->addWidget(timerNote, row++, 2);

    m_chkPlateau = new QCheckBox("Voltage &plateau:", this);
    m_chkPlateau->setChecked(limits.plateauOn);
    m_editPlateau = NumberField(this, limits.plateauMinutes, false, "Voltage plateau");
    grid->addWidget(m_chkPlateau, row, 0);
    grid->addWidget(m_editPlateau, row, 1);
    auto* plateauText = new QLabel(
        "minutes at most without a rise end a peak charge (at a brisk rate, the time to deliver "
        "6% of the rated capacity)",
        this);
    plateauText->setWordWrap(true);
    grid->addWidget(plateauText, row++, 2);

    m_chkRemoved = new QCheckBox(
        "&Battery removed: an open circuit for 5 seconds after the "
        "first minute ends the charge",
        this);
    m_chkRemoved->setChecked(limits.removedOn);
    grid->addWidget(m_chkRemoved, row++, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CChargeLimitsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CChargeLimitsDlg::reject);
    layout->addWidget(buttons);
    resize(sizeHint().expandedTo(QSize(560, 0)));
}

void CChargeLimitsDlg::accept() {
    ChargeLimits l;
    l.capacityOn = m_chkCapacity->isChecked();
    l.timerOn = m_chkTimer->isChecked();
    l.plateauOn = m_chkPlateau->isChecked();
    l.removedOn = m_chkRemoved->isChecked();
    struct Field {
        const char* name;  // as FieldOutsideRange names it
        QLineEdit* edit;
        bool emptyIsZero;
        int32_t* value;
        QString rule;
    };
    const Field fields[] = {
        {"Rated capacity", m_editRated, true, &l.ratedMah,
         QString("Rated capacity: enter a whole number of mAh from %1 to %2, or leave it "
                 "empty when the capacity is not known.")
             .arg(kLeastRatedMah)
             .arg(kMostRatedMah)},
        {"Capacity cut-off", m_editCapacity, false, &l.capacityPercent,
         QString("Capacity cut-off: enter a whole percentage from %1 to %2.")
             .arg(kLeastCapacityPercent)
             .arg(kMostCapacityPercent)},
        {"Safety timer", m_editTimer, true, &l.timerMinutes,
         QString("Safety timer: enter a whole number of minutes from %1 to %2, or leave it "
                 "empty for the automatic time.")
             .arg(kShortestTimerMinutes)
             .arg(kLongestTimerMinutes)},
        {"Voltage plateau", m_editPlateau, false, &l.plateauMinutes,
         QString("Voltage plateau: enter a whole number of minutes from %1 to %2.")
             .arg(kShortestPlateauMinutes)
             .arg(kLongestPlateauMinutes)},
    };
    auto refuse = [this](const Field& f) {
        m_refuse(f.rule);
        f.edit->setFocus();
        f.edit->selectAll();
    };
    for (const Field& f : fields) {
        int value = 0;
        if (!ReadNumber(f.edit, f.emptyIsZero, value)) {
            refuse(f);
            return;
        }
        *f.value = value;
    }
    if (const auto bad = FieldOutsideRange(l)) {
        for (const Field& f : fields) {
            if (*bad == f.name) {
                refuse(f);
                return;
            }
        }
    }
    m_limits = l;
    QDialog::accept();
}
