#pragma once

#include "databaseurl.h"
#include "recorddatabase.h"

#include <QObject>
#include <QString>
#include <memory>

#include "../platform/workerthread.h"

class ForwarderWorker;

// The record's lines, forwarded to the factory's database after they are on
// the disk (the local record stays the first and only write a unit waits
// for). Lines not yet acknowledged are sent in batches, each in one
// transaction, each line kept once by its id; then a cursor
// (<record>.forwarded: the byte offset of the first line not yet in) moves
// on, written whole, flushed and renamed: it names its file and the last
// line's id, so that a record moved, replaced or cut shorter is noticed
// and read from its first line, and a record the station rotated is
// finished from the file it was. A kill between the commit and the
// cursor sends those lines again, and the table still has one row each.
// A line the server refuses goes to <record>.rejected with the server's
// message and holds up nothing after it.
//
// The database is never on a line's path: the work, and the connection,
// live in a thread of their own. A lost connection is closed and opened
// again after 1 s, doubling to 60 s, with some jitter.
class RecordForwarder : public QObject
{
    Q_OBJECT

public:
    explicit RecordForwarder(QObject* parent = nullptr);
    ~RecordForwarder() override;

    // `table`: the record's units, or an audit trail's events.
    void start(const QString& recordPath, const DatabaseUrl& url,
               RecordDatabase::Table table = RecordDatabase::Table::Units);
    // Lets the work under way end, for at most a few seconds.
    void stop();
    bool running() const { return m_thread.running(); }

    // A line was appended to the record: it goes on its way.
    void recordWritten();

    // How the forwarding stands, said once per change.
    enum class Health { Starting, UpToDate, Sending, Failing };
    Q_ENUM(Health)
    // "database: up to date", "database: 12 records waiting (connection refused)"
    QString state() const { return m_state; }
    Health health() const { return m_health; }
    qint64 pending() const { return m_pending; }
    bool upToDate() const { return m_upToDate; }

    static QString cursorPath(const QString& record)
    {
        return record + QStringLiteral(".forwarded");
    }
    static QString rejectedPath(const QString& record)
    {
        return record + QStringLiteral(".rejected");
    }

    // What one batch did.
    struct Batch {
        int lines = 0;      // taken from the record
        int inserted = 0;   // new rows
        int duplicates = 0; // there already
        int refused = 0;    // written to <record>.rejected
        bool moved = false; // past a retired file's end, to the next
        QString notice;     // the record moved, replaced or cut behind the station's back
    };
    // Sends the next lines after the cursor and moves it: false when the
    // connection failed (nothing moved). `lines` 0 means up to date. For the
    // forwarder's thread, and for a catch-up from the command line.
    [[nodiscard]] static bool forwardBatch(const QString& record, RecordDatabase& database,
                                           RecordDatabase::Table table, Batch* batch,
                                           QString* error);
    // Lines after the cursor.
    static qint64 waiting(const QString& record);

signals:
    // Said once per change of state, with the count at that moment.
    void stateChanged(RecordForwarder::Health health, const QString& text);
    // The record is not as its cursor left it: said once.
    void noticed(const QString& text);
    // Asks the worker for more, across the threads.
    void wake();

private:
    void onState(RecordForwarder::Health health, const QString& text, qint64 pending, bool changed);

    WorkerThread m_thread{QStringLiteral("record forwarder")};
    ForwarderWorker* m_worker = nullptr;
    QString m_state;
    qint64 m_pending = 0;
    bool m_upToDate = false;
    Health m_health = Health::Starting;
};
