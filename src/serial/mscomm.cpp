#include "mscomm.h"

#include "portresolver.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QScopedValueRollback>
#include <QSet>
#include <QtGlobal>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

QSerialPort::Parity toQtParity(char parity)
{
    switch (parity) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

// Ports still open when the process ends abruptly (an X server gone, a
// fatal error): closing them releases their lock files for the next program.
QSet<MSComm*>& openPorts()
{
    // Never destroyed: it must outlive everything that runs at exit.
    static auto* ports = new QSet<MSComm*>;
    return *ports;
}

void closeOpenPorts()
{
    const QSet<MSComm*> ports = openPorts();
    for (MSComm* port : ports)
        port->closeQuietly();
}

} // namespace

MSComm::MSComm(QObject* parent) : QObject(parent), m_counterSource(makeSystemLineCounterSource())
{
    CommSettings defaults;
    defaults.speed = 9600;
    m_settings = defaults;
    m_port.setReadBufferSize(0);
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_drainTimer, &QTimer::timeout, this, &MSComm::checkDrained);
    connect(&m_port, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, [this] {
        m_transientErrors = 0;
        checkDrained();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::onPortError);
}

MSComm::~MSComm()
{
    if (m_port.isOpen())
        closeDevice(Closing::Quietly);
    openPorts().remove(this);
}

QString MSComm::Settings() const
{
    return m_settings.toString();
}

Status MSComm::setSettings(const QString& text)
{
    QString why;
    const std::optional<CommSettings> parsed = CommSettings::parse(text, &why);
    if (!parsed)
        return Status::failure(why);
    if (PortOpen() && *parsed != m_settings) {
        const Status applied = applyLineSettings(*parsed);
        if (applied.failed()) {
            // Leave the device as it was, so Settings keeps telling the truth.
            (void)applyLineSettings(m_settings);
            return applied;
        }
    }
    m_settings = *parsed;
    return Status::ok();
}

Status MSComm::setCommPort(int number)
{
    if (number < 1 || number > MaximumPortNumber) {
        return Status::failure(
            QStringLiteral("Invalid port number %1: port numbers run from 1 to %2.")
                .arg(number)
                .arg(MaximumPortNumber));
    }
    if (PortOpen() && number != m_commPort) {
        return Status::failure(QStringLiteral("The port number cannot change while %1 is open. "
                                              "Close the port first.")
                                   .arg(portLabel()));
    }
    if (number != m_commPort)
        releaseDevice();
    m_commPort = number;
    return Status::ok();
}

void MSComm::holdDevice()
{
    if (!m_devicePath.isEmpty() || holdsDevice())
        return;
    m_heldName = PortResolver::stableName(m_commPort, m_port.isOpen() ? m_openDevice : QString());
    m_heldDevice = m_port.isOpen() ? m_openDevice : PortResolver::realDevice(m_heldName);
}

void MSComm::releaseDevice()
{
    m_heldName.clear();
    m_heldDevice.clear();
}

Status MSComm::setHandshaking(int code)
{
    if (code < 0 || code > 3) {
        return Status::failure(QStringLiteral("Invalid handshaking code %1: use 0 (none), "
                                              "1 (Xon/Xoff), 2 (RTS) or 3 (Xon/RTS).")
                                   .arg(code));
    }
    if (PortOpen() && code != m_handshaking) {
        const Status applied = applyHandshaking(code);
        if (applied.failed()) {
            (void)applyHandshaking(m_handshaking);
            return applied;
        }
        m_handshaking = code;
        applyModemLines();
        return Status::ok();
    }
    m_handshaking = code;
    return Status::ok();
}

Status MSComm::setDTREnable(bool enable)
{
    m_dtrEnable = enable;
    return PortOpen() ? applyModemLine(true, enable) : Status::ok();
}

Status MSComm::setRTSEnable(bool enable)
{
    m_rtsEnable = enable;
    // With RTS flow control the driver owns the line.
    if (!PortOpen() || m_handshaking >= 2)
        return Status::ok();
    return applyModemLine(false, enable);
}

bool MSComm::PortOpen() const
{
    return m_port.isOpen() && !m_lost;
}

Status MSComm::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen())
            closeDevice();
        return Status::ok();
    }
    if (PortOpen())
        return Status::ok();
    if (m_port.isOpen())
        closeDevice(); // lost, and not yet closed
    return openDevice();
}

Status MSComm::Output(const QByteArray& bytes)
{
    if (!PortOpen()) {
        return Status::failure(
            PortDiagnosis::notOpen(QStringLiteral("Com%1").arg(m_commPort), m_advice));
    }
    if (bytes.isEmpty())
        return Status::ok();
    qsizetype done = 0;
#ifdef Q_OS_UNIX
    // Straight to the device when nothing is queued before it: out now, and
    // without the write notifier's round through the event loop.
    if (m_port.bytesToWrite() == 0) {
        const ssize_t n = ::write(int(m_port.handle()), bytes.constData(), size_t(bytes.size()));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            return Status::failure(
                QStringLiteral("Sending to %1 failed: %2.").arg(portLabel(), why));
        }
        done = qMax<qsizetype>(0, n);
    }
#endif
    if (done < bytes.size()) {
        const QByteArray rest = bytes.mid(done);
        if (m_port.write(rest) != rest.size()) {
            return Status::failure(
                QStringLiteral("Sending to %1 failed: %2.").arg(portLabel(), m_port.errorString()));
        }
        m_port.flush();
        if (!PortOpen())
            return Status::failure(m_lostDescription);
    }
    m_draining = OutBufferCount() > 0;
    if (m_draining)
        checkDrained();
    return Status::ok();
}

void MSComm::checkDrained()
{
    if (!m_draining || !PortOpen())
        return;
    // Bytes still in Qt's buffer announce themselves with bytesWritten.
    if (m_port.bytesToWrite() > 0)
        return;
    if (OutBufferCount() == 0) {
        m_draining = false;
        emit transmitSettled(true, QString());
        return;
    }
    // The driver is still sending; no event says when it is done.
    m_drainTimer.start(drainTimeHintMs());
}

int MSComm::OutBufferCount() const
{
    if (!PortOpen())
        return 0;
    qint64 count = m_port.bytesToWrite();
#ifdef Q_OS_LINUX
    int queued = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        count += queued;
#endif
    return int(qMin<qint64>(count, 0x7fffffff));
}

Status MSComm::setRThreshold(int threshold)
{
    if (threshold < 0)
        return Status::failure(QStringLiteral("Invalid receive threshold %1.").arg(threshold));
    m_rThreshold = threshold;
    // Bytes that came while events were held raise one now, from the event
    // loop rather than inside the caller.
    if (threshold > 0)
        scheduleDispatch();
    return Status::ok();
}

QByteArray MSComm::Input()
{
    if (!PortOpen())
        return QByteArray();
    return m_port.readAll();
}

int MSComm::InBufferCount() const
{
    return PortOpen() ? int(m_port.bytesAvailable()) : 0;
}

bool MSComm::inputWaiting() const
{
    if (!PortOpen())
        return false;
    if (m_port.bytesAvailable() > 0)
        return true;
#ifdef Q_OS_UNIX
    int queued = 0;
    return ::ioctl(int(m_port.handle()), FIONREAD, &queued) == 0 && queued > 0;
#else
    return false;
#endif
}

Status MSComm::setInBufferCount(int count)
{
    if (count != 0)
        return Status::failure(QStringLiteral("The receive buffer can only be emptied."));
    if (PortOpen())
        m_port.clear(QSerialPort::Input);
    return Status::ok();
}

QString MSComm::device() const
{
    if (m_port.isOpen())
        return m_openDevice;
    if (!m_devicePath.isEmpty())
        return m_devicePath;
    if (holdsDevice())
        return m_heldDevice;
    return PortResolver::resolve(m_commPort).device;
}

QString MSComm::portLabel() const
{
    if (!m_devicePath.isEmpty())
        return m_devicePath;
    const QString d = device();
    if (d.isEmpty())
        return QStringLiteral("Com%1").arg(m_commPort);
    return QStringLiteral("Com%1 (%2)").arg(m_commPort).arg(d);
}

int MSComm::drainTimeHintMs() const
{
    const int bytes = OutBufferCount();
    if (bytes <= 0)
        return 1;
    const double ms = bytes * m_settings.bitsPerCharacter() * 1000.0 / m_settings.speed;
    return qBound(1, int(ms + 1), 50);
}

void MSComm::setLineCounterSource(std::unique_ptr<LineCounterSource> source)
{
    m_counterSource = std::move(source);
    m_counters.reset();
    if (m_counterSource && m_port.isOpen())
        m_counters = m_counterSource->read(m_port.handle());
}

Status MSComm::openDevice()
{
    m_openFailure = OpenFailure();
    const Status opened = openDeviceAs();
    if (opened.failed() && m_openFailure.kind == OpenFailure::Kind::None)
        m_openFailure.kind = OpenFailure::Kind::Other;
    return opened;
}

void MSComm::noteFailure(OpenFailure::Kind kind, const DeviceAccess& access)
{
    m_openFailure.kind = kind;
    if (kind == OpenFailure::Kind::InUse && access.holderPid > 0)
        m_openFailure.holder =
            access.holderCommand.isEmpty()
                ? QStringLiteral("process %1").arg(access.holderPid)
                : QStringLiteral("%1 (process %2)").arg(access.holderCommand).arg(access.holderPid);
}

// What a failed open of this device was: missing, forbidden or in use.
static MSComm::OpenFailure::Kind kindOf(const DeviceAccess& access)
{
    using Kind = MSComm::OpenFailure::Kind;
    if (access.probeErrno == EACCES || access.probeErrno == EPERM)
        return Kind::Forbidden;
    if (access.probeErrno == ENOENT || access.probeErrno == ENODEV || access.probeErrno == ENXIO)
        return Kind::Missing;
    return Kind::InUse;
}

Status MSComm::openDeviceAs()
{
    const PortResolver::Resolution where =
        !m_devicePath.isEmpty() ? PortResolver::Resolution{m_devicePath, QStringLiteral("path")}
        : holdsDevice()         ? PortResolver::Resolution{m_heldName, QStringLiteral("held")}
                                : PortResolver::resolve(m_commPort);
    if (!where.known()) {
        m_openFailure.kind = OpenFailure::Kind::Missing;
        return Status::failure(
            PortDiagnosis::noDeviceKnown(m_commPort, PortResolver::linkPath(m_commPort), m_advice));
    }
    // Opened and locked as the device node itself, so that every program
    // that names one adaptor differently (a link, a by-id name) sees the lock.
    const QString real = PortResolver::realDevice(where.device);
    const QString shown = holdsDevice() && !QFileInfo::exists(real) ? m_heldDevice : real;
    const QString label = m_devicePath.isEmpty()
                              ? QStringLiteral("Com%1 (%2)").arg(m_commPort).arg(shown)
                              : m_devicePath;
    // A device that is not there costs a look, not a lock file made and
    // removed again (a station looks for a missing adaptor every second).
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(real)) {
        m_openFailure.kind = OpenFailure::Kind::Missing;
        return Status::failure(PortDiagnosis::missing(label, m_advice));
    }
#endif
    m_port.setPortName(real);
    // Qt's lock file removes a stale one itself where the folder allows; one
    // it cannot remove is named in the failure, with the command to remove it.
    bool opened = false;
    {
        const QScopedValueRollback<bool> configuring(m_configuring, true);
        opened = m_port.open(QIODevice::ReadWrite);
    }
    if (!opened) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString qtText = m_port.errorString();
        m_port.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            m_openFailure.kind = OpenFailure::Kind::Missing;
            return Status::failure(PortDiagnosis::missing(label, m_advice));
        case QSerialPort::PermissionError: {
            const DeviceAccess access = inspectDevice(real);
            noteFailure(kindOf(access), access);
            return Status::failure(PortDiagnosis::lockedOrForbidden(label, access, m_advice));
        }
        default:
            return Status::failure(
                QStringLiteral("%1 could not be opened: %2.").arg(label, qtText));
        }
    }
    m_openDevice = real;
    m_lost = false;
    static const bool closingAtExit = std::atexit(closeOpenPorts) == 0;
    Q_UNUSED(closingAtExit);
    openPorts().insert(this);
    m_transientErrors = 0;

#ifdef Q_OS_UNIX
    // Terminals that only use flock() must see the port as busy too.
    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        closeDevice();
        if (e == EWOULDBLOCK) {
            // Held by a live process's flock: a lock file of one may name it.
            DeviceAccess access;
            const LockFile lock = findLockFile(real);
            if (!lock.stale)
                noteLockHolder(&access, lock);
            noteFailure(OpenFailure::Kind::InUse, access);
            return Status::failure(PortDiagnosis::lockedOrForbidden(label, access, m_advice));
        }
        return Status::failure(QStringLiteral("%1 could not be locked: %2.")
                                   .arg(label, QString::fromLocal8Bit(std::strerror(e))));
    }
#endif

    Status s = applyLineSettings(m_settings);
    if (s.isOk())
        s = applyHandshaking(m_handshaking);
    if (s.failed()) {
        closeDevice();
        return s;
    }
    applyModemLines();
    m_counters.reset();
    if (m_counterSource)
        m_counters = m_counterSource->read(m_port.handle());
    scheduleDispatch();
    return Status::ok();
}

void MSComm::closeDevice(Closing closing, const QString& why)
{
    const QString label = portLabel();
    {
        const QScopedValueRollback<bool> configuring(m_configuring, true);
#ifdef Q_OS_UNIX
        // Queued output would make close() wait for the driver to drain it.
        // Only then: on a pseudo-terminal the flush also takes back what
        // has left the port but is not yet read at the other end.
        if (m_port.handle() >= 0 && OutBufferCount() > 0)
            ::tcflush(int(m_port.handle()), TCOFLUSH);
#endif
        m_port.close();
        m_port.clearError();
        m_openDevice.clear();
        openPorts().remove(this);
        m_pendingLineEvents.clear();
        m_counters.reset();
    }
    m_drainTimer.stop();
    if (!m_draining)
        return;
    m_draining = false;
    if (closing == Closing::Reporting) {
        emit transmitSettled(false, why.isEmpty()
                                        ? QStringLiteral("%1 was closed before everything had "
                                                         "been sent.")
                                              .arg(label)
                                        : why);
    }
}

Status MSComm::refusal(const QString& what) const
{
    return Status::failure(
        QStringLiteral("%1 refused %2: %3.").arg(portLabel(), what, m_port.errorString()));
}

Status MSComm::applyLineSettings(const CommSettings& s)
{
    if (s.dataBits < 5) {
        return Status::failure(QStringLiteral("%1 cannot use %2 data bits: the serial driver "
                                              "supports 5 to 8.")
                                   .arg(portLabel())
                                   .arg(s.dataBits));
    }
    if (s.stopBits == CommSettings::StopBits::OneAndHalf && s.dataBits != 5) {
        return Status::failure(QStringLiteral("%1 cannot use 1.5 stop bits with %2 data bits: "
                                              "1.5 stop bits need 5 data bits.")
                                   .arg(portLabel())
                                   .arg(s.dataBits));
    }
    const QScopedValueRollback<bool> configuring(m_configuring, true);
    if (!m_port.setBaudRate(s.speed))
        return refusal(QStringLiteral("the speed %1").arg(s.speed));
    if (!m_port.setDataBits(QSerialPort::DataBits(s.dataBits)))
        return refusal(QStringLiteral("%1 data bits").arg(s.dataBits));
    if (!m_port.setParity(toQtParity(s.parity)))
        return refusal(QStringLiteral("%1 parity").arg(parityName(s.parity)));
    // With 5 data bits a UART makes 1.5 stop bits of the two-stop-bit setting.
    const QSerialPort::StopBits stop =
        s.stopBits == CommSettings::StopBits::One ? QSerialPort::OneStop : QSerialPort::TwoStop;
    if (!m_port.setStopBits(stop))
        return refusal(QStringLiteral("%1 stop bits").arg(stopBitsText(s.stopBits)));
    return Status::ok();
}

Status MSComm::applyHandshaking(int code)
{
    const QScopedValueRollback<bool> configuring(m_configuring, true);
    const QSerialPort::FlowControl flow = code == 1   ? QSerialPort::SoftwareControl
                                          : code >= 2 ? QSerialPort::HardwareControl
                                                      : QSerialPort::NoFlowControl;
    if (!m_port.setFlowControl(flow))
        return refusal(QStringLiteral("handshaking %1").arg(code));
#ifdef Q_OS_UNIX
    if (code == 3) {
        termios tio{};
        const int fd = int(m_port.handle());
        if (::tcgetattr(fd, &tio) == 0) {
            tio.c_iflag |= IXON | IXOFF;
            if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
                return Status::failure(
                    QStringLiteral("%1 refused Xon/Xoff with RTS handshaking: %2.")
                        .arg(portLabel(), QString::fromLocal8Bit(std::strerror(errno))));
            }
        }
    }
#endif
    return Status::ok();
}

Status MSComm::applyModemLine(bool dtr, bool on)
{
#ifdef Q_OS_UNIX
    int bits = dtr ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(int(m_port.handle()), on ? TIOCMBIS : TIOCMBIC, &bits) == 0)
        return Status::ok();
    const int e = errno;
    // A pseudo-terminal has no modem lines; that is no failure.
    if (e == ENOTTY || e == EINVAL)
        return Status::ok();
    return Status::failure(QStringLiteral("%1 refused to set %2: %3.")
                               .arg(portLabel(),
                                    dtr ? QStringLiteral("DTR") : QStringLiteral("RTS"),
                                    QString::fromLocal8Bit(std::strerror(e))));
#else
    const QScopedValueRollback<bool> configuring(m_configuring, true);
    const bool ok = dtr ? m_port.setDataTerminalReady(on) : m_port.setRequestToSend(on);
    m_port.clearError();
    return ok ? Status::ok() : refusal(dtr ? QStringLiteral("DTR") : QStringLiteral("RTS"));
#endif
}

void MSComm::applyModemLines()
{
    (void)applyModemLine(true, m_dtrEnable);
    if (m_handshaking < 2)
        (void)applyModemLine(false, m_rtsEnable);
}

void MSComm::onReadyRead()
{
    m_transientErrors = 0;
    if (m_counterSource && m_counters) {
        if (const auto now = m_counterSource->read(m_port.handle())) {
            m_pendingLineEvents += lineErrorEvents(*m_counters, *now);
            m_counters = now;
        }
    }
    dispatchEvents();
}

// For events that become due inside a caller (receive events switched back
// on, a port just opened): raised once the caller has returned.
void MSComm::scheduleDispatch()
{
    if (m_dispatchPosted || !PortOpen())
        return;
    const bool receive = m_rThreshold > 0 && m_port.bytesAvailable() >= m_rThreshold;
    if (!receive && m_pendingLineEvents.isEmpty())
        return;
    m_dispatchPosted = true;
    QMetaObject::invokeMethod(this, &MSComm::dispatchQueued, Qt::QueuedConnection);
}

void MSComm::dispatchQueued()
{
    m_dispatchPosted = false;
    dispatchEvents();
}

void MSComm::dispatchEvents()
{
    // A handler that opens a modal box lets readyRead come again; those
    // bytes are raised once the handler has returned.
    if (m_dispatching) {
        m_redispatch = true;
        return;
    }
    {
        const QScopedValueRollback<bool> dispatching(m_dispatching, true);
        while (!m_pendingLineEvents.isEmpty() && PortOpen())
            raise(m_pendingLineEvents.takeFirst());
        if (PortOpen() && m_rThreshold > 0 && m_port.bytesAvailable() >= m_rThreshold)
            raise(comEvReceive);
    }
    if (m_redispatch) {
        m_redispatch = false;
        scheduleDispatch();
    }
}

void MSComm::raise(int code)
{
    m_commEvent = code;
    emit OnComm();
}

bool MSComm::deviceHungUp() const
{
#ifdef Q_OS_UNIX
    pollfd p{};
    p.fd = int(m_port.handle());
    p.events = POLLIN | POLLOUT;
    if (p.fd < 0)
        return true;
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void MSComm::onPortError(QSerialPort::SerialPortError error)
{
    const int savedErrno = errno;
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    if (m_configuring || m_lost || !m_port.isOpen())
        return;
    const bool transient =
        error != QSerialPort::ReadError &&
        (savedErrno == EAGAIN || savedErrno == EWOULDBLOCK || savedErrno == EINTR) &&
        !deviceHungUp();
    // A full output buffer is not a hang-up, but an endless stream of them is.
    if (transient && ++m_transientErrors < 1000) {
        m_port.clearError();
        return;
    }
    m_lost = true;
    // Device first, then what happened, then what to do.
    const QString where = m_devicePath.isEmpty()
                              ? QStringLiteral("%1 (Com%2)").arg(m_openDevice).arg(m_commPort)
                              : m_openDevice;
    const bool gone = !QFileInfo::exists(m_openDevice);
    m_lostDescription = gone || deviceHungUp()
                            ? PortDiagnosis::lost(where, gone, m_advice)
                            : PortDiagnosis::stopped(where, m_port.errorString(), m_advice);
    // Closing inside QSerialPort's own notification is not safe.
    QMetaObject::invokeMethod(this, &MSComm::closeAfterLoss, Qt::QueuedConnection);
}

void MSComm::closeAfterLoss()
{
    if (!m_lost)
        return;
    if (m_port.isOpen())
        closeDevice(Closing::Reporting, m_lostDescription);
    m_lost = false;
    emit portLost(m_lostDescription);
}
