#include "stationslot.h"

#include "../serial/portlisting.h"
#include "../serial/portresolver.h"
#include "version.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr int RetryMs = 1000;

const QString unplugged = QStringLiteral("adaptor unplugged");
const QString removeTheUnit = QStringLiteral("remove the unit");

} // namespace

StationSlot::StationSlot(const QString& port, std::shared_ptr<SlotBoard> board, QObject* parent)
    : QObject(parent), m_board(std::move(board)), m_port(port), m_upload(m_comm)
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
    m_board->update([&](SlotView& v) {
        v.port = m_port;
        v.name = m_name;
    });

    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &StationSlot::tryOpen);
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] { enter(SlotState::WaitingForUnit); });
    connect(&m_comm, &MSComm::OnComm, this, &StationSlot::onComm);
    connect(&m_comm, &MSComm::portLost, this, &StationSlot::onPortLost);
    connect(&m_upload, &UnitUpload::traffic, this, &StationSlot::traffic);
    connect(&m_upload, &UnitUpload::progressed, this, [this](const UploadProgress& p) {
        m_board->update([&](SlotView& v) {
            v.progress = p;
            v.heardAt = SlotView::now() - qint64(m_upload.quietFor() * 1000);
        });
    });
    connect(&m_upload, &UnitUpload::finished, this, &StationSlot::onUploadFinished);
}

StationSlot::~StationSlot()
{
    // The port, its lock and its timers go in this thread, before the members.
    m_retry.stop();
    m_quiet.stop();
    m_comm.closeQuietly();
}

void StationSlot::traffic(const QString& text)
{
    // Taken by the station a few times a second: no wake-up of its loop per line.
    m_board->addTraffic(text);
}

void StationSlot::start(const Run& run)
{
    if (m_state != SlotState::Stopped)
        return;
    m_run = run;
    m_stopAfterUnit = false;
    m_asked = false;
    // Checked before the station starts; a refusal here only leaves the
    // slot waiting with the reason.
    Status status = m_comm.setSettings(run.bench.lineSettings());
    if (status.isOk())
        status = m_comm.setHandshaking(run.bench.handshaking.value_or(0));
    if (status.failed()) {
        enter(SlotState::Stopped, status.description());
        emit stopped();
        return;
    }
    // Said once, with the reason the adaptor is not there yet, if it is not.
    m_state = SlotState::WaitingForAdaptor;
    tryOpen();
}

void StationSlot::tryOpen()
{
    if (m_state != SlotState::WaitingForAdaptor)
        return;
    const Status opened = m_comm.setPortOpen(true);
    if (opened.failed()) {
        m_board->update([&](SlotView& v) { v.openFailure = m_comm.openFailure(); });
        enter(SlotState::WaitingForAdaptor, opened.description());
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    m_retry.stop();
    m_device = m_comm.device();
    PortListing::stableNamesOf(m_device, &m_byId, &m_byPath);
    m_board->update([&](SlotView& v) {
        v.device = m_device;
        v.openFailure = MSComm::OpenFailure();
    });
    // What came before the port was ours is no prompt of a unit placed now.
    (void)m_comm.setInBufferCount(0);
    enter(SlotState::WaitingForUnit);
}

void StationSlot::onComm()
{
    if (m_comm.CommEvent() != MSComm::comEvReceive)
        return;
    const QByteArray data = m_comm.Input();
    switch (m_state) {
    case SlotState::Flashing:
        m_upload.received(data);
        return;
    case SlotState::WaitingForUnit:
        if (data.contains('+') && !m_asked) {
            m_asked = true;
            emit unitWanted();
        }
        return;
    case SlotState::WaitingForRemoval:
        // Still there: the next unit counts only after a quiet while.
        m_quiet.start();
        m_board->update([](SlotView& v) { v.heardAt = SlotView::now(); });
        if (data.contains('+'))
            say(removeTheUnit);
        return;
    case SlotState::Stopped:
    case SlotState::WaitingForAdaptor:
        return;
    }
}

void StationSlot::refuse(const QString& why)
{
    m_asked = false;
    if (m_state == SlotState::WaitingForUnit)
        say(why);
}

void StationSlot::grant(const UnitStart& unit)
{
    m_asked = false;
    // The unit went, or the port, while the station was asked: its number
    // is spent, and nothing was sent.
    if (m_state != SlotState::WaitingForUnit || m_stopAfterUnit)
        return;
    const BenchConfig& b = m_run.bench;
    m_unit = unit;
    m_unit.image = FirmwareImage(); // the upload has it
    m_unitStarted = QDateTime::currentDateTime();
    m_board->update([&](SlotView& v) {
        v.own = unit.own;
        v.label = unit.label;
        v.progress = UploadProgress{0, unit.image.facts.lines, 0};
        v.uploadStartedAt = v.heardAt = SlotView::now();
    });
    enter(SlotState::Flashing);
    traffic(QStringLiteral("+"));
    UnitUpload::Options options;
    // The bytes read at the start, which the file on disk still has, with
    // the unit's own values put in.
    options.image = unit.image;
    options.timeoutSeconds = b.timeoutSeconds;
    options.maximumRejections = b.maxResends;
    // A unit quiet for as long as it takes to call the next one new has left.
    options.awaySeconds = b.nextAfterSeconds;
    m_upload.start(options);
}

void StationSlot::onUploadFinished(const UnitUpload::Outcome& o)
{
    const BenchConfig& b = m_run.bench;
    const FirmwareFile& file = m_run.firmware;
    // The adaptor gone in the middle of the last line is as gone as ever.
    const bool lost = o.result == UnitResult::Fail && !m_comm.PortOpen();
    UnitRecord r;
    r.id = QUuid::createUuid();
    r.station = b.name;
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
    r.result = o.result;
    r.reason = lost ? unplugged : o.error;
    r.linesSent = o.linesSent;
    r.resends = o.resends;
    r.worstLine = o.worstLine;
    r.worstLineResends = o.worstLineResends;
    r.loaderVersion = QStringLiteral(LOADER_VERSION);
    r.own = m_unit.own;
    r.job = m_run.job;
    r.operatorName = m_unit.operatorName;
    r.imageSha256 = m_unit.imageSha256;
    r.label = m_unit.label;
    r.rework = m_unit.rework;
    r.reworkOf = m_unit.reworkOf;
    if (o.result == UnitResult::Pass && r.resendPercent() > b.warnResendsPercent)
        r.warning = QStringLiteral("many resends: clean and align the adaptor");
    if (o.result == UnitResult::Pass)
        ++m_passed;
    else if (o.result == UnitResult::Fail)
        ++m_failed;
    traffic(QStringLiteral("\r\n"));
    m_board->update([&](SlotView& v) {
        v.passed = m_passed;
        v.failed = m_failed;
        v.last = r;
        v.uploadStartedAt = -1;
        v.heardAt = SlotView::now();
    });
    emit unitFinished(r);

    if (m_stopAfterUnit || o.result == UnitResult::Interrupted) {
        closePort();
        return;
    }
    if (lost) {
        enter(SlotState::WaitingForAdaptor, o.error);
        tryOpen();
        return;
    }
    if (o.away) {
        // It has been quiet long enough already: the next prompt is a new unit.
        enter(SlotState::WaitingForUnit);
        return;
    }
    // It answered just now: in front of the adaptor until it goes quiet.
    enter(SlotState::WaitingForRemoval, r.warning.isEmpty() ? r.reason : r.warning);
    m_quiet.start(int(b.nextAfterSeconds * 1000));
}

void StationSlot::onPortLost()
{
    // A new unit counts from the adaptor's return on: no quiet wait then.
    m_quiet.stop();
    if (m_state == SlotState::Flashing) {
        m_upload.stop(UnitResult::Fail, unplugged);
        return;
    }
    if (m_state == SlotState::Stopped)
        return;
    enter(SlotState::WaitingForAdaptor, unplugged);
    tryOpen();
}

void StationSlot::finishAndStop()
{
    if (m_state == SlotState::Flashing) {
        m_stopAfterUnit = true;
        return;
    }
    closePort();
}

void StationSlot::interrupt(const QString& why)
{
    if (m_state == SlotState::Flashing) {
        m_upload.stop(UnitResult::Interrupted, why);
        return;
    }
    closePort();
}

void StationSlot::closePort()
{
    m_retry.stop();
    m_quiet.stop();
    (void)m_comm.setPortOpen(false);
    const bool wasRunning = m_state != SlotState::Stopped;
    enter(SlotState::Stopped);
    if (wasRunning)
        emit stopped();
}

void StationSlot::enter(SlotState state, const QString& reason)
{
    if (state == m_state && reason == m_reason)
        return;
    m_state = state;
    m_reason = reason;
    m_board->update([&](SlotView& v) {
        v.state = state;
        v.reason = reason;
    });
    emit changed();
}

// The same reason is said once, however often it holds.
void StationSlot::say(const QString& reason)
{
    enter(m_state, reason);
}
