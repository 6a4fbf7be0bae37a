#include "benchservice.h"

#include "../station/firmwaresummary.h"
#include "../station/localbench.h"
#include "../station/station.h"
#include "benchadaptor.h"
#include "benchbus.h"
#include "polkitauthority.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaProperty>
#include <pwd.h>

namespace {

constexpr int Quarter = 250; // ms: properties are said at most this often

QString compact(const QJsonValue& v)
{
    return v.isObject()  ? QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact))
           : v.isArray() ? QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact))
                         : QString();
}

} // namespace

BenchService::BenchService(Station& station, BenchHost& host, QObject* parent)
    : QObject(parent), m_station(station), m_commands(station, host)
{
    new BenchAdaptor(this);
    m_soon.setSingleShot(true);
    connect(&m_soon, &QTimer::timeout, this, &BenchService::publish);
    m_progress.setInterval(Quarter);
    connect(&m_progress, &QTimer::timeout, this, &BenchService::publish);
    connect(&m_station, &Station::slotChanged, this, &BenchService::changed);
    connect(&m_station, &Station::newUnitsRefused, this, &BenchService::changed);
    connect(&m_station, &Station::stopped, this, &BenchService::changed);
    connect(&m_station, &Station::databaseChanged, this, &BenchService::changed);
    connect(&m_station, &Station::problemsChanged, this, &BenchService::changed);
    connect(&m_station, &Station::permitsChanged, this, &BenchService::changed);
    connect(&m_station, &Station::unitRecorded, this, [this](int slot, const UnitRecord& r) {
        changed();
        if (registered())
            emit UnitRecorded(slot, QString::fromUtf8(r.toJsonLine().trimmed()));
    });
}

BenchService::~BenchService()
{
    stop();
}

bool BenchService::start(const QString& station, QString* why)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        *why = QStringLiteral("no system bus (%1)").arg(bus.lastError().message());
        return false;
    }
    const QString service = BenchBus::serviceName(station);
    if (!bus.registerObject(BenchBus::objectPath(), this)) {
        *why = QStringLiteral("the bench's object could not be registered");
        return false;
    }
    // Refused when another station has the name, or the bus's policy gives it to no one here.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(service, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(BenchBus::objectPath());
        *why = reply.isValid() ? QStringLiteral("%1 is another station's").arg(service)
                               : QStringLiteral("%1 is refused: %2")
                                     .arg(service, reply.error().message());
        return false;
    }
    m_service = service;
    m_stationName = station;
    m_said = properties();
    m_lastSaid.start();
    return true;
}

void BenchService::stop()
{
    if (m_service.isEmpty())
        return;
    publish(); // the last state, then the name goes
    QDBusConnection bus = QDBusConnection::systemBus();
    bus.unregisterService(m_service);
    bus.unregisterObject(BenchBus::objectPath());
    m_service.clear();
    m_soon.stop();
    m_progress.stop();
}

QString BenchService::name() const
{
    return m_stationName.isEmpty() ? m_station.bench().name : m_stationName;
}

bool BenchService::running() const
{
    return m_station.running();
}

QString BenchService::job() const
{
    return m_station.job().isEmpty() ? QString() : compact(m_station.job().toJson());
}

QString BenchService::firmware() const
{
    const FirmwareFile& f = m_station.firmwareFile();
    if (f.path.isEmpty())
        return QString();
    const UnitNumbering& n = m_station.numbering();
    const std::optional<quint64> next =
        n.enabled() ? std::optional<quint64>(n.nextSerial()) : std::nullopt;
    return compact(FirmwareSummary::of(f, m_station.bench(), next).toJson());
}

QString BenchService::bench() const
{
    return QString::fromUtf8(m_station.bench().toText());
}

uint BenchService::passed() const
{
    return uint(m_station.passed());
}

uint BenchService::failed() const
{
    return uint(m_station.failed());
}

double BenchService::unitsPerHour() const
{
    return m_station.unitsPerHour().value_or(-1);
}

uint BenchService::uploadsUnderWay() const
{
    return uint(m_station.uploadsUnderWay());
}

QString BenchService::newUnitsStopped() const
{
    return m_station.newUnitsStopped();
}

QString BenchService::database() const
{
    return m_station.forwarder().running() ? m_station.forwarder().state() : QString();
}

QString BenchService::slotsText() const
{
    QJsonArray list;
    const BenchConfig& b = m_station.bench();
    for (int i = 0; i < m_station.slotCount(); ++i) {
        QJsonObject slot = m_station.view(i).toJson();
        slot.insert("slot_name", b.slotName(i));
        slot.insert("paused", m_station.paused(i));
        list.append(slot);
    }
    return compact(list);
}

QString BenchService::problems() const
{
    QJsonObject o;
    for (auto it = m_station.problems().begin(); it != m_station.problems().end(); ++it)
        o.insert(it.key(), it.value());
    return compact(o);
}

QString BenchService::order() const
{
    return compact(LocalBench::orderOf(m_station).toJson());
}

QVariantMap BenchService::properties() const
{
    QVariantMap all;
    const QMetaObject* meta = metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        all.insert(QLatin1String(meta->property(i).name()), meta->property(i).read(this));
    return all;
}

void BenchService::changed()
{
    if (!registered() || m_soon.isActive())
        return;
    // At once after a quiet while; otherwise a quarter second after the last time.
    m_soon.start(int(qMax<qint64>(0, Quarter - m_lastSaid.elapsed())));
}

void BenchService::publish()
{
    if (!registered())
        return;
    const QVariantMap now = properties();
    QVariantMap differ;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (m_said.value(it.key()) != it.value())
            differ.insert(it.key(), it.value());
    }
    bool flashing = false;
    for (int i = 0; i < m_station.slotCount(); ++i)
        flashing = flashing || m_station.view(i).state == SlotState::Flashing;
    if (flashing && !m_progress.isActive())
        m_progress.start();
    else if (!flashing)
        m_progress.stop();
    if (differ.isEmpty())
        return;
    m_said = now;
    m_lastSaid.restart();
    QDBusMessage signal = QDBusMessage::createSignal(BenchBus::objectPath(),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << BenchBus::interfaceName() << differ << QStringList();
    QDBusConnection::systemBus().send(signal);
}

QString BenchService::accountOf(const QString& busName) const
{
    const QDBusReply<uint> uid = QDBusConnection::systemBus().interface()->serviceUid(busName);
    if (!uid.isValid())
        return QString();
    const passwd* pw = ::getpwuid(uid.value());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid.value());
}

void BenchService::call(const QString& command, const QJsonObject& arguments)
{
    setDelayedReply(true);
    const QDBusMessage msg = message();
    const BenchCommands::Info* info = BenchCommands::find(command);
    const QString action = BenchCommands::actionId(info->action);
    BenchCaller caller{QStringLiteral("dbus"), QString(), accountOf(msg.service()), QString(),
                       false};
    const auto refuse = [this, msg, command, arguments, action](BenchCaller who,
                                                              const QString& why) {
        const QString text = QStringLiteral("polkit refuses %1 to %2 (%3): %4")
                                 .arg(command, who.account.isEmpty() ? msg.service() : who.account,
                                      action, why);
        m_commands.refuse(command, arguments, who, text);
        QDBusConnection::systemBus().send(msg.createErrorReply(BenchBus::errorNotAuthorized(), text));
    };
    PolkitAuthority::check(
        QDBusConnection::systemBus(), msg.service(), action, false, this,
        [=](const PolkitAuthority::Answer& first) {
            if (first.authorized)
                return authorized(msg, command, arguments, caller);
            if (!first.challenge || !msg.isInteractiveAuthorizationAllowed())
                return refuse(caller, first.challenge
                                          ? QStringLiteral("it needs an engineer's authentication, "
                                                           "and the call allows none")
                                          : first.why);
            // The desktop's agent asks for an engineer's password, not us.
            PolkitAuthority::check(QDBusConnection::systemBus(), msg.service(), action, true,
                                   this, [=](const PolkitAuthority::Answer& second) {
                                       BenchCaller who = caller;
                                       who.authenticated = second.authenticated;
                                       if (second.authorized)
                                           return authorized(msg, command, arguments, who);
                                       refuse(who, second.why);
                                   });
        });
}

void BenchService::authorized(const QDBusMessage& msg, const QString& command,
                              const QJsonObject& arguments, BenchCaller caller)
{
    m_commands.run(command, arguments, caller, [msg, command](const QJsonObject& reply) {
        QDBusMessage answer;
        if (!reply.value("ok").toBool()) {
            answer = msg.createErrorReply(BenchBus::errorRefused(), reply.value("error").toString());
        } else {
            answer = msg.createReply();
            if (command == QLatin1String("stop"))
                answer << uint(reply.value("uploads_under_way").toInt());
            else if (command == QLatin1String("load-job"))
                answer << compact(reply.value("job"));
        }
        QDBusConnection::systemBus().send(answer);
    });
}

void BenchService::Start()
{
    call(QStringLiteral("start"), {});
}

uint BenchService::Stop()
{
    call(QStringLiteral("stop"), {});
    return 0; // the reply is sent once the call is allowed
}

void BenchService::Pause(const QString& slot)
{
    call(QStringLiteral("pause"), {{"slot", slot}});
}

void BenchService::Resume(const QString& slot)
{
    call(QStringLiteral("resume"), {{"slot", slot}});
}

QString BenchService::LoadJob(const QString& job)
{
    call(QStringLiteral("load-job"), {{"job", job}});
    return QString();
}

void BenchService::Scan(const QString& label)
{
    call(QStringLiteral("scan"), {{"label", label}});
}

void BenchService::SetBench(const QString& bench)
{
    call(QStringLiteral("set-bench"), {{"bench", bench}});
}

void BenchService::LoadFile(const QString& file)
{
    call(QStringLiteral("load-file"), {{"file", file}});
}

void BenchService::ClearFault(const QString& slot)
{
    call(QStringLiteral("clear-fault"), {{"slot", slot}});
}
