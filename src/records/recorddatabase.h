#pragma once

#include "databaseurl.h"
#include "recordsummary.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVector>

class QSqlError;

// One connection to the factory's PostgreSQL, for whichever thread made it
// (Qt's rule: a connection is used in the thread that opened it). Blocking:
// the forwarder runs it in a thread of its own, never on a slot's line.
class RecordDatabase
{
public:
    static constexpr int SchemaVersion = 1;

    RecordDatabase(const DatabaseUrl& url, const QString& connectionName);
    ~RecordDatabase();
    RecordDatabase(const RecordDatabase&) = delete;
    RecordDatabase& operator=(const RecordDatabase&) = delete;

    // Opens the connection and makes the tables when they are missing.
    [[nodiscard]] bool open(QString* error);
    void close();
    bool isOpen() const;
    // Qt's name for the connection, for queries of another table's own.
    QString connectionName() const { return m_name; }

    struct Refused {
        QByteArray line;
        QString why; // the server's message
    };
    struct Sent {
        int inserted = 0;   // new rows
        int duplicates = 0; // lines the table had already
        QVector<Refused> refused;
    };
    // Where lines go: the record's units, or the audit trail's events.
    enum class Table { Units, Audit };
    // The lines, in one transaction: each inserted unless its id is there
    // already; one the server refuses is left out with its message. False
    // (nothing committed) when the connection failed.
    [[nodiscard]] bool send(const QVector<QByteArray>& lines, Table table, Sent* sent,
                            QString* error);

    // The summary across every station, of units ended since `since` (when
    // valid) at `station` (when given).
    [[nodiscard]] bool summarize(const QDateTime& since, const QString& station,
                                 RecordSummary* summary, QString* error);

    // A record line's id; a line written before lines had one gets one made
    // from its bytes, the same each time it is sent.
    static QString idOf(const QJsonObject& record, const QByteArray& line);

private:
    bool ensureSchema(QString* error);
    bool exec(const QString& statement, QString* error);
    QString describe(const QSqlError& error) const;

    QString m_name;
    DatabaseUrl m_url;
    bool m_prepared = false;
};
