#pragma once

#include "databaseurl.h"

#include <QHash>
#include <QTimer>
#include <QObject>
#include <QVector>
#include <QString>
#include <optional>

#include "../platform/workerthread.h"

class LedgerWorker;

// Serial numbers shared by every station of a factory: a series in its
// PostgreSQL, handed out a block at a time. Each block is leased in one
// transaction that holds the series' row, so two stations never get one
// number, and every number's fate is a row of `serials`: leased to a
// station, used by a unit (its record's id), void (burned without one), or
// returned (a block's unused end, at a clean stop). The server is asked
// from a thread of its own; a station goes on from the blocks it holds.
class SerialLedger : public QObject
{
    Q_OBJECT

public:
    struct Series {
        QString name;
        quint64 start = 1;
        quint64 step = 1;
        std::optional<quint64> end; // made with these when the series is new
        // The series is a work order's permits: its end is the order's
        // quantity, and a station that says another is refused.
        bool fixedEnd = false;
    };
    struct Block {
        quint64 first = 1; // none unless given
        quint64 last = 0;
        quint64 step = 1;
        quint64 count() const { return last < first ? 0 : (last - first) / step + 1; }
    };

    explicit SerialLedger(QObject* parent = nullptr);
    ~SerialLedger() override;

    // `held`: the blocks the station's state holds, not handed out yet;
    // `recorded`: every number its record names, with the unit's record id.
    // Numbers leased to the station and neither are settled first: used
    // when a record names them, void otherwise (a station killed between
    // taking a number and writing its unit's record, or a lease whose
    // answer never came).
    // `machine` and `holder` say whose the leases are: this computer, and
    // its state file's own id. Held numbers the database gives to another
    // computer or holder are refused (heldRefused()).
    struct Holder {
        QString station, machine, holder;
    };
    void start(const DatabaseUrl& url, const Series& series, const Holder& who,
               const QVector<Block>& held, const QHash<quint64, QString>& recorded);
    // Fates still waiting go if the server is there, for a few seconds.
    void stop();
    bool running() const { return m_thread.running(); }

    // A block of `count` numbers; blockLeased() once the server gave one.
    void lease(int count);
    bool leasing() const { return m_leasing; }
    // A number's fate, sent as soon as the server takes it.
    void used(quint64 number, const QString& unitId);
    void voided(quint64 number);
    void returned(const Block& rest);
    QString state() const { return m_state; }

signals:
    void blockLeased(const SerialLedger::Block& block);
    // The numbers the state holds are not this station's in the database
    // (a copied or restored state, a cloned computer): none may be used.
    void heldRefused(const QString& why);
    // A fate the database would not take (after a few tries), or a number
    // no longer this station's lease: set aside, said, and never in the way.
    void fateSetAside(const QString& why);
    // The series has no number left to lease.
    void seriesEnded(const QString& why);
    // After a lease: the numbers no station has leased yet (a bounded series).
    void unleased(quint64 left);
    // The connection's state, said once per change.
    void stateChanged(const QString& text);

    // To the worker, across the threads.
    void wantBlock(int count);
    void fate(quint64 first, quint64 last, quint64 step, const QString& state, const QString& unitId);

private:
    WorkerThread m_thread{QStringLiteral("serial ledger")};
    QTimer* m_slow = nullptr; // a lease not answered within a second is said
    LedgerWorker* m_worker = nullptr;
    bool m_leasing = false;
    QString m_state;
};
