#include "station.h"

#include "slotthreads.h"
#include "stationslot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <pwd.h>
#include <unistd.h>

QString Station::accountName()
{
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::getuid());
}

Station::Station(QObject* parent) : QObject(parent)
{
    connect(&m_forwarder, &RecordForwarder::stateChanged, this, &Station::databaseChanged);
    connect(&m_forwarder, &RecordForwarder::noticed, this,
            [this](const QString& text) { emit noticed(QString(), text, true); });
    m_record.setFollowsPath(true);
    // The slots' traffic, gathered a few times a second rather than woken
    // for line by line.
    m_traffic.setInterval(200);
    connect(&m_traffic, &QTimer::timeout, this, &Station::takeTraffic);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &Station::checkFirmwareOnDisk);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &Station::checkFirmwareOnDisk);
    m_operator = accountName();
    connect(&m_ledger, &SerialLedger::blockLeased, this, &Station::onBlockLeased);
    connect(&m_ledger, &SerialLedger::seriesEnded, this, [this](const QString& why) {
        m_seriesEnded = true;
        if (m_numbering.numbersHeld() == 0)
            refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(why),
                           Stop::NumbersUsedUp);
    });
    connect(&m_ledger, &SerialLedger::stateChanged, this, [this](const QString& text) {
        emit noticed(QString(), text, !text.endsWith(QLatin1String("up to date")));
    });
    connect(&m_permitLedger, &SerialLedger::blockLeased, this,
            [this](const SerialLedger::Block& block) {
                QString error;
                if (!m_permits.addBlock({block.first, block.last}, &error)) {
                    m_permitLedger.returned(block);
                    refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error),
                                   Stop::RecordFailed);
                    return;
                }
                emit permitsChanged();
                if (m_permits.wantsBlock())
                    m_permitLedger.lease(m_permits.options().block);
            });
    connect(&m_permitLedger, &SerialLedger::unleased, this, [this](quint64 left) {
        m_orderUnleased = left;
        emit permitsChanged();
    });
    connect(&m_permitLedger, &SerialLedger::seriesEnded, this, [this] {
        m_orderUnleased = 0;
        emit permitsChanged();
    });
    connect(&m_permitLedger, &SerialLedger::heldRefused, this, [this](const QString& why) {
        setProblem(QStringLiteral("permits"), why);
        auditQuietly(QStringLiteral("permits-refused"), {{"why", why}});
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(why), Stop::NumbersUsedUp);
    });
    connect(&m_permitLedger, &SerialLedger::fateSetAside, this, [this](const QString& why) {
        setProblem(QStringLiteral("permits"), why);
        emit noticed(QString(), why, true);
    });
    connect(&m_permitLedger, &SerialLedger::stateChanged, this, [this](const QString& text) {
        QString said = text;
        said.replace(QLatin1String("serial numbers"), m_bench.order + QStringLiteral("'s permits"));
        emit noticed(QString(), said, !text.endsWith(QLatin1String("up to date")));
    });
    // Numbers this station may not use: none more is taken from what it holds.
    connect(&m_ledger, &SerialLedger::heldRefused, this, [this](const QString& why) {
        setProblem(QStringLiteral("serials"), why);
        auditQuietly(QStringLiteral("serials-refused"), {{"why", why}});
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(why), Stop::NumbersUsedUp);
    });
    connect(&m_ledger, &SerialLedger::fateSetAside, this, [this](const QString& why) {
        setProblem(QStringLiteral("serials"), why);
        auditQuietly(QStringLiteral("serial-fate-set-aside"), {{"why", why}});
        emit noticed(QString(), why, true);
    });
    connect(&m_labels, &LabelDesk::said, this,
            [this](const QString& port, const QString& text, bool refused) {
                emit noticed(port, text, refused);
            });
    connect(&m_scanner, &LabelScanner::label, this, &Station::scan);
    connect(&m_scanner, &LabelScanner::stateChanged, this, [this](const QString& text) {
        emit noticed(QString(), text, !text.endsWith(QLatin1String("ready")));
    });
    setWorkerThreads(defaultWorkerThreads());
}

// What the record says each serial number and each of the order's permits
// went to: their units' ids, in one reading of it.
namespace {

struct Recorded {
    QHash<quint64, QString> serials, permits;
};

Recorded recordedUnits(const BenchConfig& bench)
{
    Recorded recorded;
    QFile record(bench.record);
    if (!record.open(QIODevice::ReadOnly))
        return recorded;
    while (!record.atEnd()) {
        const QByteArray line = record.readLine();
        const bool serial = line.contains("\"serial\"");
        const bool permit = line.contains("\"permit\"");
        if (!serial && !permit)
            continue;
        const QJsonObject r = QJsonDocument::fromJson(line).object();
        const QString id = r.value("id").toString();
        if (serial && !r.value("rework").toBool())
            recorded.serials.insert(quint64(r.value("serial")["number"].toInteger()), id);
        const QJsonObject p = r.value("permit").toObject();
        if (permit && p.value("order").toString() == bench.order)
            recorded.permits.insert(quint64(p.value("number").toInteger()), id);
    }
    return recorded;
}

} // namespace

void Station::startLedger(const BenchConfig& bench, const DatabaseUrl& url,
                          const QHash<quint64, QString>& recorded)
{
    m_seriesEnded = false;
    SerialLedger::Series series{bench.serialSeries, bench.serialStart, bench.serialStep,
                                bench.serialEnd};
    // What this station holds, and what its record says its numbers did.
    QVector<SerialLedger::Block> held;
    for (const UnitNumbering::Block& b : m_numbering.held())
        held.append({b.first, b.last, b.step});
    m_ledger.start(url, series, {bench.name, UnitNumbering::machineId(), m_numbering.holder()},
                   held, recorded);
    if (m_numbering.wantsBlock())
        m_ledger.lease(bench.serialBlock);
}

void Station::onBlockLeased(const SerialLedger::Block& block)
{
    QString error;
    // On the disk before its first number goes to a unit.
    if (!m_numbering.addBlock({block.first, block.last, block.step}, &error)) {
        m_ledger.returned(block);
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error), Stop::RecordFailed);
        return;
    }
    emit noticed(QString(),
                 QStringLiteral("serial numbers %1 to %2 leased from the series %3")
                     .arg(block.first)
                     .arg(block.last)
                     .arg(m_bench.serialSeries),
                 false);
    if (m_numbering.wantsBlock() && !m_seriesEnded)
        m_ledger.lease(m_bench.serialBlock);
}

int Station::defaultWorkerThreads()
{
    // One loop of its own serves 128 slots at the speed of one (measured);
    // a second on two cores cost 40 % more CPU for no speed, each loop
    // waking alone where one loop takes several ports' events at once.
    bool ok = false;
    const int given = qEnvironmentVariableIntValue("FIRMWARE_STATION_THREADS", &ok);
    return ok && given >= 0 ? given : 1;
}

bool Station::workersAnswering()
{
    return m_threads ? m_threads->answering() : true;
}

QVector<QObject*> Station::workerHomes() const
{
    return m_threads ? m_threads->homes() : QVector<QObject*>();
}

Station::~Station()
{
    // Ports are closed and their locks released with the slots, each in
    // its own thread.
    for (const Member& m : std::as_const(m_slots))
        dropMember(m);
    m_slots.clear();
}

void Station::setWorkerThreads(int count)
{
    if (!m_slots.isEmpty())
        return;
    m_workerThreads = qMax(0, count);
    m_threads.reset();
    if (m_workerThreads > 0)
        m_threads = std::make_unique<SlotThreads>(m_workerThreads);
}

Station::Member Station::makeMember(const QString& port)
{
    Member m;
    m.port = port;
    m.board = std::make_shared<SlotBoard>();
    m.board->setTrafficWanted(m_trafficWanted);
    // Spread over the threads in turn; a slot never moves between them.
    m.home = m_threads ? m_threads->home(m_turn++) : static_cast<QObject*>(this);
    SlotThreads::runIn(m.home, [&m] { m.slot = new StationSlot(m.port, m.board); });
    // What a slot said may arrive after it has gone: it is then let be.
    const std::weak_ptr<SlotBoard> board = m.board;
    StationSlot* slot = m.slot;
    connect(slot, &StationSlot::unitWanted, this, [this, board] {
        if (const int i = indexOf(board); i >= 0)
            onUnitWanted(i);
    });
    connect(slot, &StationSlot::unitFinished, this,
            [this, board](const UnitRecord& r) { onUnitFinished(indexOf(board), r); });
    connect(slot, &StationSlot::changed, this, [this, board] {
        if (const int i = indexOf(board); i >= 0)
            emit slotChanged(i);
    });
    connect(slot, &StationSlot::stopped, this, &Station::onSlotStopped);
    return m;
}

void Station::dropMember(const Member& m)
{
    disconnect(m.slot, nullptr, this, nullptr);
    StationSlot* slot = m.slot;
    SlotThreads::runIn(m.home, [slot] { delete slot; });
}

int Station::indexOf(const std::weak_ptr<SlotBoard>& board) const
{
    const std::shared_ptr<SlotBoard> b = board.lock();
    for (int i = 0; b && i < m_slots.size(); ++i) {
        if (m_slots[i].board == b)
            return i;
    }
    return -1;
}

bool Station::setPorts(const QStringList& ports)
{
    // While running, slots may be added, not taken away from under a unit.
    if (m_running) {
        for (const Member& m : std::as_const(m_slots)) {
            if (!ports.contains(m.port))
                return false;
        }
    }
    QVector<Member> kept;
    QVector<Member> added;
    for (const QString& port : ports) {
        auto it = std::find_if(m_slots.begin(), m_slots.end(),
                               [&](const Member& m) { return m.port == port; });
        if (it != m_slots.end()) {
            kept.append(*it);
            m_slots.erase(it);
        } else {
            kept.append(makeMember(port));
            added.append(kept.last());
        }
    }
    for (const Member& m : std::as_const(m_slots))
        dropMember(m);
    m_slots = kept;
    m_bench.ports = ports;
    if (m_running && !m_stopping) {
        const StationSlot::Run run{m_bench, m_firmware, m_job};
        for (const Member& m : std::as_const(added)) {
            ++m_live;
            StationSlot* slot = m.slot;
            QMetaObject::invokeMethod(slot, [slot, run] { slot->start(run); });
        }
    }
    return true;
}

SlotView Station::view(int index) const
{
    return index >= 0 && index < m_slots.size() ? m_slots[index].board->view() : SlotView();
}

QVector<SlotView> Station::views() const
{
    QVector<SlotView> all;
    all.reserve(m_slots.size());
    for (const Member& m : m_slots)
        all.append(m.board->view());
    return all;
}

void Station::moveSlot(int from, int to)
{
    if (from < 0 || to < 0 || from >= m_slots.size() || to >= m_slots.size())
        return;
    m_slots.move(from, to);
}

void Station::setTrafficWanted(bool wanted)
{
    m_trafficWanted = wanted;
    for (const Member& m : std::as_const(m_slots))
        m.board->setTrafficWanted(wanted);
    if (wanted)
        m_traffic.start();
    else
        m_traffic.stop();
}

void Station::takeTraffic()
{
    for (int i = 0; i < m_slots.size(); ++i) {
        const QString text = m_slots[i].board->takeTraffic();
        if (!text.isEmpty())
            emit slotTraffic(i, text);
    }
}

std::optional<BenchRefusal> Station::configure(const BenchConfig& bench, const FirmwareFile& file)
{
    if (m_running)
        return BenchRefusal{BenchField::Ports, BenchRefusal::Kind::Usage,
                            QStringLiteral("the station is running")};
    if (auto problem = bench.problem(BenchConfig::Use::Station))
        return problem;
    if (auto refused = bench.refuseFirmware(file))
        return refused;
    // A count of units is an engineer's to set, in what they signed.
    if ((!bench.order.isEmpty() || bench.validUntil.isValid()) && m_job.isEmpty())
        return BenchRefusal{bench.order.isEmpty() ? BenchField::ValidUntil : BenchField::Order,
                            BenchRefusal::Kind::File,
                            QStringLiteral("only a released job can limit its units (order, "
                                           "order-units, valid-until): this bench is none")};
    QString why;
    m_forwarder.stop();
    m_auditForwarder.stop();
    if (!bench.record.isEmpty() && !m_record.open(bench.record, &why))
        return BenchRefusal{BenchField::Record, BenchRefusal::Kind::Output, why};
    if (bench.record.isEmpty())
        m_record.close();
    if (!bench.auditPath().isEmpty() && !m_audit.open(bench.auditPath(), &why))
        return BenchRefusal{BenchField::Audit, BenchRefusal::Kind::Output, why};
    if (bench.auditPath().isEmpty())
        m_audit.close();
    std::optional<DatabaseUrl> url;
    if (!bench.database.isEmpty()) {
        url = DatabaseUrl::parse(bench.database, &why);
        if (!url)
            return BenchRefusal{BenchField::Database, BenchRefusal::Kind::Usage, why};
    }
    m_ledger.stop();
    switch (m_numbering.open(bench.numbering(), file, &why)) {
    case UnitNumbering::Refusal::None:
        break;
    case UnitNumbering::Refusal::State:
        return BenchRefusal{BenchField::SerialState, BenchRefusal::Kind::Output, why};
    case UnitNumbering::Refusal::Data:
        return BenchRefusal{bench.serial ? BenchField::Serial : BenchField::UnitData,
                            BenchRefusal::Kind::File, why};
    }
    m_permitLedger.stop();
    if (!m_permits.open({bench.order, bench.orderUnits,
                         bench.record.isEmpty() ? QString() : bench.record + QStringLiteral(".permits"),
                         // Small blocks of a small order: every bench gets its share.
                         url.has_value(), qBound(1, bench.orderUnits / 20, 20)},
                        &why))
        return BenchRefusal{BenchField::Order, BenchRefusal::Kind::Output, why};
    m_bench = bench;
    m_firmware = file;
    m_refusal.clear();
    m_stop = Stop::None;
    setPorts(bench.ports);
    m_labels.configure(bench, url);
    m_orderUnleased.reset();
    if (url && (!bench.serialSeries.isEmpty() || m_permits.enabled())) {
        const Recorded recorded = recordedUnits(bench);
        if (!bench.serialSeries.isEmpty())
            startLedger(bench, *url, recorded.serials);
        if (m_permits.enabled())
            startPermits(bench, *url, recorded.permits);
    }
    if (url) {
        m_forwarder.start(m_record.path(), *url);
        if (m_audit.isOpen())
            m_auditForwarder.start(m_audit.path(), *url, RecordDatabase::Table::Audit);
    }
    return std::nullopt;
}

bool Station::audit(const QString& event, const QJsonObject& details, QString* error)
{
    if (!m_audit.isOpen())
        return true;
    QJsonObject line = details;
    line.insert("station", m_bench.name);
    line.insert("account", m_operator);
    if (!m_audit.append(event, line, error))
        return false;
    if (m_auditForwarder.running())
        m_auditForwarder.recordWritten();
    return true;
}

void Station::auditQuietly(const QString& event, const QJsonObject& details)
{
    QString error;
    if (!audit(event, details, &error))
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error), Stop::RecordFailed);
}

void Station::forgetWatched()
{
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
}

void Station::checkFirmwareOnDisk()
{
    // A file replaced by a rename is watched anew.
    if (!m_watcher.files().contains(m_firmware.path) && QFileInfo::exists(m_firmware.path))
        m_watcher.addPath(m_firmware.path);
    if (!m_running || !m_refusal.isEmpty())
        return;
    QString error;
    const std::optional<QString> now = FirmwareFile::digest(m_firmware.path, &error);
    if (now && *now == m_firmware.sha256)
        return;
    const QString why =
        now ? QStringLiteral("new units are stopped: %1 changed on disk (SHA-256 now %2, was %3)")
                  .arg(m_firmware.path, now->left(12), m_firmware.sha256.left(12))
            : QStringLiteral("new units are stopped: %1").arg(error);
    auditQuietly(QStringLiteral("firmware-changed"), {{"file", m_firmware.path},
                                                      {"sha256", now.value_or(QString())},
                                                      {"was", m_firmware.sha256},
                                                      {"why", why}});
    refuseNewUnits(why, Stop::FileChanged);
}

void Station::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_passed = m_failed = 0;
    m_since.start();
    m_live = int(m_slots.size());
    m_stoppedWhy.clear();
    QJsonArray ports;
    for (const Member& m : std::as_const(m_slots))
        ports.append(m.port);
    QJsonObject started{{"file", m_firmware.path}, {"sha256", m_firmware.sha256}, {"ports", ports}};
    if (!m_job.isEmpty())
        started.insert("job", m_job.toJson());
    auditQuietly(QStringLiteral("station-started"), started);
    if (!m_bench.scanner.isEmpty())
        m_scanner.start(m_bench.scanner);
    forgetWatched();
    m_watcher.addPath(m_firmware.path);
    m_watcher.addPath(QFileInfo(m_firmware.path).absolutePath());
    const StationSlot::Run run{m_bench, m_firmware, m_job};
    for (const Member& m : std::as_const(m_slots)) {
        StationSlot* slot = m.slot;
        QMetaObject::invokeMethod(slot, [slot, run] { slot->start(run); });
    }
    if (m_slots.isEmpty())
        finishStopping();
}

void Station::stopAfterUploads()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    m_stoppedWhy =
        m_refusal.isEmpty() ? QStringLiteral("stopped after the units under way") : m_refusal;
    for (const Member& m : std::as_const(m_slots)) {
        StationSlot* slot = m.slot;
        QMetaObject::invokeMethod(slot, [slot] { slot->finishAndStop(); });
    }
    if (m_live == 0)
        finishStopping();
}

void Station::interrupt(const QString& why)
{
    if (!m_running)
        return;
    m_stopping = true;
    m_stoppedWhy = why;
    for (const Member& m : std::as_const(m_slots)) {
        StationSlot* slot = m.slot;
        QMetaObject::invokeMethod(slot, [slot, why] { slot->interrupt(why); });
    }
    if (m_live == 0)
        finishStopping();
}

void Station::onSlotStopped()
{
    m_live = qMax(0, m_live - 1);
    if (m_stopping && m_live == 0)
        finishStopping();
}

void Station::finishStopping()
{
    if (!m_running)
        return;
    takeTraffic(); // the last of it
    forgetWatched();
    m_scanner.stop();
    if (m_ledger.running()) {
        // A clean stop: the numbers not handed out go back to the series' rows.
        QString error;
        for (const UnitNumbering::Block& b : m_numbering.giveBack(&error))
            m_ledger.returned({b.first, b.last, b.step});
        m_ledger.stop();
    }
    if (m_permitLedger.running()) {
        // And the order's permits held here, for the other benches of it.
        QString error;
        for (const PermitBook::Range& r : m_permits.giveBackAll(&error))
            m_permitLedger.returned({r.first, r.last, 1});
        m_permitLedger.stop();
    }
    auditQuietly(QStringLiteral("station-stopped"),
                 {{"why", m_stoppedWhy}, {"passed", m_passed}, {"failed", m_failed}});
    m_running = false;
    m_stopping = false;
    emit stopped();
}

int Station::uploadsUnderWay() const
{
    int n = 0;
    for (const Member& m : m_slots)
        n += m.board->view().state == SlotState::Flashing ? 1 : 0;
    return n;
}

void Station::setPaused(int index, bool paused)
{
    if (index < 0 || index >= m_slots.size() || m_slots[index].paused == paused)
        return;
    m_slots[index].paused = paused;
    emit slotChanged(index);
}

void Station::givePermitBack(int index, std::optional<quint64> permit)
{
    if (!permit && index >= 0)
        permit = std::exchange(m_slots[index].permit, std::nullopt);
    if (!permit)
        return;
    QString error;
    if (!m_permits.giveBack(*permit, &error))
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error), Stop::RecordFailed);
    emit permitsChanged();
}

Station::OrderState Station::orderState() const
{
    OrderState o;
    if (!m_permits.enabled())
        return o;
    o.order = m_permits.options().order;
    o.units = m_permits.options().units;
    o.heldHere = m_permits.held();
    o.shared = m_permits.options().shared;
    // In the factory: what no bench has leased yet, and what this one holds.
    o.left = o.shared ? m_orderUnleased.value_or(0) + o.heldHere : o.heldHere;
    o.known = !o.shared || m_orderUnleased.has_value();
    return o;
}

void Station::startPermits(const BenchConfig& bench, const DatabaseUrl& url,
                           const QHash<quint64, QString>& recorded)
{
    QVector<SerialLedger::Block> held;
    for (const PermitBook::Range& r : m_permits.heldRanges())
        held.append({r.first, r.last, 1});
    SerialLedger::Series series{QStringLiteral("order:") + bench.order, 1, 1,
                                quint64(bench.orderUnits)};
    series.fixedEnd = true;
    m_permitLedger.start(url, series,
                         {bench.name, UnitNumbering::machineId(), m_permits.holder()}, held,
                         recorded);
    if (m_permits.wantsBlock())
        m_permitLedger.lease(m_permits.options().block);
}

bool Station::reopenRecord(QString* error)
{
    if (!m_record.isOpen())
        return true;
    QString notice;
    if (!m_record.reopen(&notice, error)) {
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(*error), Stop::RecordFailed);
        return false;
    }
    emit noticed(QString(), notice, false);
    auditQuietly(QStringLiteral("record-reopened"), {{"record", m_record.path()}});
    return true;
}

void Station::setProblem(const QString& source, const QString& text)
{
    if (m_problems.value(source) == text)
        return;
    if (text.isEmpty())
        m_problems.remove(source);
    else
        m_problems.insert(source, text);
    emit problemsChanged();
}

void Station::clearLastResult(int index)
{
    if (index < 0 || index >= m_slots.size())
        return;
    m_slots[index].board->update([](SlotView& v) { v.last.reset(); });
    emit slotChanged(index);
}

std::optional<double> Station::unitsPerHour() const
{
    const int units = m_passed + m_failed;
    const double hours = m_since.isValid() ? m_since.elapsed() / 3600000.0 : 0.0;
    if (hours <= 0 || (units < 3 && hours < 5.0 / 60))
        return std::nullopt;
    return units / hours;
}

void Station::onUnitWanted(int index)
{
    StationSlot* slot = m_slots[index].slot;
    // A unit refused gives back the order's permit it took, if it took one.
    const auto refuse = [this, slot, index](const QString& why) {
        givePermitBack(index);
        QMetaObject::invokeMethod(slot, [slot, why] { slot->refuse(why); });
    };
    if (!m_running || m_stopping || !m_refusal.isEmpty()) {
        refuse(m_refusal.isEmpty() ? QStringLiteral("the station is stopping") : m_refusal);
        return;
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
    if (!m_refusal.isEmpty()) {
        refuse(m_refusal);
        return;
    }
    if (m_slots[index].paused) {
        refuse(QStringLiteral("paused by the line controller"));
        return;
    }
    UnitStart unit;
    // The unit in the operator's hand: its label, and whether it is a rework.
    const QString port = m_slots[index].port;
    const LabelDesk::Label* label = m_labels.enabled() ? m_labels.ready(port) : nullptr;
    if (m_labels.enabled() && m_labels.checking(port)) {
        refuse(QStringLiteral("checking the unit's label"));
        return;
    }
    if (!label && m_bench.requireLabel) {
        refuse(QStringLiteral("scan the unit's label"));
        return;
    }
    const std::optional<LabelDesk::Earlier> earlier = label ? label->earlier : std::nullopt;
    if (earlier && m_bench.rework == BenchConfig::Rework::Refuse) {
        const QString why =
            QStringLiteral("%1 was flashed on %2 at %3")
                .arg(label->text, earlier->station,
                     earlier->ended.toLocalTime().toString(QStringLiteral("HH:mm")));
        m_labels.drop(port);
        emit noticed(port, why, true);
        refuse(why);
        return;
    }
    // A permit of the work order before anything of the unit is taken.
    if (m_permits.enabled()) {
        quint64 permit = 0;
        switch (m_permits.take(&permit, &error)) {
        case PermitBook::Take::Taken:
            m_slots[index].permit = permit;
            break;
        case PermitBook::Take::Waiting:
            // Permits a bench gives back later are leased again; asked each time.
            m_permitLedger.lease(m_permits.options().block);
            refuse(m_orderUnleased == quint64(0)
                       ? QStringLiteral("%1: its %2 units are made")
                             .arg(m_permits.options().order)
                             .arg(m_permits.options().units)
                       : error);
            return;
        case PermitBook::Take::AllMade:
            // The bench stays up, its record open: it only starts no unit.
            refuse(error);
            return;
        case PermitBook::Take::Failed:
            refuseNewUnits(error, Stop::RecordFailed);
            refuse(m_refusal);
            return;
        }
        if (m_permits.wantsBlock())
            m_permitLedger.lease(m_permits.options().block);
        emit permitsChanged();
    }
    const bool keepNumber = earlier && earlier->serial &&
                            m_bench.rework == BenchConfig::Rework::Keep &&
                            m_numbering.options().serial;
    // A kept number needs none taken, unless a list line goes with each unit.
    if (m_numbering.enabled() && !(keepNumber && m_numbering.options().unitDataPath.isEmpty())) {
        switch (m_numbering.take(&unit.own, &error)) {
        case UnitNumbering::Take::Taken:
            break;
        case UnitNumbering::Take::UsedUp:
            refuseNewUnits(error, Stop::NumbersUsedUp);
            break;
        case UnitNumbering::Take::Failed:
            refuseNewUnits(error, Stop::RecordFailed);
            break;
        case UnitNumbering::Take::Waiting:
            if (m_seriesEnded)
                refuseNewUnits(QStringLiteral("new units are stopped: the series %1 has no "
                                              "number left")
                                   .arg(m_bench.serialSeries),
                               Stop::NumbersUsedUp);
            else
                m_ledger.lease(m_bench.serialBlock);
            if (m_refusal.isEmpty()) {
                refuse(error);
                return;
            }
            break;
        }
        if (m_numbering.wantsBlock() && !m_seriesEnded)
            m_ledger.lease(m_bench.serialBlock);
    }
    if (!m_refusal.isEmpty()) {
        refuse(m_refusal);
        return;
    }
    if (keepNumber) {
        // A rework keeps the number its unit had; the one taken is burned.
        if (unit.own.hasSerial && m_ledger.running())
            m_ledger.voided(unit.own.serial);
        const UnitValues kept = m_numbering.valuesFor(*earlier->serial);
        unit.own.hasSerial = kept.hasSerial;
        unit.own.serial = kept.serial;
        unit.own.serialPatch = kept.serialPatch;
    }
    if (label) {
        unit.label = label->text;
        unit.rework = earlier.has_value();
        unit.reworkOf = earlier ? earlier->id : QString();
        m_labels.take(port);
    }
    // The bytes read at the start: the file on disk still has them.
    unit.image = m_numbering.enabled() ? m_numbering.imageFor(unit.own) : m_firmware;
    unit.imageSha256 =
        m_numbering.enabled()
            ? QString::fromLatin1(
                  QCryptographicHash::hash(unit.image.bytes, QCryptographicHash::Sha256).toHex())
            : m_firmware.sha256;
    unit.operatorName = m_operator;
    QMetaObject::invokeMethod(slot, [slot, unit] { slot->grant(unit); });
}

void Station::onUnitFinished(int index, const UnitRecord& record)
{
    m_labels.unitDone(record);
    // The number's fate, once its record is written (below): a kept rework's is its first unit's.
    const bool numbered = record.own.hasSerial && m_ledger.running() &&
                          !(record.rework && m_bench.rework == BenchConfig::Rework::Keep);
    if (record.result == UnitResult::Pass)
        ++m_passed;
    else if (record.result == UnitResult::Fail)
        ++m_failed;
    QString error, notice;
    UnitRecord r = record;
    if (index >= 0 && m_slots[index].permit) {
        const quint64 permit = *std::exchange(m_slots[index].permit, std::nullopt);
        // Spent once its final line was sent, whatever its result; given
        // back otherwise, for the next unit.
        if (record.linesSent >= record.lines && record.lines > 0) {
            r.permitOrder = m_permits.options().order;
            r.permitNumber = permit;
            r.permitUnits = m_permits.options().units;
            if (!m_permits.spend(permit, &error))
                refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error),
                               Stop::RecordFailed);
        } else {
            givePermitBack(index, permit);
        }
        emit permitsChanged();
    }
    const QByteArray line = r.toJsonLine();
    const bool written = !m_record.isOpen() || m_record.appendLine(line, &error, &notice);
    if (!notice.isEmpty()) {
        emit noticed(QString(), notice, true);
        auditQuietly(QStringLiteral("record-moved"), {{"why", notice}});
    }
    if (!written) {
        emit recordWriteFailed(error, line);
        refuseNewUnits(QStringLiteral("new units are stopped: %1").arg(error), Stop::RecordFailed);
    } else if (m_forwarder.running()) {
        m_forwarder.recordWritten();
    }
    if (numbered)
        m_ledger.used(record.own.serial, record.id.toString(QUuid::WithoutBraces));
    if (r.permitNumber && m_permitLedger.running())
        m_permitLedger.used(r.permitNumber, record.id.toString(QUuid::WithoutBraces));
    emit unitRecorded(index, r);
}

void Station::refuseNewUnits(const QString& why, Stop reason)
{
    if (!m_refusal.isEmpty())
        return;
    m_refusal = why;
    m_stop = reason;
    // Said on every slot waiting for a unit at once, not when one comes.
    for (const Member& m : std::as_const(m_slots)) {
        StationSlot* slot = m.slot;
        QMetaObject::invokeMethod(slot, [slot, why] { slot->refuse(why); });
    }
    emit newUnitsRefused(why);
}
