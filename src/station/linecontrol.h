#pragma once

#include "../broker/brokerlink.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class Station;

// What only the program around a station can do when a line controller
// asks: start a run, end one, run another released job.
class LineHost
{
public:
    virtual ~LineHost() = default;
    // A station that is not running starts; false, with `why`, when it cannot.
    virtual bool startStation(QString* why) = 0;
    // Uploads under way finish, then the run ends (as a termination signal
    // would end it, without cancelling any unit).
    virtual void stopStation() = 0;
    // The released job at `path` checked as any job is, then run; `done`
    // gets an empty string, or why it was refused.
    virtual void loadJob(const QString& path, std::function<void(const QString& error)> done) = 0;
};

// A station on the factory's broker (see BrokerLink): its state published
// as it changes, its record's lines, and a line controller's commands, each
// a JSON object with an "id" its reply carries:
//   {"id": "c-17", "command": "pause", "slot": "Bench A1"}
// status, start, stop, pause and resume (of a "slot", by its port or name;
// every slot without one), load-job (a released job's "job" path on this
// host). A command whose id was seen is answered again, not done again.
// What a command changes, and its outcome, go to the audit trail.
class LineControl : public QObject
{
    Q_OBJECT

public:
    LineControl(Station& station, LineHost& host, QObject* parent = nullptr);
    ~LineControl() override;

    // On `url`, for the station called `name` whose record is `record`.
    void start(const BrokerUrl& url, const QString& name, const QString& record);
    void stop();
    bool running() const { return m_link.running(); }
    QString state() const { return m_link.state(); }
    BrokerLink::Health health() const { return m_link.health(); }

    // The station as the state topic has it.
    QJsonObject stationState() const;
    static QByteArray offlineState(const QString& station);

    // A command's payload, as the broker delivered it (public for tests
    // that have no broker).
    void command(const QByteArray& payload);

signals:
    void stateChanged(BrokerLink::Health health, const QString& text);
    void replied(const QByteArray& reply);

private:
    void changed();
    void publishState();
    void answer(const QString& id, QJsonObject reply);
    void audit(const QString& id, const QJsonObject& command, const QString& outcome,
               const QString& error);
    // The slots a command names: every slot, or the one by port or name.
    QList<int> slotsNamed(const QJsonObject& command, QString* error) const;

    Station& m_station;
    LineHost& m_host;
    BrokerLink m_link;
    QString m_stationName;
    QTimer m_soon;                         // coalesces changes into one state
    QTimer m_progress;                     // while a slot flashes
    QHash<QString, QByteArray> m_answered; // by id
    QStringList m_order;                   // ids, oldest first
    QStringList m_underWay;                // ids whose reply is still to come
};
