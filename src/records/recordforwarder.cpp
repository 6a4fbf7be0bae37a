#include "recordforwarder.h"

#include "../platform/atomicfile.h"
#include "../platform/backoff.h"
#include "recorddatabase.h"
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
        if (!RecordForwarder::forwardBatch(m_record, *m_db, m_table, &batch, &error)) {
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
    QFile f(record);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    qint64 cursor = RecordFile::readCursor(RecordForwarder::cursorPath(record));
    if (cursor > f.size())
        cursor = 0;
    f.seek(cursor);
    qint64 lines = 0;
    while (!f.atEnd())
        lines += f.read(1 << 20).count('\n');
    return lines;
}

bool RecordForwarder::forwardBatch(const QString& record, RecordDatabase& database,
                                   RecordDatabase::Table table, Batch* batch, QString* error)
{
    *batch = Batch();
    QFile f(record);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the record %1 cannot be read: %2").arg(record, f.errorString());
        return false;
    }
    qint64 cursor = RecordFile::readCursor(RecordForwarder::cursorPath(record));
    // A record put in the old one's place starts again from its beginning.
    if (cursor > f.size())
        cursor = 0;
    f.seek(cursor);
    QVector<QByteArray> lines;
    qint64 end = cursor;
    // Whole lines only: one without its LF is still being written.
    while (lines.size() < BatchLines) {
        const QByteArray line = f.readLine(1 << 20);
        if (!line.endsWith('\n'))
            break;
        end += line.size();
        const QByteArray text = line.trimmed();
        if (!text.isEmpty())
            lines.append(text);
        ++batch->lines;
    }
    if (batch->lines == 0)
        return true;
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
    return AtomicFile::write(cursorPath(record), QByteArray::number(end) + '\n', true, error);
}

#include "recordforwarder.moc"
