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

#include "benchcommands.h"

class Station;

// A station on the factory's broker (see BrokerLink): its state published
// as it changes, its record's lines, and a line controller's commands, each
// a JSON object with an "id" its reply carries:
//   {"id": "c-17", "command": "pause", "slot": "Bench A1"}
// any command of BenchCommands' table, with its arguments beside "command".
// The broker's ACL decides who may command here. A command whose id was
// seen is answered again, not done again. What a command changes, and its
// outcome, go to the audit trail.
class LineControl : public QObject
{
    Q_OBJECT

public:
    LineControl(Station& station, BenchHost& host, QObject* parent = nullptr);
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

    Station& m_station;
    BenchCommands m_commands;
    BrokerLink m_link;
    QString m_stationName;
    QTimer m_soon;                         // coalesces changes into one state
    QTimer m_progress;                     // while a slot flashes
    QHash<QString, QByteArray> m_answered; // by id
    QStringList m_order;                   // ids, oldest first
    QStringList m_underWay;                // ids whose reply is still to come
};
