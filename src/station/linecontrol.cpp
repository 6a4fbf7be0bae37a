#include "linecontrol.h"

#include "station.h"
#include "version.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr int AnswersKept = 1000;

QByteArray compact(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

LineControl::LineControl(Station& station, BenchHost& host, QObject* parent)
    : QObject(parent), m_station(station), m_commands(station, host)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(100);
    connect(&m_soon, &QTimer::timeout, this, &LineControl::publishState);
    m_progress.setInterval(1000);
    connect(&m_progress, &QTimer::timeout, this, &LineControl::publishState);
    connect(&m_link, &BrokerLink::command, this, &LineControl::command);
    connect(&m_link, &BrokerLink::stateChanged, this, &LineControl::stateChanged);
    connect(&m_link, &BrokerLink::stateChanged, this,
            [this](BrokerLink::Health health, const QString& text) {
                m_station.setProblem(QStringLiteral("broker"),
                                     health == BrokerLink::Health::Failing ? text : QString());
            });
    connect(&m_station, &Station::slotChanged, this, &LineControl::changed);
    connect(&m_station, &Station::newUnitsRefused, this, &LineControl::changed);
    connect(&m_station, &Station::stopped, this, &LineControl::changed);
    connect(&m_station, &Station::permitsChanged, this, &LineControl::changed);
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
    m_station.setProblem(QStringLiteral("broker"), QString());
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
    return m_commands.stationState(m_stationName);
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
    const BenchCaller caller{QStringLiteral("mqtt"), id, QString(), QString(), false};
    // Said again, not done again (the broker may deliver a command twice).
    if (m_answered.contains(id)) {
        QJsonObject details{{"command_id", id},
                            {"command", name},
                            {"outcome", QStringLiteral("repeated")},
                            {"via", caller.via}};
        for (const char* key : {"slot", "job", "by"}) {
            if (c.contains(QLatin1String(key)))
                details.insert(QLatin1String(key), c.value(QLatin1String(key)));
        }
        QString why;
        if (!m_station.audit(QStringLiteral("command"), details, &why))
            emit m_station.noticed(QString(), why, true);
        m_link.reply(m_answered.value(id));
        emit replied(m_answered.value(id));
        return;
    }
    if (m_underWay.contains(id))
        return; // its reply comes once it is done
    // The bench itself is changed on the system bus, where polkit decides.
    if (const BenchCommands::Info* info = BenchCommands::find(name);
        info && info->action == BenchAction::Configure) {
        answer(id, m_commands.refuse(name, c, caller,
                                     QStringLiteral("%1 is taken on the system bus only, where "
                                                    "polkit decides who may change the bench")
                                         .arg(name)));
        return;
    }
    m_underWay << id;
    m_commands.run(name, c, caller, [this, id](const QJsonObject& reply) {
        m_underWay.removeAll(id);
        answer(id, reply);
    });
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
