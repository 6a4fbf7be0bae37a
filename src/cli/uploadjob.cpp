#include "uploadjob.h"

#include <QRegularExpression>

UploadJob::UploadJob(const QString& port, const Options& options, QObject* parent)
    : QObject(parent), m_portArgument(port), m_options(options), m_upload(m_port)
{
    m_port.setAdvice(PortAdvice::CommandLine);
    const int timeout = options.bench.timeoutSeconds;
    m_silence.setSingleShot(true);
    m_silence.setInterval(timeout * 1000);
    connect(&m_silence, &QTimer::timeout, this, [this, timeout] {
        finishUnit(UnitResult::Fail, true,
                   QStringLiteral("no prompt from the unit in %1 s: is it in Code Upload mode and "
                                  "pointed at the adaptor?")
                       .arg(timeout));
    });
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(int(options.bench.nextAfterSeconds * 1000));
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        // Quiet long enough: the unit has gone, the next prompt is a new one.
        m_removal = false;
    });
    connect(&m_port, &MSComm::OnComm, this, &UploadJob::onComm);
    connect(&m_port, &MSComm::portLost, this, [this](const QString& description) {
        m_options.repeat = false;
        if (m_upload.running())
            m_upload.stop(UnitResult::Fail, description);
        else
            finishUnit(UnitResult::Fail, true, description);
    });
    connect(&m_upload, &UnitUpload::traffic, this, &UploadJob::showTraffic);
    connect(&m_upload, &UnitUpload::finished, this, &UploadJob::onUploadFinished);
}

QString UploadJob::device() const
{
    return m_port.device();
}

UploadJob::State UploadJob::state() const
{
    if (m_finished)
        return State::Finished;
    if (m_upload.running())
        return m_upload.awaitingAnswer() ? State::AwaitingAnswer : State::Uploading;
    if (m_awaiting && m_removal)
        return State::AwaitingRemoval;
    return m_awaiting ? State::AwaitingPrompt : State::Idle;
}

bool UploadJob::unitStillPrompting() const
{
    return m_removal && m_heard.isValid() && m_heard.elapsed() < 1000;
}

QString UploadJob::reportWord(const Outcome& o)
{
    if (!o.opened)
        return QStringLiteral("not opened");
    switch (o.result) {
    case UnitResult::Pass:
        return QStringLiteral("done");
    case UnitResult::Fail:
        return QStringLiteral("failed");
    case UnitResult::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QString();
}

void UploadJob::start()
{
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    Status status = Status::ok();
    if (number.match(m_portArgument).hasMatch())
        status = m_port.setCommPort(m_portArgument.toInt());
    else
        m_port.setDevicePath(m_portArgument);
    if (status.isOk())
        status = m_port.setSettings(m_options.bench.lineSettings());
    if (status.isOk())
        status = m_port.setHandshaking(m_options.bench.handshaking.value_or(0));
    if (status.isOk())
        status = m_port.setPortOpen(true);
    if (status.failed()) {
        m_options.repeat = false;
        // After the caller has connected to the signals.
        QTimer::singleShot(0, this, [this, why = status.description()] {
            finishUnit(UnitResult::Fail, false, why);
        });
        return;
    }
    m_awaiting = true;
    // A production line waits for its units as long as it takes.
    if (!m_options.repeat)
        m_silence.start();
}

void UploadJob::onComm()
{
    if (m_port.CommEvent() != MSComm::comEvReceive)
        return;
    const QByteArray data = m_port.Input();
    if (m_upload.running()) {
        m_upload.received(data);
    } else if (m_awaiting && m_removal) {
        // Still in front of the adaptor: the next unit counts after a quiet while.
        m_heard.restart();
        m_quiet.start();
    } else if (m_awaiting && data.contains('+')) {
        showTraffic(QStringLiteral("+"));
        beginUpload();
    }
}

void UploadJob::beginUpload()
{
    m_awaiting = false;
    m_silence.stop();
    UnitUpload::Options unit;
    unit.image = m_options.image;
    m_own = UnitValues();
    QString why;
    if (m_options.nextUnit && !m_options.nextUnit(&unit.image, &m_own, &why)) {
        m_options.repeat = false;
        finishUnit(UnitResult::Fail, true, why);
        return;
    }
    ++m_units;
    if (!m_atLineStart)
        showTraffic(QStringLiteral("\r\n"));
    unit.timeoutSeconds = m_options.bench.timeoutSeconds;
    unit.maximumRejections = m_options.bench.maxResends;
    m_upload.start(unit);
}

void UploadJob::onUploadFinished(const UnitUpload::Outcome& o)
{
    report({o.result, true, o.error, o.linesSent, o.resends, o.seconds, m_own});
    // A unit taken away mid-upload has gone already; any other is still there.
    if (m_options.repeat) {
        m_removal = true;
        m_heard.restart();
        m_quiet.start();
    }
    afterUnit();
}

void UploadJob::interrupt()
{
    if (m_finished)
        return;
    m_options.repeat = false;
    if (m_upload.running())
        m_upload.stop(UnitResult::Interrupted);
    else
        finishUnit(UnitResult::Interrupted, true);
}

// Ends the job's wait for a unit (no upload is running).
void UploadJob::finishUnit(UnitResult result, bool opened, const QString& error)
{
    if (m_finished)
        return;
    m_silence.stop();
    if (m_units == 0 || !error.isEmpty())
        report({result, opened, error, 0, 0, 0.0, UnitValues()});
    afterUnit();
}

void UploadJob::report(const Outcome& outcome)
{
    m_outcomes.append(outcome);
    emit unitFinished(outcome);
}

void UploadJob::afterUnit()
{
    if (!m_atLineStart)
        showTraffic(QStringLiteral("\r\n"));
    if (m_options.repeat) {
        // The next unit: nothing left over from this one counts as its prompt.
        (void)m_port.setInBufferCount(0);
        m_awaiting = true;
        return;
    }
    m_awaiting = false;
    m_finished = true;
    m_quiet.stop();
    (void)m_port.setPortOpen(false);
    emit finished();
}

void UploadJob::showTraffic(const QString& text)
{
    if (text.isEmpty())
        return;
    m_atLineStart = text.endsWith(QLatin1Char('\n'));
    emit traffic(text);
}
