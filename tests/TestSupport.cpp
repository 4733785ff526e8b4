#include "TestSupport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <deque>
#include <memory>

ProfileSandbox::ProfileSandbox() {
    auto profile = std::make_unique<Profile>(Path());
    profile->SetFailureReporter([this](const QString& message) { failures.push_back(message); });
    m_previous = SetAppProfile(std::move(profile));
}

ProfileSandbox::~ProfileSandbox() {
    SetAppProfile(std::move(m_previous));
}

void RecordingPort::Write(uint32_t port, uint8_t value) {
    accesses.push_back({'W', port, value});
    if (port == kDataPort) {
        data = value;
    }
}

uint8_t RecordingPort::Read(uint32_t port) {
    uint8_t value = 0;
    if (port == kStatusPort && nextStatus < statusQueue.size()) {
        value = statusQueue[nextStatus++];
    } else if (port == kDataPort) {
        value = data;
    }
    accesses.push_back({'R', port, value});
    return value;
}

void RecordingPort::QueueConversion(int count) {
    // Bits 4 to 15 of the read order carry the value, most significant first.
    for (int k = 1; k <= 16; ++k) {
        bool high = k >= 4 && k <= 15 && ((count >> (15 - k)) & 1);
        statusQueue.push_back(high ? 0x40 : 0x00);
    }
}

SimOptions SteppedSim(SimOptions options) {
    options.steppedTime = true;
    return options;
}

struct ModalAnswer::State {
    const char* expectedClass = nullptr;
    std::function<void(QWidget*)> action;
    // The modal dialogs open when this answer's turn came; none of them is the one to answer.
    std::vector<QPointer<QWidget>> already;
    bool answered = false;
    // Each answer polls with its own timer: Qt never re-enters a timer's slot from the nested
    // event loop of a dialog that slot opened, so one shared timer could not answer a dialog
    // opened from inside another answer.
    std::unique_ptr<QTimer> timer;
    // The last reference may go while the timer's own slot runs: let the event loop delete it.
    ~State() { timer.release()->deleteLater(); }
};

namespace {
// Answers take their turns in the order they were made: a test may line up the answer to a
// dialog and to the notice that follows it, and an answer made while a dialog is being answered
// is the next in line.
std::deque<std::shared_ptr<ModalAnswer::State>> g_answers;

std::vector<QPointer<QWidget>> OpenModals() {
    std::vector<QPointer<QWidget>> open;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isModal() && w->isVisible()) {
            open.emplace_back(w);
        }
    }
    return open;
}

bool Contains(const std::vector<QPointer<QWidget>>& widgets, const QWidget* w) {
    return std::find(widgets.begin(), widgets.end(), w) != widgets.end();
}

void PollForModal(const ModalAnswer::State* self) {
    if (g_answers.empty() || g_answers.front().get() != self) {
        return;  // not this answer's turn yet
    }
    QWidget* modal = QApplication::activeModalWidget();
    std::shared_ptr<ModalAnswer::State> state = g_answers.front();
    if (modal == nullptr || Contains(state->already, modal)) {
        return;
    }
    g_answers.pop_front();
    state->answered = true;
    state->timer->stop();
    if (!g_answers.empty()) {
        g_answers.front()->already = OpenModals();
    }
    if (state->expectedClass != nullptr && !modal->inherits(state->expectedClass)) {
        ADD_FAILURE() << "expected a " << state->expectedClass << " to open, but a "
                      << modal->metaObject()->className() << " opened";
        modal->close();
        return;
    }
    auto action = std::move(state->action);
    action(modal);
}
}  // namespace

ModalAnswer::ModalAnswer(const char* expectedClass, std::function<void(QWidget*)> action)
    : m_state(std::make_shared<State>()) {
    m_state->expectedClass = expectedClass;
    m_state->action = std::move(action);
    if (g_answers.empty()) {
        m_state->already = OpenModals();
    }
    g_answers.push_back(m_state);
    m_state->timer = std::make_unique<QTimer>();
    m_state->timer->setInterval(0);
    const State* self = m_state.get();
    QObject::connect(m_state->timer.get(), &QTimer::timeout, [self] { PollForModal(self); });
    m_state->timer->start();
}

ModalAnswer::ModalAnswer(ModalAnswer&& other) noexcept = default;

ModalAnswer::~ModalAnswer() {
    if (!m_state) {
        return;
    }
    // Out of line for good: it can never answer a dialog of a later test.
    std::erase(g_answers, m_state);
    m_state->timer->stop();
    if (!m_state->answered) {
        ADD_FAILURE() << "the expected "
                      << (m_state->expectedClass ? m_state->expectedClass : "dialog")
                      << " never opened";
    }
    m_state->action = nullptr;
}

bool ModalAnswer::Withdraw() {
    const bool answered = Answered();
    if (m_state) {
        std::erase(g_answers, m_state);
        m_state->timer->stop();
        m_state->action = nullptr;
        m_state.reset();
    }
    return answered;
}

bool ModalAnswer::Answered() const {
    return m_state && m_state->answered;
}

ModalAnswer WhenModalOpens(std::function<void(QWidget*)> action) {
    return ModalAnswer(nullptr, std::move(action));
}

int PixelsOfColour(const QImage& image, const QColor& colour, QRect area) {
    if (area.isNull()) {
        area = image.rect();
    }
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += image.pixelColor(x, y).rgb() == colour.rgb() ? 1 : 0;
        }
    }
    return n;
}

bool RunUntil(const std::function<bool()>& done, const std::function<void()>& step, int limit) {
    for (int i = 0; i < limit; ++i) {
        if (done()) {
            return true;
        }
        step();
    }
    return done();
}

bool Within(int milliseconds, const std::function<bool()>& condition) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(5);
    }
    return true;
}

void ClickButtonWithText(QWidget* dialog, const QString& text) {
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        QString caption = button->text();
        caption.remove('&');
        if (caption == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " in the dialog";
}

FullDisk::FullDisk() {
    if (geteuid() != 0) {
        why = "mounting a small tmpfs needs root";
        return;
    }
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", m_dir.path()});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0) {
        why = "mount refused a tmpfs: " + mount.readAllStandardError().toStdString();
        return;
    }
    m_mounted = true;
}

FullDisk::~FullDisk() {
    if (m_mounted) {
        QProcess::execute("umount", {"-l", m_dir.path()});
    }
}

void FullDisk::Fill(int leaveBytes) {
    QFile filler(m_dir.path() + "/filler");
    filler.open(QIODevice::WriteOnly | QIODevice::Append);
    const QByteArray block(1024, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    if (leaveBytes > 0) {
        filler.resize(std::max<qint64>(0, filler.size() - leaveBytes));
    }
}

void FullDisk::Empty() {
    QFile::remove(m_dir.path() + "/filler");
}

PrivateXServer::PrivateXServer() : m_server(new QProcess) {
    m_server->start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    if (!m_server->waitForStarted(10000)) {
        return;
    }
    QByteArray number;
    QDeadlineTimer deadline(20000);
    while (!number.contains('\n') && m_server->waitForReadyRead(deadline.remainingTime())) {
        number += m_server->readAllStandardOutput();
    }
    if (number.contains('\n')) {
        m_display = ":" + QString(number.trimmed());
    }
}

PrivateXServer::~PrivateXServer() {
    Kill();
    delete m_server;
}

void PrivateXServer::Kill() {
    if (m_server->state() != QProcess::NotRunning) {
        m_server->kill();
        m_server->waitForFinished(5000);
    }
}

QStringList DataRegisterWrites(const QString& tracePath) {
    QFile file(tracePath);
    QStringList writes;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("W 888 ")) {
                writes << line;
            }
        }
    }
    return writes;
}

int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return connected;
}

Broker::Broker(const QString& extra) : m_port(FreeLoopbackPort()) {
    QFile conf(m_dir.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write(QString("listener %1 127.0.0.1\npersistence false\n%2\n")
                   .arg(m_port)
                   .arg(extra.isEmpty() ? "allow_anonymous true" : extra)
                   .toUtf8());
    conf.close();
    m_process.start("/usr/sbin/mosquitto", {"-c", conf.fileName()});
    m_process.waitForStarted(5000);
    for (int i = 0; i < 100 && !Accepts(m_port); ++i) {
        QThread::msleep(50);
    }
}

Broker::~Broker() {
    Kill();
}

bool Broker::Installed() {
    return QFile::exists("/usr/sbin/mosquitto");
}

void Broker::Kill() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

Subscriber::Subscriber(int port) {
    mosquitto_lib_init();
    m_client = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(m_client, [](mosquitto* client, void*, int) {
        mosquitto_subscribe(client, nullptr, "#", 1);
    });
    mosquitto_message_callback_set(m_client, [](mosquitto*, void* self, const mosquitto_message* m) {
        auto* me = static_cast<Subscriber*>(self);
        std::lock_guard lock(me->m_mutex);
        me->m_messages.emplace_back(m->topic,
                                    QByteArray(static_cast<const char*>(m->payload), m->payloadlen));
    });
    mosquitto_connect(m_client, "127.0.0.1", port, 10);
    mosquitto_loop_start(m_client);
}

Subscriber::~Subscriber() {
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    mosquitto_destroy(m_client);
}

std::vector<std::pair<std::string, QByteArray>> Subscriber::Messages() {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

QByteArray Subscriber::Last(const std::string& ending) {
    std::lock_guard lock(m_mutex);
    for (auto m = m_messages.rbegin(); m != m_messages.rend(); ++m) {
        if (m->first.size() >= ending.size() &&
            m->first.compare(m->first.size() - ending.size(), ending.size(), ending) == 0) {
            return m->second;
        }
    }
    return "(none)";
}

bool Subscriber::WaitFor(const std::string& ending, const QByteArray& payload, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (Last(ending) == payload) {
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

void Subscriber::Publish(const std::string& topic, const std::string& payload) {
    mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, false);
}
