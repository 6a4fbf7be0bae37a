#include "station.h"

#include "../service/journal.h"

#include <cstdio>

Station::Station(QObject* parent) : QObject(parent)
{
    connect(&m_forwarder, &RecordForwarder::stateChanged, this, &Station::databaseChanged);
}

Station::~Station()
{
    // Ports are closed and their locks released with the slots.
    qDeleteAll(m_slots);
}

bool Station::setFirmware(const FirmwareFile& file, const QString& pinned, QString* error)
{
    if (!pinned.isEmpty() && pinned.compare(file.sha256, Qt::CaseInsensitive) != 0) {
        *error = QStringLiteral("the SHA-256 of %1 is %2, not the %3 pinned: this is not the "
                                "build meant")
                     .arg(file.path, file.sha256, pinned.toLower());
        return false;
    }
    m_firmware = file;
    if (!m_running) {
        m_refusal.clear();
        m_stop = Stop::None;
    }
    return true;
}

UnitNumbering::Refusal Station::setNumbering(const UnitNumbering::Options& options, QString* error)
{
    return m_numbering.open(options, m_firmware, error);
}

bool Station::openRecord(const QString& path, QString* error)
{
    m_forwarder.stop();
    return m_record.open(path, error);
}

void Station::forwardTo(const DatabaseUrl& url)
{
    m_forwarder.start(m_record.path(), url);
}

StationSlot* Station::addSlot(const QString& port)
{
    auto* slot = new StationSlot(port, *this);
    m_slots.append(slot);
    connect(slot, &StationSlot::changed, this, [this, slot] { emit slotChanged(slot); });
    connect(slot, &StationSlot::progressed, this, [this, slot] { emit slotProgressed(slot); });
    connect(slot, &StationSlot::traffic, this,
            [this, slot](const QString& text) { emit slotTraffic(slot, text); });
    connect(slot, &StationSlot::stopped, this, &Station::onSlotStopped);
    if (m_running && !m_stopping)
        slot->start();
    return slot;
}

bool Station::removeSlot(StationSlot* slot)
{
    if (slot->state() != StationSlot::State::Stopped || !m_slots.removeOne(slot))
        return false;
    delete slot;
    return true;
}

void Station::moveSlot(int from, int to)
{
    if (from < 0 || to < 0 || from >= m_slots.size() || to >= m_slots.size())
        return;
    m_slots.move(from, to);
}

void Station::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_passed = m_failed = 0;
    m_since.start();
    for (StationSlot* slot : m_slots)
        slot->start();
}

void Station::stopAfterUploads()
{
    if (!m_running)
        return;
    m_stopping = true;
    for (StationSlot* slot : m_slots)
        slot->finishAndStop();
    onSlotStopped();
}

void Station::interrupt(const QString& why)
{
    if (!m_running)
        return;
    m_stopping = true;
    for (StationSlot* slot : m_slots)
        slot->interrupt(why);
    onSlotStopped();
}

void Station::onSlotStopped()
{
    if (!m_stopping)
        return;
    for (const StationSlot* slot : m_slots) {
        if (slot->state() != StationSlot::State::Stopped)
            return;
    }
    m_running = false;
    m_stopping = false;
    emit stopped();
}

int Station::uploadsUnderWay() const
{
    int n = 0;
    for (const StationSlot* slot : m_slots)
        n += slot->state() == StationSlot::State::Flashing ? 1 : 0;
    return n;
}

std::optional<double> Station::unitsPerHour() const
{
    const int units = m_passed + m_failed;
    const double hours = m_since.isValid() ? m_since.elapsed() / 3600000.0 : 0.0;
    if (hours <= 0 || (units < 3 && hours < 5.0 / 60))
        return std::nullopt;
    return units / hours;
}

bool Station::mayStartUnit(UnitStart* unit, QString* why)
{
    if (m_stopping || !m_refusal.isEmpty()) {
        *why = m_stopping ? QStringLiteral("the station is stopping") : m_refusal;
        return false;
    }
    // Taken again before each unit: another build put in its place mid-shift
    // must not reach a single unit.
    QString error;
    const std::optional<QString> now = FirmwareFile::digest(m_firmware.path, &error);
    if (!now) {
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error), Stop::FileChanged);
    } else if (*now != m_firmware.sha256) {
        refuseNewUnits(QStringLiteral("new units are stopped: %1 changed on disk (SHA-256 now "
                                      "%2, was %3)")
                           .arg(m_firmware.path, now->left(12), m_firmware.sha256.left(12)),
                       Stop::FileChanged);
    }
    if (m_refusal.isEmpty() && m_numbering.enabled()) {
        switch (m_numbering.take(&unit->own, &error)) {
        case UnitNumbering::Take::Taken:
            break;
        case UnitNumbering::Take::UsedUp:
            refuseNewUnits(error, Stop::NumbersUsedUp);
            break;
        case UnitNumbering::Take::Failed:
            refuseNewUnits(error, Stop::RecordFailed);
            break;
        }
    }
    *why = m_refusal;
    if (!m_refusal.isEmpty())
        return false;
    // The bytes read at the start: the file on disk still has them.
    unit->image = m_numbering.enabled() ? m_numbering.imageFor(unit->own) : m_firmware;
    return true;
}

void Station::unitDone(StationSlot* slot, const UnitRecord& record)
{
    if (record.result == QLatin1String("pass"))
        ++m_passed;
    else if (record.result == QLatin1String("fail"))
        ++m_failed;
    QString error;
    const QByteArray line = record.toJsonLine();
    if (m_record.isOpen() && !m_record.appendLine(line, &error)) {
        // Standard error, and so the journal, keeps what the disk could not.
        const QByteArray level = Journal::prefix(Journal::Level::Error);
        std::fprintf(stderr, "%s%s; the unit's record, whole:\n%s%s", level.constData(),
                     qPrintable(error), level.constData(), line.constData());
        std::fflush(stderr);
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error), Stop::RecordFailed);
    } else if (m_forwarder.running()) {
        m_forwarder.recordWritten();
    }
    emit unitRecorded(slot, record);
}

void Station::refuseNewUnits(const QString& why, Stop reason)
{
    if (!m_refusal.isEmpty())
        return;
    m_refusal = why;
    m_stop = reason;
    emit newUnitsRefused(why);
}
