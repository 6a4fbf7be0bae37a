#pragma once

#include "brokerurl.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

struct MqttNetwork;

// One connection to an MQTT broker through libmosquitto, in MQTT v5: a
// broker's acknowledgement says whether it took a message. A thread of its
// own does the network: connecting, and after any failure (a broker down,
// a name not resolved, a password refused) connecting again after 1 s,
// doubling to 60 s; what it hears comes to this object's thread as
// signals. Nothing here waits for the broker: stop() gives the thread two
// seconds to say goodbye, then leaves it to end by itself (a connect to a
// host that never answers can take minutes).
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
    // What is queued goes, the connection is closed and the thread ends.
    void stop();
    // The connection dropped and made again, as after a loss; `why` is
    // what connectionChanged() says of it.
    void reconnect(const QString& why);

    bool connected() const;
    // Queued for the network's thread; the message id, or -1 when it was
    // refused at once (`error` says why).
    int publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                QString* error = nullptr);

    static QString errorText(int code);

signals:
    // `why`: the broker's or the system's words for a lost or refused connection.
    void connectionChanged(bool connected, const QString& why);
    // The broker answered a QoS 1 message (PUBACK): took it, or refused it
    // (`refusal`, in the broker's words, for a reason of 128 or more).
    void published(int messageId, int reason, const QString& refusal);
    void received(const QString& topic, const QByteArray& payload);

private:
    BrokerUrl m_url;
    QString m_clientId;
    Will m_will;
    QStringList m_subscriptions;
    std::shared_ptr<MqttNetwork> m_network;
};
