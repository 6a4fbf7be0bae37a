#include "remotebench.h"

#include "benchbus.h"
#include "benchinterface.h"
#include "polkitauthority.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QJsonDocument>

namespace {

QJsonObject objectOf(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace

RemoteBench::RemoteBench(const QDBusConnection& bus, const QString& station, QObject* parent)
    : BenchControl(parent), m_bus(bus), m_station(station)
{
}

RemoteBench::~RemoteBench() = default;

bool RemoteBench::attach(QString* why)
{
    if (!m_bus.isConnected()) {
        *why = QStringLiteral("there is no system bus here (%1)").arg(m_bus.lastError().message());
        return false;
    }
    const QString service = BenchBus::serviceName(m_station);
    m_proxy = std::make_unique<ComTarvellabsFirmwareStation1BenchInterface>(
        service, BenchBus::objectPath(), m_bus);
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        service, BenchBus::objectPath(), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("GetAll"));
    getAll << BenchBus::interfaceName();
    const QDBusMessage all = m_bus.call(getAll, QDBus::Block, 10000);
    if (all.type() != QDBusMessage::ReplyMessage || all.arguments().isEmpty()) {
        const QStringList found = BenchBus::benches(m_bus);
        *why = QStringLiteral("no station service runs the bench %1 (%2)%3")
                   .arg(m_station, all.errorMessage(),
                        found.isEmpty() ? QStringLiteral("; there is none on this bus")
                                        : QStringLiteral("; the benches here: ") +
                                              found.join(QStringLiteral(", ")));
        return false;
    }
    if (!m_bus.connect(service, BenchBus::objectPath(),
                       QStringLiteral("org.freedesktop.DBus.Properties"),
                       QStringLiteral("PropertiesChanged"), this,
                       SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)))) {
        *why = QStringLiteral("the bench's changes cannot be followed: %1")
                   .arg(m_bus.lastError().message());
        return false;
    }
    connect(m_proxy.get(), &ComTarvellabsFirmwareStation1BenchInterface::UnitRecorded, this,
            [this](int slot, const QString& line) {
                if (const auto record = UnitRecord::fromJson(objectOf(line)))
                    emit unitRecorded(slot, *record);
            });
    m_watcher = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        emit lost(QStringLiteral("the station service of %1 has ended").arg(m_station));
    });
    take(qdbus_cast<QVariantMap>(all.arguments().first()));
    refreshPermissions();
    return true;
}

void RemoteBench::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                      const QStringList&)
{
    if (interface == BenchBus::interfaceName())
        take(changed);
}

void RemoteBench::take(const QVariantMap& changed)
{
    for (auto it = changed.begin(); it != changed.end(); ++it)
        m_properties.insert(it.key(), it.value());
    if (changed.contains(QStringLiteral("Bench"))) {
        BenchConfig b;
        QString ignored;
        if (b.readText(m_properties.value(QStringLiteral("Bench")).toString().toUtf8(),
                       QStringLiteral("the service's bench"), &ignored))
            m_bench = b;
    }
    if (changed.contains(QStringLiteral("SlotStates"))) {
        const QJsonArray now =
            QJsonDocument::fromJson(m_properties.value(QStringLiteral("SlotStates")).toString().toUtf8())
                .array();
        const int before = int(m_views.size());
        m_views.resize(now.size());
        for (int i = 0; i < now.size(); ++i) {
            if (i < before && i < m_slots.size() && m_slots[i] == now[i])
                continue;
            m_views[i] = SlotView::fromJson(now[i].toObject());
            emit slotChanged(i);
        }
        m_slots = now;
    }
    emit this->changed();
}

bool RemoteBench::paused(int index) const
{
    return m_slots.at(index).toObject().value("paused").toBool();
}

bool RemoteBench::running() const
{
    return m_properties.value(QStringLiteral("Running")).toBool();
}

int RemoteBench::uploadsUnderWay() const
{
    return m_properties.value(QStringLiteral("UploadsUnderWay")).toInt();
}

int RemoteBench::passed() const
{
    return m_properties.value(QStringLiteral("Passed")).toInt();
}

int RemoteBench::failed() const
{
    return m_properties.value(QStringLiteral("Failed")).toInt();
}

std::optional<double> RemoteBench::unitsPerHour() const
{
    const double rate = m_properties.value(QStringLiteral("UnitsPerHour"), -1).toDouble();
    return rate < 0 ? std::nullopt : std::optional<double>(rate);
}

JobIdentity RemoteBench::job() const
{
    const QJsonObject j = objectOf(m_properties.value(QStringLiteral("Job")).toString());
    return {j.value("file").toString(), j.value("sha256").toString(), j.value("signer").toString()};
}

QString RemoteBench::newUnitsStopped() const
{
    return m_properties.value(QStringLiteral("NewUnitsStopped")).toString();
}

QString RemoteBench::databaseState() const
{
    return m_properties.value(QStringLiteral("Database")).toString();
}

FirmwareSummary RemoteBench::firmware() const
{
    return FirmwareSummary::fromJson(objectOf(m_properties.value(QStringLiteral("Firmware")).toString()));
}

BenchControl::Order RemoteBench::order() const
{
    return Order::fromJson(objectOf(m_properties.value(QStringLiteral("Order")).toString()));
}

BenchControl::Permission RemoteBench::permission(BenchAction action) const
{
    switch (action) {
    case BenchAction::Observe:
        return m_observe;
    case BenchAction::Operate:
        return m_operate;
    case BenchAction::Configure:
        return m_configure;
    }
    return Permission::No;
}

void RemoteBench::refreshPermissions()
{
    // polkit's answer for this very process, without asking anyone.
    for (BenchAction action : {BenchAction::Observe, BenchAction::Operate, BenchAction::Configure}) {
        PolkitAuthority::check(m_bus, m_bus.baseService(), BenchCommands::actionId(action), false,
                               this, [this, action](const PolkitAuthority::Answer& a) {
                                   // No polkit, no one may: said once, on the first action asked.
                                   if (!a.authorized && !a.challenge &&
                                       a.why.startsWith(QLatin1String("polkit could not")) &&
                                       action == BenchAction::Observe)
                                       emit noticed(QString(),
                                                    QStringLiteral("%1: nothing is offered")
                                                        .arg(a.why),
                                                    true);
                                   const Permission p = a.authorized  ? Permission::Yes
                                                        : a.challenge ? Permission::Challenge
                                                                      : Permission::No;
                                   Permission& kept = action == BenchAction::Observe ? m_observe
                                                      : action == BenchAction::Operate
                                                          ? m_operate
                                                          : m_configure;
                                   if (kept == p)
                                       return;
                                   kept = p;
                                   emit permissionsChanged();
                               });
    }
}

void RemoteBench::command(const QString& name, const QJsonObject& a, const Reply& done)
{
    if (!m_proxy) {
        done({{"command", name}, {"ok", false}, {"error", QStringLiteral("not attached")}});
        return;
    }
    // The methods by the table's names, and what each takes.
    static const QHash<QString, QPair<QString, QString>> methods = {
        {QStringLiteral("start"), {QStringLiteral("Start"), QString()}},
        {QStringLiteral("stop"), {QStringLiteral("Stop"), QString()}},
        {QStringLiteral("pause"), {QStringLiteral("Pause"), QStringLiteral("slot")}},
        {QStringLiteral("resume"), {QStringLiteral("Resume"), QStringLiteral("slot")}},
        {QStringLiteral("load-job"), {QStringLiteral("LoadJob"), QStringLiteral("job")}},
        {QStringLiteral("scan"), {QStringLiteral("Scan"), QStringLiteral("label")}},
        {QStringLiteral("set-bench"), {QStringLiteral("SetBench"), QStringLiteral("bench")}},
        {QStringLiteral("load-file"), {QStringLiteral("LoadFile"), QStringLiteral("file")}},
        {QStringLiteral("clear-fault"), {QStringLiteral("ClearFault"), QStringLiteral("slot")}},
    };
    if (!methods.contains(name)) {
        done({{"command", name},
              {"ok", false},
              {"error", QStringLiteral("\"%1\" is no method of a bench's service").arg(name)}});
        return;
    }
    const auto& [method, argument] = methods.value(name);
    QDBusMessage message = QDBusMessage::createMethodCall(
        BenchBus::serviceName(m_station), BenchBus::objectPath(), BenchBus::interfaceName(), method);
    if (!argument.isEmpty())
        message << a.value(argument).toString();
    // polkit's agent may ask for an engineer's password meanwhile: minutes, not seconds.
    message.setInteractiveAuthorizationAllowed(true);
    const QDBusPendingCall call = m_bus.asyncCall(message, 5 * 60 * 1000);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, name, done] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ErrorMessage) {
            done({{"command", name},
                  {"ok", false},
                  {"error", reply.errorMessage()},
                  {"not_authorized", reply.errorName() == BenchBus::errorNotAuthorized()}});
            return;
        }
        QJsonObject ok{{"command", name}, {"ok", true}};
        if (name == QLatin1String("stop") && !reply.arguments().isEmpty())
            ok.insert("uploads_under_way", reply.arguments().first().toInt());
        if (name == QLatin1String("load-job") && !reply.arguments().isEmpty())
            ok.insert("job", objectOf(reply.arguments().first().toString()));
        done(ok);
    });
}
