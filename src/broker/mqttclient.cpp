#include "mqttclient.h"

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mosquitto.h>
#include <mutex>

namespace {

constexpr int KeepAliveSeconds = 20;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

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

bool MqttClient::start(QString* error)
{
    stop();
    QString password;
    if (!m_url.password(&password, error))
        return false;
    m_mosq = mosquitto_new(m_clientId.toUtf8().constData(), true, this);
    if (!m_mosq) {
        *error =
            QStringLiteral("the MQTT client cannot be made: %1").arg(errorText(MOSQ_ERR_NOMEM));
        return false;
    }
    const auto fail = [&](int rc, const QString& what) {
        *error = QStringLiteral("%1: %2").arg(what, errorText(rc));
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        return false;
    };
    // Published from other threads than the network's.
    int rc = mosquitto_threaded_set(m_mosq, true);
    if (rc == MOSQ_ERR_SUCCESS && !m_url.user.isEmpty())
        rc =
            mosquitto_username_pw_set(m_mosq, m_url.user.toUtf8().constData(),
                                      password.isEmpty() ? nullptr : password.toUtf8().constData());
    if (rc)
        return fail(rc, QStringLiteral("the broker's user"));
    if (m_url.tls &&
        (rc = mosquitto_tls_set(
             m_mosq, m_url.caFile.isEmpty() ? nullptr : m_url.caFile.toUtf8().constData(),
             m_url.caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr)))
        return fail(rc, QStringLiteral("TLS with the broker"));
    if (!m_will.topic.isEmpty() &&
        (rc = mosquitto_will_set(m_mosq, m_will.topic.toUtf8().constData(),
                                 int(m_will.payload.size()), m_will.payload.constData(), 1, true)))
        return fail(rc, QStringLiteral("the last will"));
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

bool MqttClient::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

bool MqttClient::stopping()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopping;
}

void MqttClient::run()
{
    int delayMs = 1000;
    const QByteArray host = m_url.host.toUtf8();
    while (!stopping()) {
        // Blocking, on this thread only: a name to resolve, a broker to reach.
        int rc = mosquitto_connect(m_mosq, host.constData(), m_url.port, KeepAliveSeconds);
        // The socket is open: the broker's answer, then its traffic, comes
        // through the loop until the connection goes.
        while (rc == MOSQ_ERR_SUCCESS) {
            if (stopping()) {
                // Whatever is queued (a last state, a reply) goes first.
                for (int i = 0; i < 20 && mosquitto_want_write(m_mosq); ++i)
                    mosquitto_loop(m_mosq, 50, 1);
                mosquitto_disconnect(m_mosq);
                mosquitto_loop(m_mosq, 50, 1);
                return;
            }
            rc = mosquitto_loop(m_mosq, 500, 1);
            if (m_connected)
                delayMs = 1000;
        }
        m_connected = false;
        const QString why =
            rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno)) : errorText(rc);
        QMetaObject::invokeMethod(
            this, [this, why] { emit connectionChanged(false, why); }, Qt::QueuedConnection);
        // Jitter keeps benches that lost one broker from coming back at once.
        if (!pause(delayMs - delayMs / 10 + int(std::rand() % (delayMs / 5 + 1))))
            return;
        delayMs = std::min(delayMs * 2, 60000);
    }
}

void MqttClient::stop()
{
    if (!m_mosq)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    m_connected = false;
}

int MqttClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                        QString* error)
{
    if (!m_mosq) {
        if (error)
            *error = QStringLiteral("not started");
        return -1;
    }
    int id = 0;
    const int rc = mosquitto_publish(m_mosq, &id, topic.toUtf8().constData(), int(payload.size()),
                                     payload.constData(), qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        if (error)
            *error = errorText(rc);
        return -1;
    }
    return id;
}

// The library's thread, from here on: only what is queued reaches the object.
void MqttClient::onConnect(mosquitto* mosq, void* self, int code)
{
    auto* client = static_cast<MqttClient*>(self);
    if (code == 0) {
        for (const QString& topic : client->m_subscriptions)
            mosquitto_subscribe(mosq, nullptr, topic.toUtf8().constData(), 1);
    }
    client->m_connected = code == 0;
    const QString why = code == 0 ? QString() : QString::fromUtf8(mosquitto_connack_string(code));
    QMetaObject::invokeMethod(
        client, [client, code, why] { emit client->connectionChanged(code == 0, why); },
        Qt::QueuedConnection);
    // A refused connection is not retried by the library: the loop ends,
    // and run() tries again after its delay.
    if (code != 0)
        mosquitto_disconnect(mosq);
}

void MqttClient::onDisconnect(mosquitto*, void*, int)
{
    // Said by run() when its loop ends.
}

void MqttClient::onPublish(mosquitto*, void* self, int messageId)
{
    auto* client = static_cast<MqttClient*>(self);
    QMetaObject::invokeMethod(
        client, [client, messageId] { emit client->published(messageId); }, Qt::QueuedConnection);
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    QMetaObject::invokeMethod(
        client, [client, topic, payload] { emit client->received(topic, payload); },
        Qt::QueuedConnection);
}
