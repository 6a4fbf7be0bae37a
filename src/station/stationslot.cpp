#include "stationslot.h"

#include "../serial/portlisting.h"
#include "../serial/portresolver.h"
#include "../upload/firmwarefile.h"
#include "version.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr int RetryMs = 1000;

const QString unplugged = QStringLiteral("adaptor unplugged");
const QString removeTheUnit = QStringLiteral("remove the unit");

} // namespace

StationSlot::StationSlot(const QString& port, SlotHost& host, QObject* parent)
    : QObject(parent), m_port(port), m_host(host), m_upload(m_comm)
{
    // A Com number is resolved once: without a pin link, Com1 is the first
    // port the system lists, and once the adaptor has gone that can be
    // another device altogether.
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    m_name = number.match(port).hasMatch() ? PortResolver::stableName(port.toInt()) : port;
    if (m_name.isEmpty())
        m_name = port;
    m_comm.setAdvice(PortAdvice::Station);
    m_comm.setDevicePath(m_name);

    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &StationSlot::tryOpen);
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] { enter(State::WaitingForUnit); });
    connect(&m_comm, &MSComm::OnComm, this, &StationSlot::onComm);
    connect(&m_comm, &MSComm::portLost, this, &StationSlot::onPortLost);
    connect(&m_upload, &UnitUpload::traffic, this, &StationSlot::traffic);
    connect(&m_upload, &UnitUpload::progressed, this, &StationSlot::progressed);
    connect(&m_upload, &UnitUpload::finished, this, &StationSlot::onUploadFinished);
}

bool StationSlot::unitStillPrompting() const
{
    // A prompting unit says "+" every quarter of a second or so.
    return m_state == State::WaitingForRemoval && m_heard.isValid() && m_heard.elapsed() < 1000;
}

QString StationSlot::stateName(State state)
{
    switch (state) {
    case State::Stopped:
        return QStringLiteral("stopped");
    case State::WaitingForAdaptor:
        return QStringLiteral("waiting for the adaptor");
    case State::WaitingForUnit:
        return QStringLiteral("waiting for a unit");
    case State::Flashing:
        return QStringLiteral("flashing");
    case State::WaitingForRemoval:
        return QStringLiteral("waiting for the unit to leave");
    }
    return QString();
}

void StationSlot::start()
{
    if (m_state != State::Stopped)
        return;
    m_stopAfterUnit = false;
    const SlotHost::Settings& s = m_host.slotSettings();
    // Checked before the station starts; a refusal here only leaves the
    // slot waiting with the reason.
    Status status = m_comm.setSettings(s.settings);
    if (status.isOk())
        status = m_comm.setHandshaking(s.handshaking);
    if (status.failed()) {
        enter(State::Stopped, status.description());
        return;
    }
    // Said once, with the reason the adaptor is not there yet, if it is not.
    m_state = State::WaitingForAdaptor;
    tryOpen();
}

void StationSlot::tryOpen()
{
    if (m_state != State::WaitingForAdaptor)
        return;
    const Status opened = m_comm.setPortOpen(true);
    if (opened.failed()) {
        enter(State::WaitingForAdaptor, opened.description());
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    m_retry.stop();
    m_device = m_comm.device();
    PortListing::stableNamesOf(m_device, &m_byId, &m_byPath);
    // What came before the port was ours is no prompt of a unit placed now.
    (void)m_comm.setInBufferCount(0);
    enter(State::WaitingForUnit);
}

void StationSlot::onComm()
{
    if (m_comm.CommEvent() != MSComm::comEvReceive)
        return;
    const QByteArray data = m_comm.Input();
    switch (m_state) {
    case State::Flashing:
        m_upload.received(data);
        return;
    case State::WaitingForUnit:
        if (data.contains('+'))
            beginUnit();
        return;
    case State::WaitingForRemoval:
        // Still there: the next unit counts only after a quiet while.
        m_quiet.start();
        m_heard.restart();
        if (data.contains('+'))
            say(removeTheUnit);
        return;
    case State::Stopped:
    case State::WaitingForAdaptor:
        return;
    }
}

void StationSlot::beginUnit()
{
    QString why;
    SlotHost::UnitStart start;
    if (!m_host.mayStartUnit(&start, &why)) {
        say(why);
        return;
    }
    const SlotHost::Settings& s = m_host.slotSettings();
    m_own = start.own;
    m_unitStarted = QDateTime::currentDateTime();
    enter(State::Flashing);
    emit traffic(QStringLiteral("+"));
    UnitUpload::Options unit;
    // The bytes read at the start, which the file on disk still has, with
    // the unit's own values put in.
    unit.image = start.image;
    unit.timeoutSeconds = s.timeoutSeconds;
    unit.maximumRejections = s.maximumRejections;
    // A unit quiet for as long as it takes to call the next one new has left.
    unit.awaySeconds = s.nextAfterSeconds;
    m_upload.start(unit);
}

void StationSlot::onUploadFinished(const UnitUpload::Outcome& o)
{
    const SlotHost::Settings& s = m_host.slotSettings();
    const FirmwareFile& file = m_host.firmware();
    // The adaptor gone in the middle of the last line is as gone as ever.
    const bool lost = o.result == UnitUpload::Result::Failed && !m_comm.PortOpen();
    UnitRecord r;
    r.id = QUuid::createUuid();
    r.station = s.stationName;
    r.slot = m_port;
    r.device = m_device;
    r.byId = m_byId;
    r.byPath = m_byPath;
    r.file = QFileInfo(file.path).absoluteFilePath();
    r.sha256 = file.sha256;
    r.bytes = file.facts.size;
    r.lines = file.facts.lines;
    r.started = m_unitStarted;
    r.ended = QDateTime::currentDateTime();
    r.seconds = o.seconds;
    r.result = o.result == UnitUpload::Result::Done     ? QStringLiteral("pass")
               : o.result == UnitUpload::Result::Failed ? QStringLiteral("fail")
                                                        : QStringLiteral("interrupted");
    r.reason = lost ? unplugged : o.error;
    r.linesSent = o.linesSent;
    r.resends = o.resends;
    r.worstLine = o.worstLine;
    r.worstLineResends = o.worstLineResends;
    r.loaderVersion = QStringLiteral(LOADER_VERSION);
    r.own = m_own;
    if (o.result == UnitUpload::Result::Done && r.resendPercent() > s.warnResendsPercent)
        r.warning = QStringLiteral("many resends: clean and align the adaptor");
    if (o.result == UnitUpload::Result::Done)
        ++m_passed;
    else if (o.result == UnitUpload::Result::Failed)
        ++m_failed;
    emit traffic(QStringLiteral("\r\n"));
    m_last = r;
    m_host.unitDone(this, r);

    if (m_stopAfterUnit || o.result == UnitUpload::Result::Interrupted) {
        closePort();
        return;
    }
    if (lost) {
        enter(State::WaitingForAdaptor, o.error);
        tryOpen();
        return;
    }
    if (o.away) {
        // It has been quiet long enough already: the next prompt is a new unit.
        enter(State::WaitingForUnit);
        return;
    }
    // It answered just now: in front of the adaptor until it goes quiet.
    m_heard.restart();
    enter(State::WaitingForRemoval, r.warning.isEmpty() ? r.reason : r.warning);
    m_quiet.start(int(s.nextAfterSeconds * 1000));
}

void StationSlot::onPortLost()
{
    // A new unit counts from the adaptor's return on: no quiet wait then.
    m_quiet.stop();
    if (m_state == State::Flashing) {
        m_upload.stop(UnitUpload::Result::Failed, unplugged);
        return;
    }
    if (m_state == State::Stopped)
        return;
    enter(State::WaitingForAdaptor, unplugged);
    tryOpen();
}

void StationSlot::finishAndStop()
{
    if (m_state == State::Flashing) {
        m_stopAfterUnit = true;
        return;
    }
    closePort();
}

void StationSlot::interrupt(const QString& why)
{
    if (m_state == State::Flashing) {
        m_upload.stop(UnitUpload::Result::Interrupted, why);
        return;
    }
    closePort();
}

void StationSlot::closePort()
{
    m_retry.stop();
    m_quiet.stop();
    (void)m_comm.setPortOpen(false);
    const bool wasRunning = m_state != State::Stopped;
    enter(State::Stopped);
    if (wasRunning)
        emit stopped();
}

void StationSlot::enter(State state, const QString& reason)
{
    if (state == m_state && reason == m_reason)
        return;
    m_state = state;
    m_reason = reason;
    emit changed();
}

// The same reason is said once, however often it holds.
void StationSlot::say(const QString& reason)
{
    enter(m_state, reason);
}
