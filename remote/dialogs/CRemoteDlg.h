#pragma once
// The Remote dialog: whether charges are published over MQTT, and to which broker (host, port,
// user, TLS with a CA file, topic prefix). The password is never typed here: the dialog says
// where its file is and whether that file is fit to use. OK refuses what the broker's URL could
// not hold, naming the field, and keeps the dialog open; Cancel changes nothing.

#include <QDialog>
#include <functional>

#include "remote/RemoteSettings.h"

class QCheckBox;
class QLabel;
class QLineEdit;

class CRemoteDlg : public QDialog {
    Q_OBJECT
public:
    // defaultPrefix: the prefix used when the field is left empty (shown greyed in it).
    CRemoteDlg(bool enabled, const RemoteSettings& broker, const QString& defaultPrefix,
               QWidget* parent = nullptr);

    // What OK accepted.
    bool Enabled() const { return m_enabled; }
    const RemoteSettings& Broker() const { return m_broker; }

    // Says why OK was refused; a message box by default, tests collect the messages.
    std::function<void(const QString&)> m_refuse;

    QCheckBox* m_chkEnabled;
    QLineEdit* m_editHost;
    QLineEdit* m_editPort;
    QLineEdit* m_editUser;
    QCheckBox* m_chkTls;
    QLineEdit* m_editCaFile;
    QLineEdit* m_editPrefix;
    QLabel* m_stcPassword;

    void accept() override;

private:
    void ShowPasswordState();

    bool m_enabled;
    RemoteSettings m_broker;
};
