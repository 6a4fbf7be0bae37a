#include "localbench.h"

#include "station.h"

LocalBench::LocalBench(Station& station, BenchHost& host, QObject* parent)
    : BenchControl(parent), m_station(station), m_commands(station, host)
{
    connect(&m_station, &Station::slotChanged, this, &BenchControl::slotChanged);
    connect(&m_station, &Station::unitRecorded, this, &BenchControl::unitRecorded);
    connect(&m_station, &Station::stopped, this, &BenchControl::stopped);
    connect(&m_station, &Station::noticed, this, &BenchControl::noticed);
    connect(&m_station, &Station::newUnitsRefused, this, &BenchControl::changed);
    connect(&m_station, &Station::databaseChanged, this, &BenchControl::changed);
    connect(&m_station, &Station::permitsChanged, this, &BenchControl::changed);
}

int LocalBench::slotCount() const
{
    return m_station.slotCount();
}

SlotView LocalBench::view(int index) const
{
    return m_station.view(index);
}

bool LocalBench::paused(int index) const
{
    return m_station.paused(index);
}

bool LocalBench::running() const
{
    return m_station.running();
}

int LocalBench::uploadsUnderWay() const
{
    return m_station.uploadsUnderWay();
}

int LocalBench::passed() const
{
    return m_station.passed();
}

int LocalBench::failed() const
{
    return m_station.failed();
}

std::optional<double> LocalBench::unitsPerHour() const
{
    return m_station.unitsPerHour();
}

JobIdentity LocalBench::job() const
{
    return m_station.job();
}

QString LocalBench::newUnitsStopped() const
{
    return m_station.newUnitsStopped();
}

QString LocalBench::databaseState() const
{
    return m_station.forwarder().running() ? m_station.forwarder().state() : QString();
}

BenchConfig LocalBench::bench() const
{
    return m_station.bench();
}

FirmwareSummary LocalBench::firmware() const
{
    const UnitNumbering& n = m_station.numbering();
    return FirmwareSummary::of(m_station.firmwareFile(), m_station.bench(),
                               n.enabled() ? std::optional<quint64>(n.nextSerial()) : std::nullopt);
}

void LocalBench::command(const QString& name, const QJsonObject& arguments, const Reply& done)
{
    m_commands.run(name, arguments, {QStringLiteral("window"), QString(), Station::accountName(),
                                     QString(), false},
                   done);
}

BenchControl::Order LocalBench::orderOf(const Station& station)
{
    const Station::OrderState s = station.orderState();
    Order o;
    o.order = s.order;
    o.units = s.units;
    o.left = s.known ? qint64(s.left) : -1;
    o.held = qint64(s.heldHere);
    return o;
}

BenchControl::Order LocalBench::order() const
{
    return orderOf(m_station);
}

QString BenchControl::Order::text() const
{
    if (order.isEmpty())
        return QString();
    if (left == 0)
        return QStringLiteral("%1: its %2 units are made").arg(order).arg(units);
    if (left < 0)
        return QStringLiteral("%1: %2 units, %3 permits here").arg(order).arg(units).arg(held);
    return QStringLiteral("%1: %2 of %3 left (%4 here)").arg(order).arg(left).arg(units).arg(held);
}

QJsonObject BenchControl::Order::toJson() const
{
    if (order.isEmpty())
        return {};
    QJsonObject o{{"order", order}, {"units", units}, {"held", held}};
    if (left >= 0)
        o.insert("left", left);
    return o;
}

BenchControl::Order BenchControl::Order::fromJson(const QJsonObject& o)
{
    Order r;
    r.order = o.value("order").toString();
    r.units = o.value("units").toInt();
    r.left = o.contains("left") ? o.value("left").toInteger() : -1;
    r.held = o.value("held").toInteger();
    return r;
}
