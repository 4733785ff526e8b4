#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QThreadPool>
#include <QVariantMap>

namespace {
const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kAppId = kDesktopFileName;
}  // namespace

namespace {
// The address that tells D-Bus there is no session bus, and not to start one.
const char* const kNoBus = "disabled:";
}  // namespace

QString SessionBusAddress() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address == kNoBus) {
        return QString();
    }
    if (!address.isEmpty()) {
        return address;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime + "/bus").exists()) {
        return "unix:path=" + runtime + "/bus";
    }
    return QString();
}

bool SendDesktopNotification(const QString& summary, const QString& body, bool critical) {
    const QString address = SessionBusAddress();
    if (address.isEmpty()) {
        return false;
    }
    // A connection of our own per address (not Qt's process-wide session bus, which would try
    // once and stay as it found the bus then).
    QDBusConnection bus = QDBusConnection::connectToBus(address, "kvc410-notify " + address);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus("kvc410-notify " + address);
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    // No service: do not start one either.
    call.setAutoStartService(false);
    QVariantMap hints;
    hints.insert("desktop-entry", QString(kAppId));
    hints.insert("category", QString("device"));
    if (critical) {
        constexpr uchar kCriticalUrgency = 2;
        hints.insert("urgency", QVariant::fromValue(kCriticalUrgency));
    }
    call << QString("KVC410") << uint(0) << QString(kAppId) << summary << body << QStringList()
         << hints << int(-1);
    // Sent, never waited for: the reply (or the error of a missing service) is dropped.
    return bus.send(call);
}

void NotifyInBackground(const QString& summary, const QString& body, bool critical) {
    // Reaching the bus is a handshake with another process; a bus that hangs must not hold the
    // end of a charge (the charger is already off by then, but the window would freeze).
    QThreadPool::globalInstance()->start(
        [summary, body, critical] { SendDesktopNotification(summary, body, critical); });
}

void NeverLaunchASessionBus() {
    // Without an address, the D-Bus library (through Qt's accessibility and theme code) would
    // "autolaunch" a bus of its own: a dbus-launch and a dbus-daemon that outlive the program,
    // and a ~/.dbus folder.
    if (SessionBusAddress().isEmpty()) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", kNoBus);
    }
}
