#include "linecontrol.h"

#include "station.h"
#include "version.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr int AnswersKept = 1000;
const char* const commands[] = {"status", "start", "stop", "pause", "resume", "load-job"};

QByteArray compact(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString now()
{
    return QDateTime::currentDateTime()
        .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
        .toString(Qt::ISODateWithMs);
}

} // namespace

LineControl::LineControl(Station& station, LineHost& host, QObject* parent)
    : QObject(parent), m_station(station), m_host(host)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(100);
    connect(&m_soon, &QTimer::timeout, this, &LineControl::publishState);
    m_progress.setInterval(1000);
    connect(&m_progress, &QTimer::timeout, this, &LineControl::publishState);
    connect(&m_link, &BrokerLink::command, this, &LineControl::command);
    connect(&m_link, &BrokerLink::stateChanged, this, &LineControl::stateChanged);
    connect(&m_station, &Station::slotChanged, this, &LineControl::changed);
    connect(&m_station, &Station::newUnitsRefused, this, &LineControl::changed);
    connect(&m_station, &Station::stopped, this, &LineControl::changed);
    connect(&m_station, &Station::unitRecorded, this, [this] {
        m_link.recordWritten();
        changed();
    });
}

LineControl::~LineControl()
{
    stop();
}

void LineControl::start(const BrokerUrl& url, const QString& name, const QString& record)
{
    m_stationName = name;
    m_link.start(url, name, record, offlineState(name));
    publishState();
}

void LineControl::stop()
{
    m_soon.stop();
    m_progress.stop();
    m_link.stop();
}

QByteArray LineControl::offlineState(const QString& station)
{
    return compact({{"station", station}, {"online", false}});
}

QJsonObject LineControl::stationState() const
{
    const BenchConfig& bench = m_station.bench();
    QJsonArray slotList;
    const QVector<SlotView> views = m_station.views();
    for (int i = 0; i < views.size(); ++i) {
        const SlotView& v = views[i];
        QJsonObject slot{{"slot", v.port},
                         {"name", bench.slotName(i)},
                         {"state", QString::fromLatin1(SlotView::stateKey(v.state))},
                         {"reason", v.reason},
                         {"paused", m_station.paused(i)},
                         {"passed", v.passed},
                         {"failed", v.failed}};
        if (v.state == SlotState::Flashing) {
            QJsonObject unit{{"lines_sent", v.progress.linesSent},
                             {"lines", v.progress.totalLines}};
            if (v.own.hasSerial)
                unit.insert("serial", qint64(v.own.serial));
            if (!v.label.isEmpty())
                unit.insert("label", v.label);
            slot.insert("unit", unit);
        }
        if (v.last)
            slot.insert("last", QJsonObject{{"id", v.last->id.toString(QUuid::WithoutBraces)},
                                            {"result", RecordWords::result(v.last->result)}});
        slotList.append(slot);
    }
    const std::optional<double> rate = m_station.unitsPerHour();
    return {{"station", m_stationName},
            {"online", true},
            {"running", m_station.running()},
            {"time", now()},
            {"file", m_station.firmwareFile().path},
            {"sha256", m_station.firmwareFile().sha256},
            {"job", m_station.job().file.isEmpty() ? QJsonValue() : m_station.job().toJson()},
            {"passed", m_station.passed()},
            {"failed", m_station.failed()},
            {"units_per_hour", rate ? QJsonValue(qRound(*rate * 10) / 10.0) : QJsonValue()},
            {"new_units_stopped", m_station.newUnitsStopped()},
            {"loader_version", QStringLiteral(LOADER_VERSION)},
            {"slots", slotList}};
}

void LineControl::changed()
{
    if (m_link.running() && !m_soon.isActive())
        m_soon.start();
}

void LineControl::publishState()
{
    if (!m_link.running())
        return;
    QJsonObject state = stationState();
    // Progress once a second while a unit is flashed; the time alone is no change.
    bool flashing = false;
    for (const QJsonValue& s : state.value("slots").toArray())
        flashing = flashing || s["state"].toString() == QLatin1String("flashing");
    if (flashing && !m_progress.isActive())
        m_progress.start();
    else if (!flashing)
        m_progress.stop();
    m_link.setState(compact(state));
}

QList<int> LineControl::slotsNamed(const QJsonObject& command, QString* error) const
{
    QList<int> found;
    const BenchConfig& bench = m_station.bench();
    const QJsonValue slot = command.value("slot");
    for (int i = 0; i < m_station.slotCount(); ++i) {
        if (slot.isUndefined() || slot.isNull() || m_station.view(i).port == slot.toString() ||
            (!bench.slotName(i).isEmpty() && bench.slotName(i) == slot.toString()))
            found << i;
    }
    if (found.isEmpty())
        *error = slot.isString() ? QStringLiteral("no slot is called \"%1\"").arg(slot.toString())
                                 : QStringLiteral("the station has no slot");
    return found;
}

void LineControl::command(const QByteArray& payload)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &parse);
    if (!doc.isObject()) {
        answer(QString(), {{"ok", false},
                           {"error", parse.error != QJsonParseError::NoError
                                         ? QStringLiteral("the command is no JSON: %1 at byte %2")
                                               .arg(parse.errorString())
                                               .arg(parse.offset)
                                         : QStringLiteral("the command is no JSON object")}});
        return;
    }
    const QJsonObject c = doc.object();
    const QJsonValue idValue = c.value("id");
    const QString id = idValue.isString()   ? idValue.toString()
                       : idValue.isDouble() ? QString::number(idValue.toDouble(), 'g', 17)
                                            : QString();
    const QString name = c.value("command").toString();
    if (id.isEmpty()) {
        answer(QString(), {{"command", name},
                           {"ok", false},
                           {"error", QStringLiteral("a command needs an \"id\", a string its "
                                                    "reply carries")}});
        return;
    }
    // Said again, not done again (the broker may deliver a command twice).
    if (m_answered.contains(id)) {
        audit(id, c, QStringLiteral("repeated"), QString());
        m_link.reply(m_answered.value(id));
        emit replied(m_answered.value(id));
        return;
    }
    if (m_underWay.contains(id))
        return; // its reply comes once it is done
    const auto refuse = [&](const QString& why) {
        audit(id, c, QStringLiteral("refused"), why);
        answer(id, {{"command", name}, {"ok", false}, {"error", why}});
    };
    const auto done = [&](QJsonObject more = {}) {
        audit(id, c, QStringLiteral("done"), QString());
        more.insert("command", name);
        more.insert("ok", true);
        answer(id, more);
    };
    if (name == QLatin1String("status")) {
        answer(id, {{"command", name}, {"ok", true}, {"state", stationState()}});
    } else if (name == QLatin1String("start")) {
        if (m_station.running()) {
            // Running already: every paused slot goes on.
            for (int i = 0; i < m_station.slotCount(); ++i)
                m_station.setPaused(i, false);
            done();
            return;
        }
        QString why;
        if (!m_host.startStation(&why))
            refuse(why);
        else
            done();
    } else if (name == QLatin1String("stop")) {
        if (!m_station.running())
            return refuse(QStringLiteral("the station is not running"));
        done({{"uploads_under_way", m_station.uploadsUnderWay()}});
        m_host.stopStation();
    } else if (name == QLatin1String("pause") || name == QLatin1String("resume")) {
        QString why;
        const QList<int> named = slotsNamed(c, &why);
        if (named.isEmpty())
            return refuse(why);
        QJsonArray ports;
        for (int i : named) {
            m_station.setPaused(i, name == QLatin1String("pause"));
            ports.append(m_station.view(i).port);
        }
        done({{"slots", ports}});
    } else if (name == QLatin1String("load-job")) {
        const QString path = c.value("job").toString();
        if (path.isEmpty())
            return refuse(QStringLiteral("load-job needs the \"job\": its path on this host"));
        m_underWay << id;
        m_host.loadJob(path, [this, id, c, name](const QString& error) {
            m_underWay.removeAll(id);
            if (!error.isEmpty()) {
                audit(id, c, QStringLiteral("refused"), error);
                answer(id, {{"command", name}, {"ok", false}, {"error", error}});
                return;
            }
            audit(id, c, QStringLiteral("done"), QString());
            answer(id, {{"command", name}, {"ok", true}, {"job", m_station.job().toJson()}});
        });
    } else {
        QStringList known;
        for (const char* k : commands)
            known << QLatin1String(k);
        answer(id, {{"command", name},
                    {"ok", false},
                    {"error", QStringLiteral("\"%1\" is no command: %2")
                                  .arg(name, known.join(QStringLiteral(", ")))}});
    }
}

void LineControl::answer(const QString& id, QJsonObject reply)
{
    reply.insert("id", id.isEmpty() ? QJsonValue() : QJsonValue(id));
    reply.insert("station", m_stationName);
    const QByteArray text = compact(reply);
    if (!id.isEmpty()) {
        m_answered.insert(id, text);
        m_order << id;
        while (m_order.size() > AnswersKept)
            m_answered.remove(m_order.takeFirst());
    }
    m_link.reply(text);
    emit replied(text);
}

void LineControl::audit(const QString& id, const QJsonObject& command, const QString& outcome,
                        const QString& error)
{
    // "id" is the audit line's own.
    QJsonObject details{
        {"command_id", id}, {"command", command.value("command").toString()}, {"outcome", outcome}};
    for (const char* key : {"slot", "job", "by"}) {
        if (command.contains(QLatin1String(key)))
            details.insert(QLatin1String(key), command.value(QLatin1String(key)));
    }
    if (!error.isEmpty())
        details.insert("error", error);
    QString why;
    if (!m_station.audit(QStringLiteral("command"), details, &why))
        emit m_station.noticed(QString(), why, true);
}
