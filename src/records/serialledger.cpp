#include "serialledger.h"

#include "../platform/backoff.h"
#include "recorddatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <QSet>
#include <QVector>
#include <algorithm>
#include <atomic>

namespace {

constexpr int FirstRetryMs = 1000;
constexpr int LastRetryMs = 30000;
std::atomic<int> connections{0};

constexpr int FateTries = 3; // a fate the server refuses this often is set aside

struct Fate {
    quint64 first, last, step;
    QString state;
    QString unitId;
    int tries = 0;
};

} // namespace

// The ledger's thread: its own connection, the lease asked for and the
// fates not yet sent, tried again after a pause while the server is away.
class LedgerWorker : public QObject
{
    Q_OBJECT

public:
    LedgerWorker(const DatabaseUrl& url, const SerialLedger::Series& series,
                 const SerialLedger::Holder& who, const QVector<SerialLedger::Block>& held,
                 const QHash<quint64, QString>& recorded)
        : m_url(url), m_series(series), m_station(who.station), m_who(who), m_held(held),
          m_recorded(recorded), m_backoff(FirstRetryMs, LastRetryMs, who.station)
    {
    }

    void begin()
    {
        m_db = std::make_unique<RecordDatabase>(
            m_url, QStringLiteral("ledger-%1").arg(connections.fetch_add(1)));
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &LedgerWorker::pump);
        later();
    }
    void want(int count)
    {
        m_want = count;
        later();
    }
    void addFate(quint64 first, quint64 last, quint64 step, const QString& state,
                 const QString& unitId)
    {
        m_fates.append({first, last, step, state, unitId, 0});
        later();
    }
    void finish()
    {
        if (m_retry)
            m_retry->stop();
        // What waits goes now if the server is there.
        if (m_db && !m_fates.isEmpty() && (m_db->isOpen() || connectNow()))
            sendFates();
        m_db.reset();
    }

signals:
    void leased(quint64 first, quint64 last, quint64 step);
    void unleased(quint64 left);
    void ended(const QString& why);
    void said(const QString& text);
    void heldRefused(const QString& why);
    void setAside(const QString& why);

private:
    void later()
    {
        if (!m_retry->isActive())
            QTimer::singleShot(0, this, &LedgerWorker::pump);
    }
    bool connectNow()
    {
        QString error;
        if (m_db->open(&error))
            return true;
        failed(error);
        return false;
    }
    void pump()
    {
        if (!m_db || (m_want == 0 && m_fates.isEmpty() && m_settled))
            return;
        if (!m_db->isOpen() && !connectNow())
            return;
        if ((!m_settled && !settle()) || !sendFates() || (m_want > 0 && !lease()))
            return;
        m_backoff.reset();
        say(QStringLiteral("serial numbers: up to date"));
    }
    bool exec(QSqlQuery& q, const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values[i]);
        return q.exec();
    }
    QSqlDatabase connection() const { return QSqlDatabase::database(m_db->connectionName(), false); }
    bool lease()
    {
        QSqlDatabase db = connection();
        QSqlQuery q(db);
        const auto fail = [&](const QSqlError& e) {
            db.rollback();
            m_db->close(); // the driver does not reconnect by itself
            failed(e.databaseText().isEmpty() ? e.driverText() : e.databaseText());
            return false;
        };
        if (!db.transaction())
            return fail(db.lastError());
        // The series made by the first station that asks for it; the others
        // take its numbers whatever they were given.
        q.prepare(QStringLiteral("INSERT INTO serial_series (name, first, step, last, next) VALUES "
                                 "(?, ?, ?, ?, ?) ON CONFLICT (name) DO NOTHING"));
        if (!exec(q, {m_series.name, qint64(m_series.start), qint64(m_series.step),
                      m_series.end ? QVariant(qint64(*m_series.end)) : QVariant(QMetaType::fromType<qint64>()),
                      qint64(m_series.start)}))
            return fail(q.lastError());
        // The series' row held until the lease commits: one station at a time.
        q.prepare(QStringLiteral("SELECT step, last, next FROM serial_series WHERE name = ? FOR UPDATE"));
        if (!exec(q, {m_series.name}) || !q.next())
            return fail(q.lastError());
        const quint64 step = quint64(q.value(0).toLongLong());
        const bool bounded = !q.value(1).isNull();
        const quint64 last = quint64(q.value(1).toLongLong());
        const quint64 next = quint64(q.value(2).toLongLong());
        if (m_series.fixedEnd && m_series.end && (!bounded || last != *m_series.end)) {
            db.rollback();
            m_want = 0;
            emit heldRefused(QStringLiteral("%1 was released for %2 units, not the %3 this job "
                                            "says")
                                 .arg(m_series.name.section(QLatin1Char(':'), 1))
                                 .arg(last)
                                 .arg(*m_series.end));
            return true;
        }
        // A work order's permits given back by a bench that stopped go to
        // the next that asks, before any permit no bench has had.
        QVector<quint64> again;
        if (m_series.fixedEnd) {
            q.prepare(QStringLiteral("UPDATE serials SET state = 'leased', station = ?, machine = ?, "
                                     "holder = CAST(? AS uuid), unit_id = NULL, changed = now() "
                                     "WHERE series = ? AND number IN (SELECT number FROM serials "
                                     "WHERE series = ? AND state = 'returned' ORDER BY number "
                                     "LIMIT ?) RETURNING number"));
            if (!exec(q, {m_station, m_who.machine, m_who.holder, m_series.name, m_series.name,
                          m_want}))
                return fail(q.lastError());
            while (q.next())
                again.append(quint64(q.value(0).toLongLong()));
            std::sort(again.begin(), again.end());
        }
        const int wantNew = m_want - int(again.size());
        if (!again.isEmpty() && (wantNew <= 0 || (bounded && next > last))) {
            if (!db.commit())
                return fail(db.lastError());
            m_want = 0;
            emitRuns(again);
            emit unleased(unleasedNow(bounded, last, next, step));
            return true;
        }
        if (bounded && next > last) {
            db.rollback();
            m_want = 0;
            emit unleased(0);
            emit ended(QStringLiteral("the series %1 has no number left (its last is %2)")
                           .arg(m_series.name)
                           .arg(last));
            return true;
        }
        quint64 end = next + quint64(wantNew - 1) * step;
        if (bounded && end > last)
            end = next + (last - next) / step * step;
        q.prepare(QStringLiteral("UPDATE serial_series SET next = ? WHERE name = ?"));
        if (!exec(q, {qint64(end + step), m_series.name}))
            return fail(q.lastError());
        q.prepare(QStringLiteral(
            "INSERT INTO serials (series, number, station, state, machine, holder) SELECT ?, n, ?, "
            "'leased', ?, CAST(? AS uuid) FROM generate_series(CAST(? AS bigint), CAST(? AS "
            "bigint), CAST(? AS bigint)) AS n"));
        if (!exec(q, {m_series.name, m_station, m_who.machine, m_who.holder, qint64(next),
                      qint64(end), qint64(step)}))
            return fail(q.lastError());
        if (!db.commit())
            return fail(db.lastError());
        m_want = 0;
        emitRuns(again);
        emit leased(next, end, step);
        if (bounded)
            emit unleased(unleasedNow(bounded, last, end + step, step));
        return true;
    }
    // Numbers leased again one by one, as the runs they make.
    void emitRuns(const QVector<quint64>& numbers)
    {
        for (int i = 0; i < numbers.size();) {
            int j = i;
            while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
                ++j;
            emit leased(numbers[i], numbers[j], 1);
            i = j + 1;
        }
    }
    // What no station holds now: never leased, and given back.
    quint64 unleasedNow(bool bounded, quint64 last, quint64 next, quint64 step)
    {
        quint64 left = bounded && last >= next ? (last - next) / step + 1 : 0;
        QSqlQuery q(connection());
        q.prepare(QStringLiteral("SELECT count(*) FROM serials WHERE series = ? AND state = "
                                 "'returned'"));
        if (m_series.fixedEnd && exec(q, {m_series.name}) && q.next())
            left += quint64(q.value(0).toLongLong());
        return left;
    }
    // The numbers leased to this station before, as its state and record
    // say; and the numbers its state holds, which must still be its own
    // lease (this computer, this state file) and unused.
    bool settle()
    {
        QSqlQuery q(connection());
        q.prepare(QStringLiteral("SELECT number, state, machine, CAST(holder AS text) FROM serials "
                                 "WHERE series = ? AND station = ?"));
        if (!exec(q, {m_series.name, m_station})) {
            m_db->close();
            failed(q.lastError().databaseText());
            return false;
        }
        const auto held = [this](quint64 n) {
            return std::any_of(m_held.begin(), m_held.end(), [n](const SerialLedger::Block& b) {
                return n >= b.first && n <= b.last && (n - b.first) % b.step == 0;
            });
        };
        QHash<quint64, QString> notOurs; // held numbers the database gives to another
        QSet<quint64> seen;
        while (q.next()) {
            const quint64 n = quint64(q.value(0).toLongLong());
            const QString state = q.value(1).toString();
            const QString machine = q.value(2).toString();
            const QString holder = q.value(3).toString();
            // Rows of before there were holders are this station's.
            const bool ours = holder.isEmpty() || (holder == m_who.holder && machine == m_who.machine);
            if (held(n)) {
                seen.insert(n);
                if (!ours || state != QLatin1String("leased"))
                    notOurs.insert(n, state != QLatin1String("leased")
                                          ? QStringLiteral("already %1").arg(state)
                                          : QStringLiteral("leased to machine %1").arg(machine));
                continue;
            }
            if (!ours || state != QLatin1String("leased"))
                continue;
            const auto it = m_recorded.constFind(n);
            m_fates.append({n, n, 1, it != m_recorded.constEnd() ? QStringLiteral("used")
                                                                 : QStringLiteral("void"),
                            it != m_recorded.constEnd() ? it.value() : QString(), 0});
        }
        // Held numbers the database has no row of for this station are another's too.
        for (const SerialLedger::Block& b : m_held) {
            for (quint64 n = b.first; n <= b.last && notOurs.size() < 3; n += b.step) {
                if (!seen.contains(n))
                    notOurs.insert(n, QStringLiteral("not this station's"));
            }
        }
        if (!notOurs.isEmpty()) {
            const quint64 first = *std::min_element(notOurs.keyBegin(), notOurs.keyEnd());
            emit heldRefused(
                QStringLiteral("the serial state holds numbers of the series %1 the database "
                               "does not give this station (%2 is %3): the state was copied or "
                               "restored from another station or computer. Remove its block= "
                               "and queued= lines before the station runs again; none of them "
                               "is used")
                    .arg(m_series.name)
                    .arg(first)
                    .arg(notOurs.value(first)));
            m_held.clear();
        }
        m_settled = true;
        m_recorded.clear();
        return true;
    }
    // Each fate written only where the number is still this station's
    // lease: one that changes nothing is an alarm, not a no-op. A fate the
    // server refuses is tried again a few times, then set aside; it never
    // holds up a lease.
    bool sendFates()
    {
        QSqlDatabase db = connection();
        QVector<Fate> later;
        while (!m_fates.isEmpty()) {
            Fate f = m_fates.takeFirst();
            QSqlQuery q(db);
            const bool returned = f.state == QLatin1String("returned");
            q.prepare(QStringLiteral("UPDATE serials SET state = ?, changed = now(), unit_id = "
                                     "CAST(? AS uuid) WHERE series = ? AND station = ? AND number "
                                     "BETWEEN ? AND ? AND state = 'leased' AND (holder IS NULL OR "
                                     "(holder = CAST(? AS uuid) AND machine = ?))"));
            const QVariant unit = f.unitId.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                     : QVariant(f.unitId);
            if (!exec(q, {f.state, unit, m_series.name, m_station, qint64(f.first), qint64(f.last),
                          m_who.holder, m_who.machine})) {
                const QSqlError e = q.lastError();
                const QString why = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
                // Gone: everything waits for the server. Refused: this one alone.
                if (!db.isOpen() || e.type() == QSqlError::ConnectionError ||
                    q.lastError().nativeErrorCode().isEmpty()) {
                    m_fates = later + QVector<Fate>{f} + m_fates;
                    m_db->close();
                    failed(why);
                    return false;
                }
                if (++f.tries < FateTries) {
                    later.append(f);
                } else {
                    emit setAside(QStringLiteral("serial numbers: the database refuses the fate "
                                                 "%1 of %2 (%3): set aside")
                                      .arg(f.state)
                                      .arg(f.first)
                                      .arg(why.trimmed()));
                }
                continue;
            }
            if (!returned && q.numRowsAffected() == 0)
                emit setAside(QStringLiteral("serial numbers: %1 is no longer this station's "
                                             "lease in the database (it was %2 here): was it used "
                                             "by another station with a copy of this state?")
                                  .arg(f.first)
                                  .arg(f.state));
        }
        m_fates = later;
        return true;
    }

    void failed(const QString& why)
    {
        say(QStringLiteral("serial numbers: the database is not reached (%1)").arg(why.trimmed()));
        m_retry->start(m_backoff.next());
    }
    void say(const QString& text)
    {
        if (text != m_said)
            emit said(m_said = text);
    }

    DatabaseUrl m_url;
    SerialLedger::Series m_series;
    QString m_station;
    SerialLedger::Holder m_who;
    std::unique_ptr<RecordDatabase> m_db;
    QTimer* m_retry = nullptr;
    int m_want = 0;
    QVector<Fate> m_fates;
    QVector<SerialLedger::Block> m_held;
    QHash<quint64, QString> m_recorded;
    bool m_settled = false;
    QString m_said;
    Backoff m_backoff;
};

SerialLedger::SerialLedger(QObject* parent) : QObject(parent) {}

SerialLedger::~SerialLedger()
{
    stop();
}

void SerialLedger::start(const DatabaseUrl& url, const Series& series, const Holder& who,
                         const QVector<Block>& held, const QHash<quint64, QString>& recorded)
{
    stop();
    if (!m_slow) {
        m_slow = new QTimer(this);
        m_slow->setSingleShot(true);
        m_slow->setInterval(1000);
        connect(m_slow, &QTimer::timeout, this, [this] {
            // An outage says so itself; this is for a server that takes the
            // lease and does not answer (its row held, a slow server).
            if (!m_leasing || m_state.contains(QLatin1String("not reached")))
                return;
            m_state = QStringLiteral("serial numbers: waiting for serial numbers from the "
                                     "database (the lease is not answered)");
            emit stateChanged(m_state);
        });
    }
    m_worker = new LedgerWorker(url, series, who, held, recorded);
    connect(m_worker, &LedgerWorker::heldRefused, this, &SerialLedger::heldRefused);
    connect(m_worker, &LedgerWorker::unleased, this, &SerialLedger::unleased);
    connect(m_worker, &LedgerWorker::setAside, this, &SerialLedger::fateSetAside);
    connect(this, &SerialLedger::wantBlock, m_worker, &LedgerWorker::want);
    connect(this, &SerialLedger::fate, m_worker, &LedgerWorker::addFate);
    connect(m_worker, &LedgerWorker::leased, this, [this](quint64 first, quint64 last, quint64 step) {
        m_leasing = false;
        m_slow->stop();
        emit blockLeased(Block{first, last, step});
    });
    connect(m_worker, &LedgerWorker::ended, this, [this](const QString& why) {
        m_leasing = false;
        emit seriesEnded(why);
    });
    connect(m_worker, &LedgerWorker::said, this, [this](const QString& text) {
        m_state = text;
        emit stateChanged(text);
    });
    LedgerWorker* w = m_worker;
    m_thread.start(w, [w] { w->begin(); }, [w] { w->finish(); });
}

void SerialLedger::stop()
{
    if (!m_thread.running())
        return;
    disconnect(m_worker, nullptr, this, nullptr);
    // After the fates already on their way: the loop ends behind them.
    m_thread.stop(5000);
    m_worker = nullptr;
    m_leasing = false;
}

void SerialLedger::lease(int count)
{
    if (m_leasing || !m_thread.running())
        return;
    m_leasing = true;
    m_slow->start();
    emit wantBlock(count);
}

void SerialLedger::used(quint64 number, const QString& unitId)
{
    emit fate(number, number, 1, QStringLiteral("used"), unitId);
}

void SerialLedger::voided(quint64 number)
{
    emit fate(number, number, 1, QStringLiteral("void"), QString());
}

void SerialLedger::returned(const Block& rest)
{
    if (rest.count() > 0)
        emit fate(rest.first, rest.last, rest.step, QStringLiteral("returned"), QString());
}

#include "serialledger.moc"
