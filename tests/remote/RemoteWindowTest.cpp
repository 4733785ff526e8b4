// Publishing from the window: the Remote dialog's settings as stored, the window's charge seen
// and stopped from the broker, and a broker that cannot be reached said in the caption.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

#include "app/CChargerDlg.h"
#include "remote/RemoteStore.h"
#include "remote/dialogs/CRemoteDlg.h"
#include "tests/TestSupport.h"

namespace {

// The Remote dialog: what OK accepts is stored as the broker's URL and read back whole; what it
// refuses keeps the dialog open with the field in question focused.
TEST(Remote, TheDialogStoresABrokerItCanReadBackAndRefusesTheRest) {
    struct Case {
        QString host, port, user;
        bool tls;
        QString ca, prefix;
        const char* refusedField;  // nullptr: accepted
        QString stored;
    };
    const QString ca = QString(KVC410_SOURCE_DIR) + "/LICENSE";  // any file that exists
    const Case cases[] = {
        {"broker.lan", "1883", "", false, "", "", nullptr, "mqtt://broker.lan"},
        {"broker.lan", "1884", "ann", false, "", "home/garage", nullptr,
         "mqtt://ann@broker.lan:1884/home/garage"},
        {"10.0.0.2", "8883", "", true, ca, "", nullptr, "mqtts://10.0.0.2?ca=" + ca},
        {"", "1883", "", false, "", "", "Broker host", {}},
        {"a b", "1883", "", false, "", "", "Broker host", {}},
        {"broker.lan", "0", "", false, "", "", "Broker port", {}},
        {"broker.lan", "65536", "", false, "", "", "Broker port", {}},
        {"broker.lan", "1883", "ann:pw", false, "", "", "User name", {}},
        {"broker.lan", "8883", "", true, "/nonexistent/ca.pem", "", "CA file", {}},
        {"broker.lan", "1883", "", false, "", "home/#", "Topic prefix", {}},
    };
    for (const Case& c : cases) {
        ProfileSandbox profile;
        CRemoteDlg dlg(false, RemoteSettings{}, "kvc410/h/auto");
        QString refusal;
        dlg.m_refuse = [&](const QString& message) { refusal = message; };
        dlg.m_chkEnabled->setChecked(true);
        dlg.m_chkTls->setChecked(c.tls);
        dlg.m_editHost->setText(c.host);
        dlg.m_editPort->setText(c.port);
        dlg.m_editUser->setText(c.user);
        dlg.m_editCaFile->setText(c.ca);
        dlg.m_editPrefix->setText(c.prefix);
        dlg.show();
        dlg.accept();
        const std::string name = (c.host + " " + c.port + " " + c.prefix).toStdString();
        if (c.refusedField != nullptr) {
            EXPECT_FALSE(refusal.isEmpty()) << name;
            EXPECT_EQ(dlg.result(), QDialog::Rejected) << name;
            ASSERT_NE(dlg.focusWidget(), nullptr) << name;
            EXPECT_EQ(dlg.focusWidget()->accessibleName(), c.refusedField) << name;
            continue;
        }
        EXPECT_TRUE(refusal.isEmpty()) << name << refusal.toStdString();
        ASSERT_TRUE(StoreRemoteSettings(profile.profile(), dlg.Enabled(), dlg.Broker()));
        EXPECT_EQ(profile.profile().GetProfileString(kRemoteSection, "Broker", ""), c.stored);
        const StoredRemote back = ReadRemoteSettings(profile.profile());
        ASSERT_TRUE(back.enabled && back.broker) << name;
        EXPECT_EQ(back.broker->host, c.host.toStdString());
        EXPECT_EQ(back.broker->port, c.port.toInt());
        EXPECT_EQ(back.broker->prefix, c.prefix.toStdString());
        EXPECT_EQ(back.broker->caFile, c.ca.toStdString());
    }
}

// The window publishes its charge, and the Stop pressed remotely stops it as the Stop button
// does: the charger off, the end published. A broker not there is said in the caption.
TEST(Remote, TheWindowsChargeIsWatchedAndStoppedFromTheBroker) {
    if (!Broker::Installed()) {
        GTEST_SKIP() << "no mosquitto broker installed";
    }
    Broker broker;
    Subscriber watcher(broker.Port());
    ProfileSandbox profile;
    profile.profile().WriteProfileInt(kRemoteSection, "Enabled", 1);
    profile.profile().WriteProfileString(kRemoteSection, "Broker",
                                         QString("mqtt://127.0.0.1:%1/win").arg(broker.Port()));
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    {
        CChargerDlg dlg;
        dlg.m_playWave = [](const QByteArray&) { return 0; };
        dlg.m_notify = nullptr;
        dlg.Initialise();
        EXPECT_TRUE(watcher.WaitFor("win/state", "idle"));
        dlg.OnOK();
        for (int second = 0; second < 5; ++second) {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            dlg.OnTimer(2);
        }
        EXPECT_TRUE(watcher.WaitFor("win/state", "charging"));
        EXPECT_TRUE(watcher.WaitFor("win/time", "4"));
        watcher.Publish("win/command", "STOP");
        EXPECT_TRUE(Within(10000, [&] {
            QCoreApplication::processEvents();
            return dlg.m_bCharging == 0;
        }));
        EXPECT_FALSE(box->ChargerOn());
        EXPECT_TRUE(watcher.WaitFor("win/state", "ended"));
        EXPECT_EQ(watcher.Last("win/end"), "Stopped");
        EXPECT_FALSE(dlg.windowTitle().contains("interrupted"));
    }
    EXPECT_TRUE(watcher.WaitFor("win/availability", "offline"));

    profile.profile().WriteProfileString(kRemoteSection, "Broker",
                                         QString("mqtt://127.0.0.1:%1").arg(FreeLoopbackPort()));
    CChargerDlg dlg;
    dlg.Initialise();
    EXPECT_TRUE(Within(10000, [&] {
        QCoreApplication::processEvents();
        return dlg.windowTitle().endsWith(" - publishing interrupted");
    }));
}

}  // namespace
