#pragma once

#include "brokerurl.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;

// One connection to an MQTT broker through libmosquitto. A thread of its
// own does the network: connecting, and after any failure (a broker down,
// a name not resolved, a password refused) connecting again after 1 s,
// doubling to 60 s; what it hears comes to this object's thread as
// signals. Nothing here waits for the broker, except stop().
class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Will {
        QString topic;
        QByteArray payload;
    };

    MqttClient(const BrokerUrl& url, const QString& clientId, QObject* parent = nullptr);
    ~MqttClient() override;

    // Before start(): the message the broker publishes (retained, QoS 1)
    // when this client goes without saying goodbye, and the topics read,
    // subscribed again at every connection.
    void setWill(const Will& will) { m_will = will; }
    void setSubscriptions(const QStringList& topics) { m_subscriptions = topics; }
    // Connects, and keeps connecting; false, with `error`, when the client
    // cannot be made at all (a password file that cannot be read, say).
    [[nodiscard]] bool start(QString* error);
    // Disconnects and ends the library's thread.
    void stop();

    bool connected() const { return m_connected.load(); }
    // Queued for the library's thread; the message id, or -1 when it was
    // refused at once (`error` says why).
    int publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                QString* error = nullptr);

    static QString errorText(int code);

signals:
    // `why`: the broker's or the system's words for a lost or refused connection.
    void connectionChanged(bool connected, const QString& why);
    // The broker has a QoS 1 message (PUBACK).
    void published(int messageId);
    void received(const QString& topic, const QByteArray& payload);

private:
    void run();
    bool stopping();
    // Waits out the delay before the next attempt, or until stop().
    bool pause(int ms);
    static void onConnect(mosquitto*, void* self, int code);
    static void onDisconnect(mosquitto*, void* self, int code);
    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message);

    BrokerUrl m_url;
    QString m_clientId;
    Will m_will;
    QStringList m_subscriptions;
    mosquitto* m_mosq = nullptr;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false; // under m_mutex
    std::atomic<bool> m_connected{false};
};
