#pragma once
// Publishes a charge to an MQTT broker from threads of its own: the charge's tick only hands over
// the messages of its second and never waits for the network. A broker that is down, slow,
// refusing or gone changes nothing in the charge; the client reconnects with back-off and says
// once that publishing is interrupted. The one thing it takes in is the Stop command.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "remote/RemoteMessages.h"
#include "remote/RemoteSettings.h"

struct mosquitto;

class RemotePublisher {
public:
    struct Callbacks {
        // A Stop pressed remotely; called on a network thread: hand it to the charge's thread.
        std::function<void()> stop;
        // One line for the user (publishing interrupted, a message ignored); any thread.
        std::function<void(const std::string&)> say;
    };
    // password: read from its file by the caller (empty: none).
    RemotePublisher(RemoteSettings settings, std::string password, RemoteTopics topics,
                    Callbacks callbacks);
    // Says "offline" (retained) and leaves, waiting at most a second for the broker.
    ~RemotePublisher();
    RemotePublisher(const RemotePublisher&) = delete;
    RemotePublisher& operator=(const RemotePublisher&) = delete;

    // From the charge's tick: the charge as it stands replaces any not yet sent. Never blocks on
    // the network; the messages are made on the publisher's thread, so that the tick only copies
    // a few short texts.
    void Offer(const RemoteSnapshot& snapshot);

    // The mosquitto callbacks' way in.
    void Connected(int result);
    void Disconnected(int result);
    void Received(const std::string& topic, const std::string& payload);
    void Published(int mid);

private:
    void Work();
    void Say(const std::string& text);

    RemoteSettings m_settings;
    std::string m_password;
    RemoteTopics m_topics;
    Callbacks m_callbacks;
    mosquitto* m_client = nullptr;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<RemoteSnapshot> m_pending;
    bool m_connected = false;
    std::chrono::steady_clock::time_point m_waitingSince;  // since when it is not connected
    bool m_fresh = false;  // connected anew: announce and subscribe from the worker
    bool m_quit = false;
    bool m_saidInterrupted = false;
    bool m_saidIgnored = false;
    int m_lastAcknowledged = 0;  // the id of the message the broker acknowledged last
    std::map<std::string, std::string> m_sent;  // retained topics: the payload last published
    std::thread m_worker;
};
