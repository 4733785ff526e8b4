// The "Charge Properties" panel of the main window.

#include <QLabel>

#include "app/CChargerDlg.h"
#include "limits/ChargeLimitsStore.h"
#include "packs/PackBook.h"
#include "platform/Profile.h"
#include "session/ChargeRun.h"
#include "settings/ChargeSettingsStore.h"

void CChargerDlg::LoadChargeSettings() {
    Profile& profile = AppProfile();
    bool damaged = false;
    m_settings = SettingsInForce(profile, damaged);
    if (damaged) {
        if (!m_bBadSettingsReported) {
            m_bBadSettingsReported = true;
            m_reportFailure(
                "The stored charge properties are outside what the Charge Properties dialog "
                "allows (edited by hand, or written by another version), so they are not used. "
                "The default charge properties are in force; check them with Properties.");
        }
    }
    m_nSelected = profile.GetProfileInt(kPropertiesSection, kKeyLastSelected, 0);
    m_strPackName = profile.GetProfileString(kPropertiesSection, kKeyPackName, kNoPack);
    if (m_strPackName.size() > kMaxPackNameLength) {
        m_strPackName = kNoPack;  // no pack has such a name (see ReloadPackNames)
    }
    LoadChargeLimits();
}

void CChargerDlg::LoadChargeLimits() {
    Profile& profile = AppProfile();
    const int slot = m_strPackName == kNoPack ? -1 : PackBook(profile).FindSlot(m_strPackName);
    const StoredLimits stored = ReadChargeLimits(profile, slot);
    m_limits = stored.limits;
    if (stored.damaged && !m_bBadLimitsReported) {
        m_bBadLimitsReported = true;
        const QString whose =
            slot < 0 ? QString("for charges without a pack") : "of the pack " + m_strPackName;
        m_reportFailure(QString("The stored charge limits %1 cannot be used (%2; edited by hand, "
                                "or written by another version). The default limits are in "
                                "force; check them with Charge Limits.")
                            .arg(whose, stored.why));
    }
}

void CChargerDlg::RefreshSettingsSummary() {
    LoadChargeSettings();
    // While a cycle runs the panel keeps naming the pack being charged.
    if (m_bCharging == 0) {
        m_stcPackName->setText(m_strPackName);
    }
    const ChargeSettings& s = m_settings;
    // The peak charge's labels have nothing to say in a timed charge: hidden then, so that a
    // screen reader does not announce them empty.
    for (QLabel* label :
         {m_stcThreshold, m_stcDelay, m_stcSensitivity, m_stcCells, m_stcThresholdLabel,
          m_stcDelayLabel, m_stcSensitivityLabel, m_stcCellsLabel}) {
        label->setVisible(s.chargeType == kPeakCharge);
    }
    if (s.chargeType == kPeakCharge) {
        m_stcBatteryTypeLabel->setText("Battery Type");
        m_stcThresholdLabel->setText("Threshold Voltage");
        m_stcDelayLabel->setText("Peak Detect Delay");
        m_stcSensitivityLabel->setText(" Sensitivity");
        m_stcCellsLabel->setText("Number of Cells");
        m_stcChargeType->setText("Peak Charge");
        switch (s.batteryType) {
            case kBatteryNiCd:
                m_stcBatteryType->setText("Nickel Cadmium (Ni-Cd)");
                break;
            case kBatteryNiMH:
                m_stcBatteryType->setText("Nickel Metal Hydride (Ni-MH)");
                break;
            case kBatteryCustom:
                m_stcBatteryType->setText("Custom");
                break;
            default:
                break;
        }
        m_stcThreshold->setText(QString::fromStdString(FormatThreshold(s.threshold)) + " volts");
        m_stcDelay->setText(QString::number(s.delay) + " sec");
        m_stcSensitivity->setText(QString::number(s.sensitivity) + " sec");
        m_stcCells->setText(QString::number(s.cells));
    } else {
        m_stcChargeType->setText("Timed Charge");
        m_stcBatteryTypeLabel->setText("Cut Off");
        m_stcBatteryType->setText(
            QString::fromStdString(FormatDuration(s.timedHours, s.timedMinutes, s.timedSeconds)));
        for (QLabel* label :
             {m_stcThreshold, m_stcDelay, m_stcSensitivity, m_stcCells, m_stcThresholdLabel,
              m_stcDelayLabel, m_stcSensitivityLabel, m_stcCellsLabel}) {
            label->setText(QString());
        }
    }
    // Each value announced with the label beside it, which says what it is in this mode (the
    // battery type's place holds the cut-off time of a timed charge).
    AnnounceValue(m_stcChargeType, m_stcChargeTypeLabel->text().simplified());
    AnnounceValue(m_stcBatteryType, m_stcBatteryTypeLabel->text().simplified());
    m_stcBatteryType->setAccessibleDescription(
        s.chargeType == kPeakCharge ? "Battery type" : "Cut-off time of the timed charge");
    if (s.chargeType == kPeakCharge) {
        AnnounceValue(m_stcThreshold, m_stcThresholdLabel->text().simplified());
        AnnounceValue(m_stcDelay, m_stcDelayLabel->text().simplified());
        AnnounceValue(m_stcSensitivity, m_stcSensitivityLabel->text().simplified());
        AnnounceValue(m_stcCells, m_stcCellsLabel->text().simplified());
    }
}
