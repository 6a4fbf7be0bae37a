#pragma once

#include "brokerurl.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include "../platform/workerthread.h"

class BrokerWorker;

// A station on the factory's broker, beside its record and its database:
//   PREFIX/STATION/state    retained: what the station is doing; the last
//                           will (offline) when it goes without a word
//   PREFIX/STATION/units    every record line, QoS 1, at least once: from
//                           the record through a cursor (<record>.published)
//                           moved only over lines the broker has taken
//   PREFIX/STATION/command  read: a line controller's commands
//   PREFIX/STATION/reply    their replies
// The connection and the record's reading live in a thread of their own;
// the station only hands over what it has and never waits.
class BrokerLink : public QObject
{
    Q_OBJECT

public:
    explicit BrokerLink(QObject* parent = nullptr);
    ~BrokerLink() override;

    // `offline`: the state the broker keeps when the station is gone.
    void start(const BrokerUrl& url, const QString& station, const QString& recordPath,
               const QByteArray& offline);
    // The offline state published, what is queued sent, for at most two
    // seconds; then disconnected.
    void stop();
    bool running() const { return m_thread.running(); }

    // The latest state; published retained, at most four times a second.
    void setState(const QByteArray& json);
    void reply(const QByteArray& json);
    // A line was appended to the record.
    void recordWritten();

    enum class Health { Starting, Connected, Failing };
    Q_ENUM(Health)
    // "broker: connected to mqtt://...", "broker: not reached (...); 3 records waiting"
    QString state() const { return m_state; }
    Health health() const { return m_health; }

    static QString cursorPath(const QString& record)
    {
        return record + QStringLiteral(".published");
    }

signals:
    void command(const QByteArray& payload);
    void stateChanged(BrokerLink::Health health, const QString& text);

private:
    WorkerThread m_thread{QStringLiteral("broker link")};
    BrokerWorker* m_worker = nullptr;
    QString m_state;
    Health m_health = Health::Starting;
};
