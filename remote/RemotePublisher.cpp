#include "remote/RemotePublisher.h"

#include <mosquitto.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Keep-alive: a broker that stops answering is noticed within one and a half of these.
constexpr int kKeepAliveSeconds = 10;
// Reconnection waits from 1 s, doubling, up to a minute.
constexpr unsigned kFirstRetrySeconds = 1;
constexpr unsigned kLongestRetrySeconds = 60;
// A broker that has not let us in this long after we asked (it is not there, does not answer, or
// the TLS handshake failed, which the library reports only in its retries) is said to be away.
constexpr auto kPatience = std::chrono::seconds(2);
// How often the charge's latest values are taken up: once a second at most reaches the broker,
// whatever speed the charge offers them at.
constexpr auto kTakeUpEvery = std::chrono::seconds(1);

void OnConnect(mosquitto*, void* self, int result) {
    static_cast<RemotePublisher*>(self)->Connected(result);
}
void OnDisconnect(mosquitto*, void* self, int result) {
    static_cast<RemotePublisher*>(self)->Disconnected(result);
}
void OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    const std::string payload(static_cast<const char*>(message->payload),
                              static_cast<size_t>(message->payloadlen));
    static_cast<RemotePublisher*>(self)->Received(message->topic ? message->topic : "", payload);
}
void OnPublish(mosquitto*, void* self, int mid) {
    static_cast<RemotePublisher*>(self)->Published(mid);
}

std::once_flag g_libraryReady;

}  // namespace

RemotePublisher::RemotePublisher(RemoteSettings settings, std::string password,
                                 RemoteTopics topics, Callbacks callbacks)
    : m_settings(std::move(settings)),
      m_password(std::move(password)),
      m_topics(std::move(topics)),
      m_callbacks(std::move(callbacks)) {
    std::call_once(g_libraryReady, [] { mosquitto_lib_init(); });
    m_client = mosquitto_new(nullptr, true, this);
    if (m_client == nullptr) {
        Say("publishing over MQTT cannot start (no memory for the client)");
        return;
    }
    mosquitto_connect_callback_set(m_client, OnConnect);
    mosquitto_disconnect_callback_set(m_client, OnDisconnect);
    mosquitto_message_callback_set(m_client, OnMessage);
    mosquitto_publish_callback_set(m_client, OnPublish);
    mosquitto_reconnect_delay_set(m_client, kFirstRetrySeconds, kLongestRetrySeconds, true);
    // A program that dies (killed, crashed, its machine gone) shows as unavailable.
    const std::string availability = m_topics.Availability();
    mosquitto_will_set(m_client, availability.c_str(), static_cast<int>(std::strlen(kRemoteOffline)),
                       kRemoteOffline, 1, true);
    if (!m_settings.user.empty()) {
        mosquitto_username_pw_set(m_client, m_settings.user.c_str(),
                                  m_password.empty() ? nullptr : m_password.c_str());
    }
    if (m_settings.tls) {
        const int rc = mosquitto_tls_set(m_client,
                                         m_settings.caFile.empty() ? nullptr : m_settings.caFile.c_str(),
                                         m_settings.caFile.empty() ? "/etc/ssl/certs" : nullptr,
                                         nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            Say(std::string("publishing over MQTT cannot use TLS (") + mosquitto_strerror(rc) + ")");
        }
    }
    m_waitingSince = std::chrono::steady_clock::now();
    m_worker = std::thread([this] { Work(); });
}

RemotePublisher::~RemotePublisher() {
    if (m_client == nullptr) {
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_worker.join();
    mosquitto_destroy(m_client);
}

void RemotePublisher::Offer(const RemoteSnapshot& snapshot) {
    {
        std::lock_guard lock(m_mutex);
        m_pending = snapshot;
    }
    // No wake-up: the publisher takes it up within a second (see Work), and the tick
    // spends no system call on it.
}

void RemotePublisher::Say(const std::string& text) {
    if (m_callbacks.say) {
        m_callbacks.say(text);
    }
}

void RemotePublisher::Connected(int result) {
    std::lock_guard lock(m_mutex);
    if (result != 0) {
        if (!m_saidInterrupted) {
            m_saidInterrupted = true;
            Say(std::string("publishing over MQTT is interrupted: the broker refused (") +
                mosquitto_connack_string(result) + "); the charge goes on, and it is tried again");
        }
        return;
    }
    m_connected = true;
    m_fresh = true;
    m_saidInterrupted = false;
    m_wake.notify_all();
}

void RemotePublisher::Disconnected(int result) {
    std::lock_guard lock(m_mutex);
    m_connected = false;
    m_waitingSince = std::chrono::steady_clock::now();
    if (result != 0 && !m_quit && !m_saidInterrupted) {
        m_saidInterrupted = true;
        Say("publishing over MQTT is interrupted: the broker is gone; the charge goes on, and "
            "it is tried again");
    }
}

void RemotePublisher::Received(const std::string& topic, const std::string& payload) {
    if (topic == m_topics.Command() && payload == kRemoteStop) {
        if (m_callbacks.stop) {
            m_callbacks.stop();
        }
        return;
    }
    // Nothing else received does anything: said once, so that a stray publisher is seen.
    std::lock_guard lock(m_mutex);
    if (!m_saidIgnored) {
        m_saidIgnored = true;
        Say("a message on " + topic + " was ignored: a remote user can only stop a charge (" +
            kRemoteStop + " on " + m_topics.Command() + ")");
    }
}

void RemotePublisher::Published(int mid) {
    // Acknowledged in the order sent, and "offline" is sent last: its id acknowledged last.
    std::lock_guard lock(m_mutex);
    m_lastAcknowledged = mid;
    m_wake.notify_all();
}

void RemotePublisher::Work() {
    // A broker gone mid-write must not end the program with SIGPIPE: held on this thread and on
    // the library's, which it starts and which inherits the mask; the write fails instead, and
    // the client reconnects.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    // Connecting (a name looked up, a TCP handshake) happens here and in the library's thread,
    // never on the charge's.
    int rc = mosquitto_connect_async(m_client, m_settings.host.c_str(), m_settings.port,
                                     kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard lock(m_mutex);
        m_saidInterrupted = true;
        Say("publishing over MQTT is interrupted: " + m_settings.host + ":" +
            std::to_string(m_settings.port) + " cannot be reached (" + mosquitto_strerror(rc) +
            "); the charge goes on, and it is tried again");
    }
    mosquitto_loop_start(m_client);
    const std::string availability = m_topics.Availability();
    std::unique_lock lock(m_mutex);
    // Until asked to quit, and then until the last messages offered (the end of the charge) are
    // handed to the library, if it is connected.
    for (;;) {
        // Woken for a new connection and for the end; the charge's values are taken up once a
        // second, so that handing them over costs the tick no more than a copy under a lock.
        const auto now = std::chrono::steady_clock::now();
        auto until = now + kTakeUpEvery;
        const bool patient = !m_connected && !m_saidInterrupted;
        if (patient) {
            until = std::min(until, m_waitingSince + kPatience);
        }
        m_wake.wait_until(lock, until, [this] { return m_quit || m_fresh; });
        if (!m_connected && !m_saidInterrupted && !m_quit &&
            std::chrono::steady_clock::now() >= m_waitingSince + kPatience) {
            m_saidInterrupted = true;
            Say("publishing over MQTT is interrupted: the broker at " + m_settings.host + ":" +
                std::to_string(m_settings.port) +
                " does not let us in (not there, not answering, or the TLS handshake failed); "
                "the charge goes on, and it is tried again");
            continue;
        }
        if (m_fresh) {
            m_fresh = false;
            m_sent.clear();
            lock.unlock();
            mosquitto_publish(m_client, nullptr, availability.c_str(),
                              static_cast<int>(std::strlen(kRemoteOnline)), kRemoteOnline, 1, true);
            for (const RemoteMessage& m : m_topics.Discovery()) {
                mosquitto_publish(m_client, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                  m.payload.data(), 1, m.retained);
            }
            const std::string command = m_topics.Command();
            mosquitto_subscribe(m_client, nullptr, command.c_str(), 1);
            lock.lock();
            continue;
        }
        if (!m_pending || !m_connected) {
            if (m_quit) {
                break;
            }
            continue;
        }
        const RemoteSnapshot snapshot = std::move(*m_pending);
        m_pending.reset();
        lock.unlock();
        const std::vector<RemoteMessage> messages = m_topics.Values(snapshot);
        for (const RemoteMessage& m : messages) {
            // A retained value is sent when it changes; the record and end only once.
            auto sent = m_sent.find(m.topic);
            if (m.retained && sent != m_sent.end() && sent->second == m.payload) {
                continue;
            }
            if (mosquitto_publish(m_client, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                  m.payload.data(), 1, m.retained) == MOSQ_ERR_SUCCESS) {
                m_sent[m.topic] = m.payload;
            }
        }
        lock.lock();
    }
    // Leaving: "offline" in place of the will, given a second to reach the broker.
    if (m_connected) {
        lock.unlock();
        int mid = 0;
        mosquitto_publish(m_client, &mid, availability.c_str(),
                          static_cast<int>(std::strlen(kRemoteOffline)), kRemoteOffline, 1, true);
        lock.lock();
        m_wake.wait_for(lock, std::chrono::seconds(1),
                        [this, mid] { return m_lastAcknowledged == mid || !m_connected; });
    }
    lock.unlock();
    mosquitto_disconnect(m_client);
    // A connection stuck in the handshake is not waited for.
    mosquitto_loop_stop(m_client, true);
}
