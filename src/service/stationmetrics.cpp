#include "stationmetrics.h"

#include "../platform/atomicfile.h"
#include "../station/station.h"

namespace {

constexpr int RewriteMs = 5000;
const QByteArray prefix = "firmware_station_";

// A label value, escaped as the text format wants it.
QByteArray label(const QString& value)
{
    QByteArray v = value.toUtf8();
    v.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return '"' + v + '"';
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'g', 15);
}

void describe(QByteArray& out, const char* name, const char* type, const char* help)
{
    out += "# HELP " + prefix + name + ' ' + help + "\n# TYPE " + prefix + name + ' ' + type + '\n';
}

QByteArray resultLabel(UnitResult result)
{
    switch (result) {
    case UnitResult::Pass:
        return "pass";
    case UnitResult::Fail:
        return "fail";
    case UnitResult::Interrupted:
        return "interrupted";
    }
    return "unknown";
}

} // namespace

StationMetrics::StationMetrics(Station& station, const QString& path, QObject* parent)
    : QObject(parent), m_station(station), m_path(path), m_started(QDateTime::currentDateTimeUtc()),
      m_bucketCounts(buckets().size() + 1, 0)
{
    m_timer.setInterval(RewriteMs);
    connect(&m_timer, &QTimer::timeout, this, &StationMetrics::writeQuietly);
    m_timer.start();
    connect(&m_station, &Station::unitRecorded, this, &StationMetrics::onUnit);
}

const QVector<double>& StationMetrics::buckets()
{
    static const QVector<double> b = {5, 10, 20, 30, 45, 60, 90, 120, 180, 300, 600};
    return b;
}

void StationMetrics::onUnit(int, const UnitRecord& r)
{
    PerSlot& s = m_slots[r.slot];
    switch (r.result) {
    case UnitResult::Pass:
        ++s.pass;
        break;
    case UnitResult::Fail:
        ++s.fail;
        break;
    case UnitResult::Interrupted:
        ++s.interrupted;
        break;
    }
    s.linesSent += r.linesSent;
    s.resends += r.resends;
    for (int i = 0; i < buckets().size(); ++i) {
        if (r.seconds <= buckets()[i])
            ++m_bucketCounts[i];
    }
    ++m_bucketCounts.last();
    m_durationSum += r.seconds;
    ++m_durationCount;
    writeQuietly();
}

QByteArray StationMetrics::text() const
{
    const QByteArray station = "station=" + label(m_station.bench().name);
    const QVector<SlotView> views = m_station.views();
    QByteArray out;
    describe(out, "units_total", "counter", "Units flashed since the station started, by result.");
    for (const SlotView& slot : views) {
        const PerSlot s = m_slots.value(slot.port);
        const QByteArray labels = station + ",slot=" + label(slot.port);
        for (const auto& [result, count] :
             {std::pair{UnitResult::Pass, s.pass}, std::pair{UnitResult::Fail, s.fail},
              std::pair{UnitResult::Interrupted, s.interrupted}})
            out += prefix + "units_total{" + labels + ",result=\"" + resultLabel(result) + "\"} " +
                   QByteArray::number(count) + '\n';
    }
    describe(out, "slot_state", "gauge", "1 for the state the slot is in, 0 for the others.");
    for (const SlotView& slot : views) {
        const QByteArray labels = station + ",slot=" + label(slot.port);
        for (const SlotState state :
             {SlotState::Stopped, SlotState::WaitingForAdaptor, SlotState::WaitingForUnit,
              SlotState::Flashing, SlotState::WaitingForRemoval})
            out += prefix + "slot_state{" + labels + ",state=\"" + SlotView::stateKey(state) +
                   "\"} " + (slot.state == state ? "1" : "0") + '\n';
    }
    describe(out, "lines_sent_total", "counter",
             "Lines of the file sent to units that ended, resends not counted.");
    for (const SlotView& slot : views)
        out += prefix + "lines_sent_total{" + station + ",slot=" + label(slot.port) + "} " +
               QByteArray::number(m_slots.value(slot.port).linesSent) + '\n';
    describe(out, "resends_total", "counter",
             "Lines sent again after a \"+\", to units that ended.");
    for (const SlotView& slot : views)
        out += prefix + "resends_total{" + station + ",slot=" + label(slot.port) + "} " +
               QByteArray::number(m_slots.value(slot.port).resends) + '\n';
    describe(out, "unit_duration_seconds", "histogram", "How long a unit's upload took.");
    for (int i = 0; i < buckets().size(); ++i)
        out += prefix + "unit_duration_seconds_bucket{" + station + ",le=\"" +
               number(buckets()[i]) + "\"} " + QByteArray::number(m_bucketCounts[i]) + '\n';
    out += prefix + "unit_duration_seconds_bucket{" + station + ",le=\"+Inf\"} " +
           QByteArray::number(m_bucketCounts.last()) + '\n';
    out += prefix + "unit_duration_seconds_sum{" + station + "} " + number(m_durationSum) + '\n';
    out += prefix + "unit_duration_seconds_count{" + station + "} " +
           QByteArray::number(m_durationCount) + '\n';
    if (m_station.forwarder().running()) {
        describe(out, "database_pending_records", "gauge",
                 "Record lines not yet in the factory's database.");
        out += prefix + "database_pending_records{" + station + "} " +
               QByteArray::number(m_station.forwarder().pending()) + '\n';
    }
    describe(out, "problem", "gauge",
             "1 for each thing that asks for attention, by its source (broker, serials).");
    for (auto it = m_station.problems().begin(); it != m_station.problems().end(); ++it)
        out += prefix + "problem{" + station + ",source=" + label(it.key()) + "} 1\n";
    if (const Station::OrderState o = m_station.orderState(); !o.order.isEmpty()) {
        const QByteArray order = ",order=" + label(o.order);
        describe(out, "order_permits_held", "gauge", "The work order's permits held here.");
        out += prefix + "order_permits_held{" + station + order + "} " +
               QByteArray::number(o.heldHere) + '\n';
        if (o.known) {
            describe(out, "order_permits_left", "gauge",
                     "The work order's permits left in the factory: not leased, and held here.");
            out += prefix + "order_permits_left{" + station + order + "} " +
                   QByteArray::number(o.left) + '\n';
        }
    }
    if (m_station.numbering().options().serial) {
        describe(out, "serial_next", "gauge", "The serial number the next unit gets.");
        out += prefix + "serial_next{" + station + "} " +
               QByteArray::number(m_station.numbering().nextSerial()) + '\n';
    }
    describe(out, "start_time_seconds", "gauge",
             "When the station started, in seconds since the Unix epoch.");
    out += prefix + "start_time_seconds{" + station + "} " +
           number(m_started.toMSecsSinceEpoch() / 1000.0) + '\n';
    return out;
}

bool StationMetrics::write(QString* error)
{
    return AtomicFile::write(m_path, text(), false, error);
}

void StationMetrics::writeQuietly()
{
    QString why;
    const bool ok = write(&why);
    if (!ok && !m_failing)
        emit failed(QStringLiteral("the metrics %1").arg(why));
    m_failing = !ok;
}
