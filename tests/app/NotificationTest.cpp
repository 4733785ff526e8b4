// The desktop notification at the end of a charge, received by a stand-in notification service
// on a private session bus.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QtTest/QTest>

#include "app/CChargerDlg.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/DesktopNotifier.h"
#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

struct Received {
    QString app, icon, summary, body;
    QVariantMap hints;
};

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    std::vector<Received> received;

public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        received.push_back({app, icon, summary, body, hints});
        return uint(received.size());
    }
};

int NoSound(const QByteArray&) {
    return 0;
}

// A session bus of the test's own, so nothing reaches the desktop of whoever runs the tests.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000)) {
            return;
        }
        address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    }
    ~PrivateBus() {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    QString address;

private:
    QProcess m_daemon;
};

}  // namespace

TEST(Notification, AnAutomaticEndIsToldToTheDesktopAndNothingElseIs) {
    PrivateBus bus;
    if (bus.address.isEmpty()) {
        GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    }
    FakeNotifications service;
    QDBusConnection serviceSide = QDBusConnection::connectToBus(bus.address, "fake-notifications");
    ASSERT_TRUE(serviceSide.isConnected());
    ASSERT_TRUE(serviceSide.registerObject("/org/freedesktop/Notifications", &service,
                                           QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceSide.registerService("org.freedesktop.Notifications"));

    ProfileSandbox profile;
    StoreChargeSettings(profile.profile(), ChargeSettings{});
    profile.profile().WriteProfileString("Packs", "0", "AA Pack");
    profile.profile().WriteProfileString("Properties", "PackName", "AA Pack");
    profile.profile().WriteProfileInt("Properties", "LastSelected", 0);
    PortSandbox<SimulatedChargerBox> box(SteppedSim({.capacityMah = 300}));
    CChargerDlg dlg;
    dlg.m_playWave = &NoSound;
    std::vector<QString> failures;
    dlg.m_reportFailure = [&](const QString& m) { failures.push_back(m); };
    dlg.Initialise();
    auto second = [&] {
        box->AdvanceSeconds(1);
        dlg.OnTimer(1);
        if (dlg.m_bCharging) {
            dlg.OnTimer(2);
        }
    };

    // Stopped by hand: the user is there; no notification.
    dlg.OnOK();
    for (int i = 0; i < 5; ++i) {
        second();
    }
    dlg.m_strPackName = "None";  // nothing to ask about storing
    dlg.OnOK();
    dlg.m_strPackName = "AA Pack";

    // A peak end is told: which pack, why, the mAh and the time.
    dlg.OnOK();
    ASSERT_TRUE(RunUntil([&] { return dlg.m_bCharging == 0; }, second));
    ASSERT_TRUE(RunUntil([&] { return !service.received.empty(); }, [] { QTest::qWait(10); }, 500));
    ASSERT_EQ(service.received.size(), 1u);
    const Received& r = service.received.front();
    EXPECT_EQ(r.summary, "Charge ended: Peak detected");
    const ChargeTexts& t = dlg.m_cycle.Texts();
    EXPECT_EQ(r.body,
              QString("Pack: AA Pack\n%1 mAh in %2:%3:%4")
                  .arg(QString::fromStdString(t.mah), QString::fromStdString(t.hours),
                       QString::fromStdString(t.minutes), QString::fromStdString(t.seconds)));
    EXPECT_EQ(r.app, "KVC410");
    EXPECT_EQ(r.icon, "com.quillmark.KVC410");
    EXPECT_EQ(r.hints.value("desktop-entry").toString(), "com.quillmark.KVC410");
    EXPECT_FALSE(r.hints.contains("urgency"));
    // An end that needs the user at the pack stays on screen: critical urgency.
    EXPECT_TRUE(SendDesktopNotification("Charge ended: Time limit", "Pack: AA Pack", true));
    ASSERT_TRUE(
        RunUntil([&] { return service.received.size() == 2; }, [] { QTest::qWait(10); }, 500));
    EXPECT_EQ(service.received.back().hints.value("urgency").toInt(), 2);

    // No service on the bus, or no bus at all: no notification, no error, no delay.
    ASSERT_TRUE(serviceSide.unregisterService("org.freedesktop.Notifications"));
    for (bool withBus : {true, false}) {
        if (!withBus) {
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            EXPECT_FALSE(SendDesktopNotification("x", "y"));
        }
        dlg.OnOK();
        QElapsedTimer ending;
        qint64 longest = 0;
        ASSERT_TRUE(RunUntil([&] { return dlg.m_bCharging == 0; },
                             [&] {
                                 ending.start();
                                 second();
                                 longest = std::max(longest, ending.elapsed());
                             }));
        EXPECT_LT(longest, 500) << (withBus ? "with a bus" : "without a bus");
    }
    QTest::qWait(200);  // time for a stray notification to arrive, were one sent
    QDBusConnection::disconnectFromBus("fake-notifications");
    EXPECT_EQ(service.received.size(), 2u);
    EXPECT_TRUE(failures.empty());
}

TEST(Notification, WithNoSessionBusNoneIsStarted) {
    // The D-Bus library starts a bus of its own (dbus-launch, from the dbus-x11 package) for a
    // program on an X display that finds none; KVC410 must not.
    if (!QFileInfo::exists("/usr/bin/dbus-launch")) {
        GTEST_SKIP() << "no dbus-launch (Debian dbus-x11) to be started";
    }
    PrivateXServer server;
    ASSERT_FALSE(server.Display().isEmpty()) << "Xvfb (Debian xvfb) is needed";
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("HOME", home.path());
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", server.Display());
    env.insert("KVC410_PORT", "sim");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(KVC410_BINARY, {});
    ASSERT_TRUE(program.waitForStarted(10000));
    QTest::qWait(2000);  // the window is up: the library would have started its bus by now
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(10000));
    // dbus-launch leaves its mark in the home folder.
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/.dbus"));
}

#include "NotificationTest.moc"
