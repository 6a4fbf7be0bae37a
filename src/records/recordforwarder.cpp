#include "recordforwarder.h"

#include "../platform/atomicfile.h"
#include "../platform/backoff.h"
#include "recorddatabase.h"
#include "recordcursor.h"
#include "recordfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <QVector>
#include <atomic>

namespace {

constexpr int BatchLines = 200;
constexpr int FirstRetryMs = 1000;
constexpr int LastRetryMs = 60000;

QString plural(qint64 n, const char* one, const char* many)
{
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                  : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(many));
}

std::atomic<int> connections{0};

} // namespace

// The forwarder's thread: its own connection, its own timers.
class ForwarderWorker : public QObject
{
    Q_OBJECT

public:
    ForwarderWorker(const QString& record, const DatabaseUrl& url, RecordDatabase::Table table)
        : m_record(record), m_url(url), m_table(table),
          m_backoff(FirstRetryMs, LastRetryMs, record)
    {
    }

    void begin()
    {
        m_db = std::make_unique<RecordDatabase>(
            m_url, QStringLiteral("forwarder-%1").arg(connections.fetch_add(1)));
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &ForwarderWorker::pass);
        m_pending = RecordForwarder::waiting(m_record);
        pass();
    }
    void more()
    {
        ++m_pending;
        // While a retry is due, the backoff holds: the line waits its turn.
        if (!m_retry->isActive() && !m_busy)
            QTimer::singleShot(0, this, &ForwarderWorker::pass);
    }
    void finish()
    {
        if (m_retry)
            m_retry->stop();
        // The last units' lines go now if the server is there, briefly.
        QElapsedTimer spent;
        spent.start();
        RecordForwarder::Batch batch;
        QString ignored;
        while (m_db && m_db->isOpen() && m_pending > 0 && spent.elapsed() < 2000 &&
               RecordForwarder::forwardBatch(m_record, *m_db, m_table, &batch, &ignored) &&
               batch.lines > 0)
            m_pending = qMax<qint64>(0, m_pending - batch.lines);
        m_db.reset();
    }

signals:
    void stateChanged(RecordForwarder::Health health, const QString& text, qint64 pending,
                      bool changed);
    void noticed(const QString& text);

private:
    void pass()
    {
        if (!m_db)
            return;
        m_busy = true;
        QString error;
        if (!m_db->isOpen() && !m_db->open(&error)) {
            failed(error);
            return;
        }
        RecordForwarder::Batch batch;
        const bool sent = RecordForwarder::forwardBatch(m_record, *m_db, m_table, &batch, &error);
        if (!batch.notice.isEmpty() && batch.notice != m_noticed)
            emit noticed(m_noticed = batch.notice);
        if (!sent) {
            m_db->close(); // the driver does not reconnect by itself
            failed(error);
            return;
        }
        m_backoff.reset();
        m_busy = false;
        if (batch.lines == 0) {
            m_pending = 0;
            say(QStringLiteral("database: up to date"), RecordForwarder::Health::UpToDate,
                QStringLiteral("up"));
            return;
        }
        m_pending = qMax<qint64>(0, m_pending - batch.lines);
        // Said once when a connection comes back to a backlog, not per batch.
        const bool recovering = m_kind != QLatin1String("up") && m_kind != QLatin1String("sending");
        say(QStringLiteral("database: sending, %1")
                .arg(plural(m_pending, "record waits", "records wait")),
            RecordForwarder::Health::Sending, recovering ? QStringLiteral("sending") : m_kind);
        QTimer::singleShot(0, this, &ForwarderWorker::pass);
    }
    void failed(const QString& why)
    {
        m_busy = false;
        say(QStringLiteral("database: %1 (%2)")
                .arg(plural(m_pending, "record waiting", "records waiting"), why),
            RecordForwarder::Health::Failing, why);
        m_retry->start(m_backoff.next());
    }
    void say(const QString& text, RecordForwarder::Health health, const QString& kind)
    {
        const bool changed = kind != m_kind;
        m_kind = kind;
        emit stateChanged(health, text, m_pending, changed);
    }

    QString m_record;
    DatabaseUrl m_url;
    RecordDatabase::Table m_table;
    std::unique_ptr<RecordDatabase> m_db;
    QTimer* m_retry = nullptr;
    Backoff m_backoff;
    qint64 m_pending = 0;
    bool m_busy = false;
    QString m_kind; // what the state was last about
    QString m_noticed;
};

RecordForwarder::RecordForwarder(QObject* parent) : QObject(parent) {}

RecordForwarder::~RecordForwarder()
{
    stop();
}

void RecordForwarder::start(const QString& recordPath, const DatabaseUrl& url,
                            RecordDatabase::Table table)
{
    stop();
    m_worker = new ForwarderWorker(recordPath, url, table);
    connect(this, &RecordForwarder::wake, m_worker, &ForwarderWorker::more);
    connect(m_worker, &ForwarderWorker::stateChanged, this, &RecordForwarder::onState);
    connect(m_worker, &ForwarderWorker::noticed, this, &RecordForwarder::noticed);
    m_pending = waiting(recordPath);
    m_upToDate = false;
    m_health = Health::Starting;
    ForwarderWorker* w = m_worker;
    m_thread.start(w, [w] { w->begin(); }, [w] { w->finish(); });
}

void RecordForwarder::stop()
{
    if (!m_thread.running())
        return;
    disconnect(m_worker, nullptr, this, nullptr);
    // A statement on a server gone silent may hold the thread until its
    // timeouts; the program does not wait that long to end.
    m_thread.stop(3000);
    m_worker = nullptr;
}

void RecordForwarder::recordWritten()
{
    ++m_pending;
    m_upToDate = false;
    emit wake();
}

void RecordForwarder::onState(Health health, const QString& text, qint64 pending, bool changed)
{
    m_pending = pending;
    m_upToDate = health == Health::UpToDate;
    m_health = health;
    m_state = text;
    if (changed)
        emit stateChanged(health, text);
}

qint64 RecordForwarder::waiting(const QString& record)
{
    return RecordSource::waiting(record, RecordCursor::read(cursorPath(record)));
}

bool RecordForwarder::forwardBatch(const QString& record, RecordDatabase& database,
                                   RecordDatabase::Table table, Batch* batch, QString* error)
{
    *batch = Batch();
    RecordCursor cursor = RecordCursor::read(cursorPath(record));
    QVector<QByteArray> lines;
    // Whole lines only, from the file the cursor is in: a retired one (the
    // record before it was moved) to its end, then the next.
    for (int files = 0; files < 100; ++files) {
        const std::unique_ptr<RecordSource::Place> place =
            RecordSource::open(record, cursor, error);
        if (!place)
            return false;
        if (!place->notice.isEmpty())
            batch->notice = place->notice;
        cursor = place->cursor;
        while (lines.size() < BatchLines) {
            const QByteArray line = place->file->readLine(1 << 20);
            if (!line.endsWith('\n'))
                break; // still being written, or the end
            cursor.offset += line.size();
            const QByteArray text = line.trimmed();
            if (!text.isEmpty()) {
                lines.append(text);
                cursor.lastId = RecordSource::idOf(text);
            }
            ++batch->lines;
        }
        if (batch->lines > 0 || !place->retired)
            break;
        cursor = RecordSource::next(record, cursor);
        batch->moved = true;
    }
    if (batch->lines == 0)
        return !batch->moved || cursor.write(cursorPath(record), true, error);
    RecordDatabase::Sent sent;
    if (!lines.isEmpty() && !database.send(lines, table, &sent, error))
        return false;
    batch->inserted = sent.inserted;
    batch->duplicates = sent.duplicates;
    batch->refused = int(sent.refused.size());
    if (!sent.refused.isEmpty()) {
        QFile rejected(rejectedPath(record));
        QByteArray text;
        for (const RecordDatabase::Refused& r : sent.refused) {
            QJsonObject o{{"error", r.why}};
            const QJsonDocument line = QJsonDocument::fromJson(r.line);
            o.insert("record", line.isObject() ? QJsonValue(line.object())
                                               : QJsonValue(QString::fromUtf8(r.line)));
            text += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
        }
        if (!rejected.open(QIODevice::WriteOnly | QIODevice::Append) ||
            rejected.write(text) != text.size() || !rejected.flush()) {
            *error = QStringLiteral("%1 cannot be written: %2")
                         .arg(rejected.fileName(), rejected.errorString());
            return false;
        }
    }
    return cursor.write(cursorPath(record), true, error);
}

#include "recordforwarder.moc"
