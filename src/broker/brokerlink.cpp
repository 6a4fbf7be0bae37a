#include "brokerlink.h"

#include "../platform/atomicfile.h"
#include "../platform/backoff.h"
#include "../records/recordcursor.h"
#include "../records/recordfile.h"
#include "mqttclient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <deque>

namespace {

constexpr int InFlightLines = 32;
constexpr int QueuedReplies = 100;
constexpr int StateEveryMs = 250;
constexpr int CursorEveryMs = 500;
constexpr int GoodbyeMs = 2000;

// A message the broker has not acknowledged within this counts as a dead
// connection (FIRMWARE_STATION_BROKER_DEADLINE seconds, for a test).
int deadlineMs()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("FIRMWARE_STATION_BROKER_DEADLINE", &ok);
    return ok && s > 0 ? s * 1000 : 30000;
}

} // namespace

// The link's thread: the client, the record's reading and the cursor.
class BrokerWorker : public QObject
{
    Q_OBJECT

public:
    BrokerWorker(const BrokerUrl& url, const QString& station, const QString& record,
                 const QByteArray& offline)
        : m_url(url), m_station(station), m_record(record), m_offline(offline),
          m_backoff(1000, 60000, station)
    {
    }

    void begin()
    {
        m_state = new QTimer(this);
        m_state->setSingleShot(true);
        m_state->setInterval(StateEveryMs);
        connect(m_state, &QTimer::timeout, this, &BrokerWorker::publishState);
        m_cursorTimer = new QTimer(this);
        m_cursorTimer->setSingleShot(true);
        m_cursorTimer->setInterval(CursorEveryMs);
        connect(m_cursorTimer, &QTimer::timeout, this, &BrokerWorker::writeCursor);
        m_goodbye = new QTimer(this);
        m_goodbye->setSingleShot(true);
        connect(m_goodbye, &QTimer::timeout, this, &BrokerWorker::end);
        // Refused lines go again after a while; a broker that acknowledges
        // nothing is a dead one.
        m_again = new QTimer(this);
        m_again->setSingleShot(true);
        connect(m_again, &QTimer::timeout, this, &BrokerWorker::pump);
        m_deadline = new QTimer(this);
        m_deadline->setInterval(qMin(5000, deadlineMs() / 3));
        connect(m_deadline, &QTimer::timeout, this, &BrokerWorker::checkDeadline);
        m_cursor = m_sentUpTo = RecordCursor::read(BrokerLink::cursorPath(m_record));
        m_written = m_cursor;
        // One client id per station and host: a second station by the same
        // name elsewhere takes the connection over, and says so.
        const QString id = QStringLiteral("firmware-station/%1@%2")
                               .arg(m_station, QSysInfo::machineHostName())
                               .left(128);
        m_client = new MqttClient(m_url, id, this);
        m_client->setWill({m_url.topic(m_station, QStringLiteral("state")), m_offline});
        m_client->setSubscriptions({m_url.topic(m_station, QStringLiteral("command"))});
        connect(m_client, &MqttClient::connectionChanged, this, &BrokerWorker::onConnection);
        connect(m_client, &MqttClient::published, this, &BrokerWorker::onPublished);
        m_clock.start();
        connect(m_client, &MqttClient::received, this,
                [this](const QString&, const QByteArray& payload) { emit command(payload); });
        QString error;
        if (!m_client->start(&error))
            say(BrokerLink::Health::Failing, QStringLiteral("broker: %1").arg(error));
        else
            say(BrokerLink::Health::Starting,
                QStringLiteral("broker: connecting to %1").arg(m_url.shown()));
    }

    void setState(const QByteArray& json)
    {
        m_latest = json;
        if (!m_state->isActive())
            m_state->start();
    }

    void reply(const QByteArray& json)
    {
        m_replies.push_back(json);
        while (m_replies.size() > QueuedReplies)
            m_replies.pop_front();
        sendReplies();
    }

    void more() { pump(); }

    // The offline state, then whatever the broker has not yet taken, for
    // at most a while; then the thread ends.
    void finish()
    {
        m_finishing = true;
        m_state->stop();
        if (!m_client->connected()) {
            end();
            return;
        }
        const int mid =
            m_client->publish(m_url.topic(m_station, QStringLiteral("state")), m_offline, 1, true);
        if (mid >= 0)
            m_awaited.insert(mid);
        if (m_awaited.isEmpty() && m_lines.empty())
            end();
        else
            m_goodbye->start(GoodbyeMs);
    }

signals:
    void command(const QByteArray& payload);
    void stateChanged(BrokerLink::Health health, const QString& text);
    void finished();

private:
    void end()
    {
        m_goodbye->stop();
        writeCursor();
        m_client->stop();
        emit finished();
    }

    void onConnection(bool up, const QString& why)
    {
        // Lines not acknowledged go again on the next connection: at least once.
        m_lines.clear();
        m_sentUpTo = m_cursor;
        m_awaited.clear();
        m_stateMid = -1;
        m_deadline->stop();
        if (!up) {
            m_connected = false;
            if (m_finishing) {
                end();
                return;
            }
            const qint64 waiting = linesWaiting();
            say(BrokerLink::Health::Failing,
                QStringLiteral("broker: %1 not reached (%2)%3")
                    .arg(m_url.shown(), why.trimmed(),
                         waiting == 0   ? QString()
                         : waiting == 1 ? QStringLiteral("; 1 record waiting")
                                        : QStringLiteral("; %1 records waiting").arg(waiting)));
            return;
        }
        m_connected = true;
        m_refused.clear();
        say(BrokerLink::Health::Connected,
            QStringLiteral("broker: connected to %1").arg(m_url.shown()));
        m_deadline->start();
        m_published.clear();
        if (!m_finishing)
            publishState();
        sendReplies();
        pump();
    }

    // One state on its way at a time: a slow broker gets the newest once it
    // took the last, never a queue of them.
    void publishState()
    {
        if (!m_connected || m_finishing || m_latest.isEmpty() || m_latest == m_published ||
            m_stateMid >= 0)
            return;
        const int mid =
            m_client->publish(m_url.topic(m_station, QStringLiteral("state")), m_latest, 1, true);
        if (mid < 0)
            return;
        m_stateMid = mid;
        m_stateSentAt = m_clock.elapsed();
        m_published = m_latest;
    }

    void sendReplies()
    {
        while (m_connected && !m_replies.empty()) {
            const int mid = m_client->publish(m_url.topic(m_station, QStringLiteral("reply")),
                                              m_replies.front(), 1, false);
            if (mid < 0)
                return;
            if (m_finishing)
                m_awaited.insert(mid);
            m_replies.pop_front();
        }
    }

    // The record's next whole lines, as many as may be unacknowledged, from
    // the file the cursor is in: a retired one to its end, then the next.
    void pump()
    {
        if (!m_connected || m_lines.size() >= InFlightLines || m_again->isActive())
            return;
        for (int files = 0; files < 100 && m_lines.size() < InFlightLines; ++files) {
            QString error;
            const std::unique_ptr<RecordSource::Place> place =
                RecordSource::open(m_record, m_sentUpTo, &error);
            if (!place)
                return;
            if (!place->notice.isEmpty() && place->notice != m_noticed) {
                m_noticed = place->notice;
                say(BrokerLink::Health::Failing, QStringLiteral("broker: %1").arg(place->notice));
            }
            if (place->cursor != m_sentUpTo && place->cursor.offset == 0 && !place->retired) {
                // Read from its first line: what was in flight of the other is no more.
                m_lines.clear();
                m_cursor = place->cursor;
            }
            RecordCursor at = place->cursor;
            bool read = false;
            while (m_lines.size() < InFlightLines) {
                const QByteArray line = place->file->readLine(1 << 20);
                if (!line.endsWith('\n'))
                    break; // still being written, or the end
                read = true;
                at.offset += line.size();
                const QByteArray text = line.trimmed();
                int mid = -2; // nothing to send: counts as taken
                if (!text.isEmpty()) {
                    mid = m_client->publish(m_url.topic(m_station, QStringLiteral("units")), text,
                                            1, false);
                    if (mid < 0)
                        break;
                    at.lastId = RecordSource::idOf(text);
                }
                m_lines.push_back({mid, at, mid == -2, m_clock.elapsed()});
            }
            m_sentUpTo = at;
            if (read || !place->retired)
                break;
            // The retired file is done with: the next one, from its first line.
            const RecordCursor next = RecordSource::next(m_record, at);
            m_lines.push_back({-2, next, true, m_clock.elapsed()});
            m_sentUpTo = next;
        }
        advance();
    }

    void onPublished(int mid, int, const QString& refusal)
    {
        if (mid == m_stateMid) {
            m_stateMid = -1;
            if (!refusal.isEmpty()) {
                refused(QStringLiteral("state"), refusal);
                m_published.clear(); // the broker has it not: sent again at the next change
            }
            else
                publishState(); // the newest, if it changed meanwhile
        }
        for (Line& l : m_lines) {
            if (l.mid != mid)
                continue;
            if (!refusal.isEmpty()) {
                // Kept: it and what follows go again once the broker takes them.
                refused(QStringLiteral("units"), refusal);
                m_lines.clear();
                m_sentUpTo = m_cursor;
                m_again->start(m_backoff.next());
                m_awaited.remove(mid);
                return;
            }
            l.taken = true;
            if (!m_refused.isEmpty()) {
                m_refused.clear();
                m_backoff.reset();
                say(BrokerLink::Health::Connected,
                    QStringLiteral("broker: connected to %1").arg(m_url.shown()));
            }
        }
        m_awaited.remove(mid);
        advance();
        pump();
        if (m_finishing && m_awaited.isEmpty() && m_lines.empty())
            end();
    }

    void refused(const QString& what, const QString& why)
    {
        m_refused = why;
        say(BrokerLink::Health::Failing,
            QStringLiteral("broker: the broker refuses %1's %2: %3%4")
                .arg(m_station, what, why,
                     what == QLatin1String("units")
                         ? QStringLiteral("; the record's lines wait and go again")
                         : QString()));
    }

    // The oldest message the broker has not answered, against the deadline.
    void checkDeadline()
    {
        const qint64 now = m_clock.elapsed();
        qint64 oldest = m_stateMid >= 0 ? m_stateSentAt : now;
        for (const Line& l : m_lines) {
            if (!l.taken)
                oldest = qMin(oldest, l.sentAt);
        }
        if (now - oldest < deadlineMs())
            return;
        m_deadline->stop();
        m_client->reconnect(QStringLiteral("the broker acknowledged nothing for %1 s")
                                .arg(deadlineMs() / 1000));
    }

    void advance()
    {
        while (!m_lines.empty() && m_lines.front().taken) {
            m_cursor = m_lines.front().after;
            m_lines.pop_front();
        }
        if (m_cursor != m_written && !m_cursorTimer->isActive())
            m_cursorTimer->start();
    }

    void writeCursor()
    {
        if (m_cursor == m_written)
            return;
        QString error;
        // Not flushed to the disk: a cursor lost to a power cut sends lines
        // again, which at least once allows.
        if (m_cursor.write(BrokerLink::cursorPath(m_record), false, &error))
            m_written = m_cursor;
        else
            say(BrokerLink::Health::Failing, QStringLiteral("broker: %1").arg(error));
    }

    qint64 linesWaiting() const { return RecordSource::waiting(m_record, m_cursor); }

    void say(BrokerLink::Health health, const QString& text)
    {
        if (text == m_said)
            return;
        m_said = text;
        emit stateChanged(health, text);
    }

    struct Line {
        int mid;
        RecordCursor after; // the cursor once it is taken
        bool taken;
        qint64 sentAt; // on m_clock
    };

    BrokerUrl m_url;
    QString m_station;
    QString m_record;
    QByteArray m_offline;
    MqttClient* m_client = nullptr;
    QTimer* m_state = nullptr;
    QTimer* m_cursorTimer = nullptr;
    QTimer* m_goodbye = nullptr;
    QTimer* m_again = nullptr;    // refused lines go again
    QTimer* m_deadline = nullptr; // acknowledgements looked for
    QElapsedTimer m_clock;
    Backoff m_backoff;
    QString m_refused; // the broker's refusal of the last line, until it takes one
    int m_stateMid = -1;
    qint64 m_stateSentAt = 0;
    bool m_connected = false;
    bool m_finishing = false;
    QByteArray m_latest;
    QByteArray m_published;
    std::deque<QByteArray> m_replies;
    std::deque<Line> m_lines; // sent, in the record's order
    QSet<int> m_awaited;      // what the goodbye waits for
    RecordCursor m_cursor; // after the last line the broker took, in order
    RecordCursor m_sentUpTo;
    RecordCursor m_written; // the cursor on the disk
    QString m_noticed;
    QString m_said;
};

BrokerLink::BrokerLink(QObject* parent) : QObject(parent) {}

BrokerLink::~BrokerLink()
{
    stop();
}

void BrokerLink::start(const BrokerUrl& url, const QString& station, const QString& recordPath,
                       const QByteArray& offline)
{
    stop();
    m_worker = new BrokerWorker(url, station, recordPath, offline);
    // Its goodbye said, the worker ends its thread.
    connect(m_worker, &BrokerWorker::finished, m_worker, [] { QThread::currentThread()->quit(); });
    connect(m_worker, &BrokerWorker::command, this, &BrokerLink::command);
    connect(m_worker, &BrokerWorker::stateChanged, this,
            [this](Health health, const QString& text) {
                m_health = health;
                m_state = text;
                emit stateChanged(health, text);
            });
    m_health = Health::Starting;
    m_state.clear();
    BrokerWorker* w = m_worker;
    m_thread.start(w, [w] { w->begin(); });
}

void BrokerLink::stop()
{
    if (!m_thread.running())
        return;
    disconnect(m_worker, nullptr, this, nullptr);
    // The goodbye is bounded; a thread held beyond it is let go.
    BrokerWorker* w = m_worker;
    m_thread.stop(GoodbyeMs + 1500, [w] { w->finish(); });
    m_worker = nullptr;
}

void BrokerLink::setState(const QByteArray& json)
{
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker, json] { w->setState(json); }, Qt::QueuedConnection);
}

void BrokerLink::reply(const QByteArray& json)
{
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker, json] { w->reply(json); }, Qt::QueuedConnection);
}

void BrokerLink::recordWritten()
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, &BrokerWorker::more, Qt::QueuedConnection);
}

#include "brokerlink.moc"
