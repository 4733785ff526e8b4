#pragma once
// Shared helpers of the tests: a profile in a temporary folder, a port that records, the
// simulated box installed as the port, and answers to modal dialogs.

#include <QColor>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <type_traits>
#include <vector>

#include "hardware/SimulatedChargerBox.h"
#include "platform/PortDriver.h"
#include "platform/Profile.h"

class QWidget;

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// The program's profile is a fresh INI file for the life of this object.
class ProfileSandbox {
public:
    ProfileSandbox();
    ~ProfileSandbox();
    Profile& profile() { return AppProfile(); }
    QString Path() const { return m_dir.path() + "/KVC410.ini"; }
    QString Folder() const { return m_dir.path(); }
    // Whatever a failed write reported.
    std::vector<QString> failures;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Profile> m_previous;
};

struct PortAccess {
    char kind;  // 'W' or 'R'
    uint32_t port;
    uint8_t value;
    bool operator==(const PortAccess&) const = default;
};

// Records every access; status reads answer from a queue (then 0).
class RecordingPort final : public PortDriver {
public:
    void Write(uint32_t port, uint8_t value) override;
    uint8_t Read(uint32_t port) override;
    void EmergencyOff() noexcept override { Write(kDataPort, kChargerOff); }
    std::string Description() const override { return "recording"; }

    // Queues the sixteen status bytes through which the converter delivers count.
    void QueueConversion(int count);
    std::vector<PortAccess> accesses;
    std::vector<uint8_t> statusQueue;
    size_t nextStatus = 0;
    uint8_t data = 0;
};

// Installs a driver as the program's port for the life of this object.
template <class Driver>
class PortSandbox {
public:
    template <class... Args>
    explicit PortSandbox(Args&&... args) {
        auto driver = std::make_unique<Driver>(std::forward<Args>(args)...);
        m_driver = driver.get();
        m_previous = InstallPortDriver(std::move(driver));
        ResetChargerOffLatchForTests();
    }
    ~PortSandbox() {
        InstallPortDriver(std::move(m_previous));
        ResetChargerOffLatchForTests();
    }
    Driver& operator*() { return *m_driver; }
    Driver* operator->() { return m_driver; }

private:
    Driver* m_driver;
    std::unique_ptr<PortDriver> m_previous;
};

SimOptions SteppedSim(SimOptions options = {});

// The answer to the next modal dialog that opens on top of whatever is open now. It belongs to
// the scope that holds it: when it goes out of scope unanswered (the dialog never opened) the
// test fails, and its polling stops, so it can never answer a later test's dialog. A dialog of
// another class than the one expected fails the test and is closed, so nothing waits on it.
class [[nodiscard]] ModalAnswer {
public:
    ModalAnswer(const char* expectedClass, std::function<void(QWidget*)> action);
    ModalAnswer(ModalAnswer&&) noexcept;
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;
    ModalAnswer& operator=(ModalAnswer&&) = delete;
    ~ModalAnswer();
    bool Answered() const;
    // Takes the answer back without failing: for tests that expect no dialog. True when one
    // had opened (and was answered) all the same.
    bool Withdraw();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// Runs action on the next modal dialog, whatever its class.
ModalAnswer WhenModalOpens(std::function<void(QWidget*)> action);
// Runs action on the next modal dialog, which must be a Dialog.
template <class Dialog, class Action>
ModalAnswer WhenModalOpens(Action action) requires std::is_invocable_v<Action, Dialog*> {
    return ModalAnswer(Dialog::staticMetaObject.className(),
                       [action](QWidget* w) mutable { action(qobject_cast<Dialog*>(w)); });
}

// Clicks the button with this text in the active modal dialog (OK of a message box).
void ClickButtonWithText(QWidget* dialog, const QString& text);

// How many pixels of the image (within area, or all of it) have exactly this colour.
int PixelsOfColour(const QImage& image, const QColor& colour, QRect area = QRect());

// Calls step until done() holds, at most limit times; false when it never did. Every loop over
// a charge in the tests goes through here, so a charge that never ends fails instead of hanging.
bool RunUntil(const std::function<bool()>& done, const std::function<void()>& step,
              int limit = 100000);

// Waits up to milliseconds of wall time for condition (child processes, the watchdog); true
// when it held in time.
bool Within(int milliseconds, const std::function<bool()>& condition);

// A small file system of the test's own (a 64 KB tmpfs), to be filled up. Mounting needs root:
// where it cannot be had, Ready() is false and why says so (the test then skips).
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    // Fills what is left, but for about leaveBytes.
    void Fill(int leaveBytes = 0);
    // Frees what Fill took.
    void Empty();
    QString Path() const { return m_dir.path(); }
    bool Ready() const { return m_mounted; }
    std::string why;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// An X server of the test's own (Xvfb), for what needs a real display: a window destroyed by
// another program, the display lost, the D-Bus library's launching. Display() is empty when it
// could not be started.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    // ":N", for DISPLAY.
    QString Display() const { return m_display; }
    void Kill();

private:
    QProcess* m_server;
    QString m_display;
};

// The writes to the data register in a port trace (KVC410_PORT_TRACE), "W 888 255" and the like,
// in order.
QStringList DataRegisterWrites(const QString& tracePath);

// A Mosquitto broker of the test's own on a free loopback port, gone with the test.
int FreeLoopbackPort();
// Whether something listens on that loopback port.
bool Accepts(int port);
class Broker {
public:
    // extra: lines of mosquitto.conf for the listener (a password file, TLS); none: anonymous.
    explicit Broker(const QString& extra = QString());
    ~Broker();
    static bool Installed();
    int Port() const { return m_port; }
    void Kill();

private:
    QTemporaryDir m_dir;
    int m_port;
    QProcess m_process;
};

struct mosquitto;
// Everything published on a broker, in the order it arrived.
class Subscriber {
public:
    explicit Subscriber(int port);
    ~Subscriber();
    std::vector<std::pair<std::string, QByteArray>> Messages();
    // The last payload seen on a topic ending so; "(none)" before any.
    QByteArray Last(const std::string& ending);
    bool WaitFor(const std::string& ending, const QByteArray& payload, int milliseconds = 10000);
    void Publish(const std::string& topic, const std::string& payload);

private:
    mosquitto* m_client;
    std::mutex m_mutex;
    std::vector<std::pair<std::string, QByteArray>> m_messages;
};
