#include "remote/dialogs/CRemoteDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "controls/Messages.h"

namespace {
QLineEdit* Field(QWidget* parent, const std::string& text, const QString& name) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setAccessibleName(name);
    return edit;
}
}  // namespace

CRemoteDlg::CRemoteDlg(bool enabled, const RemoteSettings& broker, const QString& defaultPrefix,
                       QWidget* parent)
    : QDialog(parent), m_enabled(enabled), m_broker(broker) {
    setWindowTitle("Remote");
    m_refuse = [this](const QString& message) {
        ShowMessageBox(this, QMessageBox::Warning, "Remote", message);
    };
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(
        "Publishes each charge to an MQTT broker, where a home-automation hub (Home Assistant "
        "finds it by itself) or a phone can watch it and stop it. Nothing received can start a "
        "charge or change a setting.",
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_chkEnabled = new QCheckBox("&Publish charges over MQTT", this);
    m_chkEnabled->setChecked(enabled);
    layout->addWidget(m_chkEnabled);

    auto* grid = new QGridLayout();
    int row = 0;
    auto add = [&](const QString& label, QWidget* field) {
        auto* text = new QLabel(label, this);
        text->setBuddy(field);
        grid->addWidget(text, row, 0);
        grid->addWidget(field, row++, 1);
    };
    m_editHost = Field(this, broker.host, "Broker host");
    add("Broker &host:", m_editHost);
    m_editPort = Field(this, std::to_string(broker.port), "Broker port");
    m_editPort->setMaxLength(5);
    add("P&ort:", m_editPort);
    m_editUser = Field(this, broker.user, "User name");
    m_editUser->setPlaceholderText("none");
    add("&User name:", m_editUser);
    m_stcPassword = new QLabel(this);
    m_stcPassword->setWordWrap(true);
    m_stcPassword->setTextFormat(Qt::PlainText);
    grid->addWidget(m_stcPassword, row++, 1);
    m_chkTls = new QCheckBox("&TLS", this);
    m_chkTls->setChecked(broker.tls);
    grid->addWidget(m_chkTls, row++, 1);
    m_editCaFile = Field(this, broker.caFile, "CA file");
    m_editCaFile->setPlaceholderText("the system's authorities");
    add("&CA file:", m_editCaFile);
    m_editPrefix = Field(this, broker.prefix, "Topic prefix");
    m_editPrefix->setPlaceholderText(defaultPrefix);
    add("Topic &prefix:", m_editPrefix);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRemoteDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRemoteDlg::reject);
    layout->addWidget(buttons);

    // The fields of a broker not used are greyed; TLS's CA file only with TLS.
    auto update = [this] {
        const bool on = m_chkEnabled->isChecked();
        for (QWidget* w : std::initializer_list<QWidget*>{m_editHost, m_editPort, m_editUser, m_chkTls,
                                                          m_editPrefix, m_stcPassword}) {
            w->setEnabled(on);
        }
        m_editCaFile->setEnabled(on && m_chkTls->isChecked());
        ShowPasswordState();
    };
    connect(m_chkEnabled, &QCheckBox::toggled, this, update);
    connect(m_chkTls, &QCheckBox::toggled, this, [this, update](bool tls) {
        // The usual port of each, unless another one was typed.
        if (m_editPort->text() == (tls ? "1883" : "8883")) {
            m_editPort->setText(tls ? "8883" : "1883");
        }
        update();
    });
    connect(m_editUser, &QLineEdit::textChanged, this, [this] { ShowPasswordState(); });
    update();
}

void CRemoteDlg::ShowPasswordState() {
    if (m_editUser->text().trimmed().isEmpty()) {
        m_stcPassword->setText("No account: the broker must take anonymous clients.");
        return;
    }
    const std::string file = DefaultPasswordFile();
    const QString shown = QString::fromStdString(file);
    std::string password;
    std::string why;
    if (ReadPasswordFile(file, password, why)) {
        m_stcPassword->setText("The password is read from " + shown + ".");
    } else if (!QFileInfo::exists(shown)) {
        m_stcPassword->setText("Put the password in " + shown + ", readable only by you (chmod 600).");
    } else {
        m_stcPassword->setText(QString::fromStdString(why) + ".");
    }
}

void CRemoteDlg::accept() {
    RemoteSettings s;
    s.host = m_editHost->text().trimmed().toStdString();
    s.user = m_editUser->text().trimmed().toStdString();
    s.tls = m_chkTls->isChecked();
    s.caFile = s.tls ? m_editCaFile->text().trimmed().toStdString() : std::string();
    s.prefix = m_editPrefix->text().trimmed().toStdString();
    bool portOk = false;
    s.port = m_editPort->text().trimmed().toInt(&portOk);
    const bool enabled = m_chkEnabled->isChecked();
    // Each field checked only when publishing is on: off, whatever is typed is kept as it reads.
    if (enabled) {
        auto refuse = [this](QLineEdit* field, const QString& message) {
            m_refuse(message);
            field->setFocus();
            field->selectAll();
        };
        if (s.host.empty() || s.host.find_first_of("/@?: ") != std::string::npos) {
            return refuse(m_editHost, "Type the broker's host name or address.");
        }
        if (!portOk || s.port < 1 || s.port > 65535) {
            return refuse(m_editPort, "The broker's port is a number from 1 to 65535.");
        }
        if (s.user.find_first_of(":@/ ") != std::string::npos) {
            return refuse(m_editUser, "A user name holds no spaces, colons, @ or /.");
        }
        if (!s.caFile.empty() && !QFileInfo(QString::fromStdString(s.caFile)).isFile()) {
            return refuse(m_editCaFile, "There is no CA file " + QString::fromStdString(s.caFile) + ".");
        }
        if (s.prefix.find_first_of("+#?") != std::string::npos || s.prefix.rfind('/', 0) == 0) {
            return refuse(m_editPrefix,
                          "A topic prefix holds no +, # or ?, and does not begin with /.");
        }
        // What is stored is read back by the same rules as --mqtt: it must come back whole.
        std::string why;
        const auto back = ParseBrokerUrl(BrokerUrl(s), why);
        if (!back || back->host != s.host || back->port != s.port || back->prefix != s.prefix) {
            return refuse(m_editHost, "These settings cannot be stored: " + QString::fromStdString(why));
        }
    } else if (!portOk) {
        s.port = s.tls ? 8883 : 1883;
    }
    s.passwordFile = s.user.empty() ? std::string() : DefaultPasswordFile();
    m_enabled = enabled;
    m_broker = s;
    QDialog::accept();
}
