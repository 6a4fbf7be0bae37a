#include "benchcommands.h"

#include "station.h"
#include "version.h"

#include <QDateTime>
#include <QJsonArray>

namespace {

QString now()
{
    return QDateTime::currentDateTime()
        .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
        .toString(Qt::ISODateWithMs);
}

} // namespace

const QVector<BenchCommands::Info>& BenchCommands::table()
{
    using A = BenchAction;
    static const QVector<Info> commands = {
        {"status", A::Observe, "", "state: the station, its job and each slot"},
        {"start", A::Operate, "", "a stopped station starts; a running one's paused slots go on"},
        {"stop", A::Operate, "", "uploads_under_way: the units let finish before it ends"},
        {"pause", A::Operate, "slot", "slots: the ports paused (every slot without one)"},
        {"resume", A::Operate, "slot", "slots: the ports that go on"},
        {"load-job", A::Operate, "job", "job: the released job now run"},
        {"scan", A::Operate, "label", "a unit's label, as a scanner reads it (a slot's name first picks the slot)"},
        {"set-bench", A::Configure, "bench", "the bench (a config's text) run next, of no job"},
        {"load-file", A::Configure, "file", "the firmware file run next, of no job"},
        {"clear-fault", A::Configure, "slot", "slots: the ports whose last result is forgotten"},
    };
    return commands;
}

const BenchCommands::Info* BenchCommands::find(const QString& name)
{
    for (const Info& c : table()) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

QString BenchCommands::actionWord(BenchAction action)
{
    switch (action) {
    case BenchAction::Observe:
        return QStringLiteral("observe");
    case BenchAction::Operate:
        return QStringLiteral("operate");
    case BenchAction::Configure:
        return QStringLiteral("configure");
    }
    return QString();
}

QString BenchCommands::actionId(BenchAction action)
{
    return QStringLiteral("com.tarvellabs.firmware-station.") + actionWord(action);
}

BenchCommands::BenchCommands(Station& station, BenchHost& host, QObject* parent)
    : QObject(parent), m_station(station), m_host(host)
{
}

QJsonObject BenchCommands::stationState(const QString& name) const
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
    return {{"station", name},
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
            {"order", [this] {
                 const Station::OrderState o = m_station.orderState();
                 if (o.order.isEmpty())
                     return QJsonValue();
                 QJsonObject j{{"order", o.order}, {"units", o.units}, {"held", qint64(o.heldHere)}};
                 if (o.known)
                     j.insert("left", qint64(o.left));
                 return QJsonValue(j);
             }()},
            {"problems", [this] {
                 QJsonObject o;
                 for (auto it = m_station.problems().begin(); it != m_station.problems().end(); ++it)
                     o.insert(it.key(), it.value());
                 return o;
             }()},
            {"loader_version", QStringLiteral(LOADER_VERSION)},
            {"slots", slotList}};
}

QList<int> BenchCommands::slotsNamed(const QJsonObject& arguments, QString* error) const
{
    QList<int> found;
    const BenchConfig& bench = m_station.bench();
    const QJsonValue slot = arguments.value("slot");
    const bool every = slot.isUndefined() || slot.isNull() || slot.toString().isEmpty();
    for (int i = 0; i < m_station.slotCount(); ++i) {
        if (every || m_station.view(i).port == slot.toString() ||
            (!bench.slotName(i).isEmpty() && bench.slotName(i) == slot.toString()))
            found << i;
    }
    if (found.isEmpty())
        *error = !every ? QStringLiteral("no slot is called \"%1\"").arg(slot.toString())
                        : QStringLiteral("the station has no slot");
    return found;
}

QJsonObject BenchCommands::refuse(const QString& name, const QJsonObject& arguments,
                                  const BenchCaller& caller, const QString& why)
{
    audit(name, arguments, caller, QStringLiteral("refused"), why);
    return {{"command", name}, {"ok", false}, {"error", why}};
}

void BenchCommands::run(const QString& name, const QJsonObject& c, const BenchCaller& caller,
                        const Done& reply)
{
    const auto refused = [&](const QString& why) { reply(refuse(name, c, caller, why)); };
    const auto done = [&](QJsonObject more = {}) {
        audit(name, c, caller, QStringLiteral("done"), QString());
        more.insert("command", name);
        more.insert("ok", true);
        reply(more);
    };
    const Info* info = find(name);
    if (!info) {
        QStringList known;
        for (const Info& k : table())
            known << QLatin1String(k.name);
        reply({{"command", name},
               {"ok", false},
               {"error", QStringLiteral("\"%1\" is no command: %2")
                             .arg(name, known.join(QStringLiteral(", ")))}});
        return;
    }
    if (name == QLatin1String("status")) {
        reply({{"command", name}, {"ok", true}, {"state", stationState(m_station.bench().name)}});
    } else if (name == QLatin1String("start")) {
        if (m_station.running()) {
            // Running already: every paused slot goes on.
            for (int i = 0; i < m_station.slotCount(); ++i)
                m_station.setPaused(i, false);
            return done();
        }
        QString why;
        if (!m_host.startStation(&why))
            return refused(why);
        done();
    } else if (name == QLatin1String("stop")) {
        if (!m_station.running())
            return refused(QStringLiteral("the station is not running"));
        done({{"uploads_under_way", m_station.uploadsUnderWay()}});
        m_host.stopStation();
    } else if (name == QLatin1String("pause") || name == QLatin1String("resume") ||
               name == QLatin1String("clear-fault")) {
        QString why;
        const QList<int> named = slotsNamed(c, &why);
        if (named.isEmpty())
            return refused(why);
        QJsonArray ports;
        for (int i : named) {
            if (name == QLatin1String("clear-fault"))
                m_station.clearLastResult(i);
            else
                m_station.setPaused(i, name == QLatin1String("pause"));
            ports.append(m_station.view(i).port);
        }
        done({{"slots", ports}});
    } else if (name == QLatin1String("scan")) {
        const QString label = c.value("label").toString();
        if (label.trimmed().isEmpty())
            return refused(QStringLiteral("scan needs the \"label\""));
        m_station.scan(label);
        done();
    } else if (name == QLatin1String("load-job")) {
        const QString path = c.value("job").toString();
        if (path.isEmpty())
            return refused(QStringLiteral("load-job needs the \"job\": its path on this host"));
        m_host.loadJob(path, [this, name, c, caller, reply](const QString& error) {
            if (!error.isEmpty())
                return reply(refuse(name, c, caller, error));
            audit(name, c, caller, QStringLiteral("done"), QString());
            reply({{"command", name}, {"ok", true}, {"job", m_station.job().toJson()}});
        });
    } else {
        // set-bench and load-file: a bench of no job, from its text or the
        // bench as it is with another file.
        BenchConfig bench = m_station.bench();
        QString why;
        if (name == QLatin1String("set-bench")) {
            const QString text = c.value("bench").toString();
            if (text.trimmed().isEmpty())
                return refused(QStringLiteral("set-bench needs the \"bench\": a config's text"));
            bench = BenchConfig();
            if (!bench.readText(text.toUtf8(), QStringLiteral("the bench"), &why))
                return refused(why);
        } else {
            const QString file = c.value("file").toString();
            if (file.isEmpty())
                return refused(QStringLiteral("load-file needs the \"file\": its path on this host"));
            bench.file = file;
            bench.sha256.clear(); // another build than the one pinned, by its nature
        }
        m_host.loadBench(bench, [this, name, c, caller, reply](const QString& error) {
            if (!error.isEmpty())
                return reply(refuse(name, c, caller, error));
            audit(name, c, caller, QStringLiteral("done"), QString());
            reply({{"command", name}, {"ok", true}, {"file", m_station.firmwareFile().path}});
        });
    }
}

void BenchCommands::audit(const QString& name, const QJsonObject& command,
                          const BenchCaller& caller, const QString& outcome, const QString& error)
{
    if (name == QLatin1String("status"))
        return; // looking changes nothing
    // "id" is the audit line's own.
    QJsonObject details{{"command", name}, {"outcome", outcome}, {"via", caller.via}};
    if (!caller.id.isEmpty())
        details.insert("command_id", caller.id);
    if (!caller.account.isEmpty())
        details.insert("caller", caller.account);
    if (caller.authenticated)
        details.insert("authenticated", true);
    for (const char* key : {"slot", "job", "by", "file", "label"}) {
        if (command.contains(QLatin1String(key)))
            details.insert(QLatin1String(key), command.value(QLatin1String(key)));
    }
    if (!caller.by.isEmpty() && !details.contains("by"))
        details.insert("by", caller.by);
    if (!error.isEmpty())
        details.insert("error", error);
    QString why;
    if (!m_station.audit(QStringLiteral("command"), details, &why))
        emit m_station.noticed(QString(), why, true);
}
