#include "mqttclient.h"

#include "../platform/backoff.h"

#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr int KeepAliveSeconds = 20;
constexpr int GoodbyeMs = 2000;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

// What the network's thread shares with its client: it outlives a client
// that let it go, and reaches the client only while it has not.
struct MqttNetwork {
    mosquitto* mosq = nullptr;
    QByteArray host;
    int port = 0;
    QStringList subscriptions;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;        // under mutex
    bool finished = false;        // under mutex
    MqttClient* client = nullptr; // under mutex; null once let go
    std::atomic<bool> connected{false};
    QString refused; // the network's thread only: the broker's refusal of the last attempt
    QString dropped; // under mutex: why the client dropped the connection
    QString clientId; // seeds the jitter of its retries

    ~MqttNetwork()
    {
        if (mosq)
            mosquitto_destroy(mosq);
    }
    bool stopRequested()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }
    // Queued to the client's thread, if there is still a client.
    template <typename Call> void tell(Call call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (client)
            QMetaObject::invokeMethod(
                client, [c = client, call] { call(c); }, Qt::QueuedConnection);
    }
    // Waits out the delay before the next attempt, or until stop().
    bool pause(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    }

    static void run(std::shared_ptr<MqttNetwork> self);
    static void onConnect(mosquitto* mosq, void* self, int code, int flags,
                          const mosquitto_property*);
    static void onPublish(mosquitto*, void* self, int messageId, int reason,
                          const mosquitto_property*);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message,
                          const mosquitto_property*);
};

void MqttNetwork::run(std::shared_ptr<MqttNetwork> n)
{
    Backoff backoff(1000, 60000, n->clientId);
    while (!n->stopRequested()) {
        // Blocking, on this thread only: a name to resolve, a broker to reach.
        int rc = mosquitto_connect_bind_v5(n->mosq, n->host.constData(), n->port, KeepAliveSeconds,
                                           nullptr, nullptr);
        // The socket is open: the broker's answer, then its traffic, comes
        // through the loop until the connection goes.
        while (rc == MOSQ_ERR_SUCCESS) {
            if (n->stopRequested()) {
                // Whatever is queued (a last state, a reply) goes first.
                for (int i = 0; i < 20 && mosquitto_want_write(n->mosq); ++i)
                    mosquitto_loop(n->mosq, 50, 1);
                mosquitto_disconnect(n->mosq);
                mosquitto_loop(n->mosq, 50, 1);
                break;
            }
            rc = mosquitto_loop(n->mosq, 500, 1);
            if (n->connected)
                backoff.reset();
        }
        n->connected = false;
        if (n->stopRequested())
            break;
        QString dropped;
        {
            std::lock_guard<std::mutex> lock(n->mutex);
            dropped = std::exchange(n->dropped, QString());
        }
        // The broker's words, the client's, or the system's; never "Unknown error."
        const QString why =
            !dropped.isEmpty()             ? dropped
            : !n->refused.isEmpty()        ? n->refused
            : rc == MOSQ_ERR_KEEPALIVE     ? QStringLiteral("the broker did not answer within %1 s")
                                                 .arg(KeepAliveSeconds * 3 / 2)
            : rc == MOSQ_ERR_ERRNO && errno ? QString::fromLocal8Bit(std::strerror(errno))
            : rc == MOSQ_ERR_ERRNO          ? QStringLiteral("the connection was closed")
                                            : MqttClient::errorText(rc);
        n->refused.clear();
        n->tell([why](MqttClient* c) { emit c->connectionChanged(false, why); });
        if (!n->pause(backoff.next()))
            break;
    }
    std::lock_guard<std::mutex> lock(n->mutex);
    n->finished = true;
    n->wake.notify_all();
}

void MqttNetwork::onConnect(mosquitto* mosq, void* self, int code, int, const mosquitto_property*)
{
    auto* n = static_cast<MqttNetwork*>(self);
    n->connected = code == 0;
    if (code == 0) {
        for (const QString& topic : n->subscriptions)
            mosquitto_subscribe_v5(mosq, nullptr, topic.toUtf8().constData(), 1, 0, nullptr);
        n->tell([](MqttClient* c) { emit c->connectionChanged(true, QString()); });
        return;
    }
    // Refused (a password, an ACL): the loop ends, and run() says why and
    // tries again after its delay.
    n->refused = QString::fromUtf8(mosquitto_reason_string(code));
    mosquitto_disconnect(mosq);
}

void MqttNetwork::onPublish(mosquitto*, void* self, int messageId, int reason,
                            const mosquitto_property*)
{
    // A reason of 128 or more is a refusal: an ACL, a quota, a topic too long.
    static_cast<MqttNetwork*>(self)->tell([messageId, reason](MqttClient* c) {
        emit c->published(messageId, reason,
                          reason >= 128 ? QString::fromUtf8(mosquitto_reason_string(reason))
                                        : QString());
    });
}

void MqttNetwork::onMessage(mosquitto*, void* self, const mosquitto_message* message,
                            const mosquitto_property*)
{
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    static_cast<MqttNetwork*>(self)->tell(
        [topic, payload](MqttClient* c) { emit c->received(topic, payload); });
}

MqttClient::MqttClient(const BrokerUrl& url, const QString& clientId, QObject* parent)
    : QObject(parent), m_url(url), m_clientId(clientId)
{
    initLibrary();
}

MqttClient::~MqttClient()
{
    stop();
}

QString MqttClient::errorText(int code)
{
    return QString::fromUtf8(mosquitto_strerror(code));
}

bool MqttClient::connected() const
{
    return m_network && m_network->connected;
}

bool MqttClient::start(QString* error)
{
    stop();
    QString password;
    if (!m_url.password(&password, error))
        return false;
    auto n = std::make_shared<MqttNetwork>();
    n->host = m_url.host.toUtf8();
    n->port = m_url.port;
    n->subscriptions = m_subscriptions;
    n->clientId = m_clientId;
    n->client = this;
    n->mosq = mosquitto_new(m_clientId.toUtf8().constData(), true, n.get());
    if (!n->mosq) {
        *error =
            QStringLiteral("the MQTT client cannot be made: %1").arg(errorText(MOSQ_ERR_NOMEM));
        return false;
    }
    const auto fail = [&](int rc, const QString& what) {
        *error = QStringLiteral("%1: %2").arg(what, errorText(rc));
        return false;
    };
    // Published from other threads than the network's; MQTT v5, whose
    // acknowledgements say whether the broker took a message.
    int rc = mosquitto_threaded_set(n->mosq, true);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_int_option(n->mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    if (rc == MOSQ_ERR_SUCCESS && !m_url.user.isEmpty())
        rc =
            mosquitto_username_pw_set(n->mosq, m_url.user.toUtf8().constData(),
                                      password.isEmpty() ? nullptr : password.toUtf8().constData());
    if (rc)
        return fail(rc, QStringLiteral("the broker's user"));
    if (m_url.tls &&
        (rc = mosquitto_tls_set(
             n->mosq, m_url.caFile.isEmpty() ? nullptr : m_url.caFile.toUtf8().constData(),
             m_url.caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr)))
        return fail(rc, QStringLiteral("TLS with the broker"));
    if (!m_will.topic.isEmpty() &&
        (rc = mosquitto_will_set_v5(n->mosq, m_will.topic.toUtf8().constData(),
                                    int(m_will.payload.size()), m_will.payload.constData(), 1, true,
                                    nullptr)))
        return fail(rc, QStringLiteral("the last will"));
    mosquitto_connect_v5_callback_set(n->mosq, &MqttNetwork::onConnect);
    mosquitto_publish_v5_callback_set(n->mosq, &MqttNetwork::onPublish);
    mosquitto_message_v5_callback_set(n->mosq, &MqttNetwork::onMessage);
    std::thread(&MqttNetwork::run, n).detach();
    m_network = n;
    return true;
}

void MqttClient::stop()
{
    if (!m_network)
        return;
    std::shared_ptr<MqttNetwork> n = std::move(m_network);
    std::unique_lock<std::mutex> lock(n->mutex);
    n->stopping = true;
    n->wake.notify_all();
    n->wake.wait_for(lock, std::chrono::milliseconds(GoodbyeMs), [&] { return n->finished; });
    // Still connecting: it ends by itself, and tells no one.
    n->client = nullptr;
}

int MqttClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                        QString* error)
{
    if (!m_network) {
        if (error)
            *error = QStringLiteral("not started");
        return -1;
    }
    int id = 0;
    const int rc = mosquitto_publish_v5(m_network->mosq, &id, topic.toUtf8().constData(),
                                        int(payload.size()), payload.constData(), qos, retain,
                                        nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        if (error)
            *error = errorText(rc);
        return -1;
    }
    return id;
}

void MqttClient::reconnect(const QString& why)
{
    if (!m_network)
        return;
    {
        std::lock_guard<std::mutex> lock(m_network->mutex);
        m_network->dropped = why;
    }
    mosquitto_disconnect_v5(m_network->mosq, 0, nullptr);
}
