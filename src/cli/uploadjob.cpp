#include "uploadjob.h"

#include <QRegularExpression>

namespace {

// How long the unit has to answer the last record before silence counts as
// success (a unit may restart after its end record).
constexpr int AnswerWaitMs = 1000;

} // namespace

UploadJob::UploadJob(const QString& port, const Options& options, QObject* parent)
    : QObject(parent), m_portArgument(port), m_options(options), m_engine(*this)
{
    m_engine.setMaximumRejections(options.maximumRejections);
    m_port.setAdvice(PortAdvice::CommandLine);
    m_pacing.setSingleShot(true);
    m_pacing.setInterval(10);
    m_pacing.setTimerType(Qt::PreciseTimer);
    connect(&m_pacing, &QTimer::timeout, this, [this] { m_engine.pacingTick(); });
    m_silence.setSingleShot(true);
    m_silence.setInterval(options.timeoutSeconds * 1000);
    connect(&m_silence, &QTimer::timeout, this, &UploadJob::onSilence);
    m_answer.setSingleShot(true);
    m_answer.setInterval(AnswerWaitMs);
    connect(&m_answer, &QTimer::timeout, this, [this] { finishUnit(Result::Done); });

    connect(&m_port, &MSComm::OnComm, this, &UploadJob::onComm);
    connect(&m_port, &MSComm::transmitSettled, this, [this](bool delivered, const QString& why) {
        // Our own sending is not the unit's silence.
        if (m_silence.isActive())
            m_silence.start();
        m_engine.transmitSettled(delivered, why);
    });
    connect(&m_port, &MSComm::portLost, this, [this](const QString& description) {
        m_options.repeat = false;
        finishUnit(Result::Failed, description);
    });
}

QString UploadJob::device() const
{
    return m_port.device();
}

double UploadJob::elapsed() const
{
    return m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0.0;
}

QString UploadJob::resultName(Result result)
{
    switch (result) {
    case Result::Done:
        return QStringLiteral("done");
    case Result::Failed:
        return QStringLiteral("failed");
    case Result::NotOpened:
        return QStringLiteral("not opened");
    case Result::Interrupted:
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
        status = m_port.setSettings(m_options.settings);
    if (status.isOk())
        status = m_port.setHandshaking(m_options.handshaking);
    if (status.isOk())
        status = m_port.setPortOpen(true);
    if (status.failed()) {
        m_options.repeat = false;
        // After the caller has connected to the signals.
        QTimer::singleShot(
            0, this, [this, why = status.description()] { finishUnit(Result::NotOpened, why); });
        return;
    }
    m_state = State::AwaitingPrompt;
    // A production line waits for its units as long as it takes.
    if (!m_options.repeat)
        m_silence.start();
}

void UploadJob::onComm()
{
    if (m_port.CommEvent() != MSComm::comEvReceive)
        return;
    const QByteArray data = m_port.Input();
    if (data.isEmpty())
        return;
    const int last = uchar(data.back());
    switch (m_state) {
    case State::AwaitingPrompt:
        if (data.contains('+')) {
            showTraffic(QStringLiteral("+"));
            beginUpload();
        }
        return;
    case State::Uploading:
        m_silence.start();
        m_engine.HandshakeStep(last);
        return;
    case State::AwaitingAnswer:
        if (last == '+' || last == '*')
            showTraffic(QString(QChar(last)));
        if (last == '+')
            finishUnit(Result::Failed, QStringLiteral("the unit rejected the final record"));
        else if (last == '*')
            finishUnit(Result::Done);
        return;
    case State::Idle:
    case State::Finished:
        return;
    }
}

void UploadJob::beginUpload()
{
    m_state = State::Uploading;
    ++m_units;
    m_progress = UploadProgress{0, m_options.facts.lines, 0};
    m_clock.start();
    m_silence.start();
    if (!m_atLineStart)
        showTraffic(QStringLiteral("\r\n"));
    m_engine.choose();
    const Status status = m_engine.sendFirstLine(m_options.file, m_options.facts);
    // A first line that never left is sent again at the unit's next prompt;
    // one that cannot be read has ended the upload already.
    if (status.failed() && m_state == State::Uploading && !m_engine.live())
        finishUnit(Result::Failed, status.description());
}

void UploadJob::ended(const UploadOutcome& outcome)
{
    switch (outcome.kind) {
    case UploadOutcome::Kind::Done:
        m_state = State::AwaitingAnswer;
        m_silence.stop();
        m_answer.start();
        return;
    case UploadOutcome::Kind::Failed:
        finishUnit(Result::Failed, outcome.message);
        return;
    case UploadOutcome::Kind::Cancelled:
        return; // whoever cancelled says why
    }
}

void UploadJob::onSilence()
{
    if (m_state == State::AwaitingPrompt) {
        finishUnit(Result::Failed,
                   QStringLiteral("no prompt from the unit in %1 s: is it in Code Upload mode and "
                                  "pointed at the adaptor?")
                       .arg(m_options.timeoutSeconds));
        return;
    }
    if (m_state == State::Uploading) {
        finishUnit(Result::Failed,
                   QStringLiteral("the unit was silent for %1 s").arg(m_options.timeoutSeconds));
    }
}

void UploadJob::interrupt()
{
    if (m_state == State::Finished)
        return;
    m_options.repeat = false;
    finishUnit(Result::Interrupted);
}

void UploadJob::finishUnit(Result result, const QString& error)
{
    if (m_state == State::Finished)
        return;
    m_engine.Cancel(); // the one place an upload of this job is stopped
    m_answer.stop();
    m_silence.stop();
    m_pacing.stop();
    const bool uploaded = m_state == State::Uploading || m_state == State::AwaitingAnswer;
    if (uploaded || m_units == 0 || !error.isEmpty()) {
        Outcome outcome{result, error, m_progress.linesSent, m_progress.resends,
                        uploaded ? elapsed() : 0.0};
        m_outcomes.append(outcome);
        emit unitFinished(outcome);
    }
    if (!m_atLineStart)
        showTraffic(QStringLiteral("\r\n"));
    m_clock.invalidate();
    if (m_options.repeat) {
        // The next unit: nothing left over from this one counts as its prompt.
        (void)m_port.setInBufferCount(0);
        m_state = State::AwaitingPrompt;
        return;
    }
    close();
}

void UploadJob::close()
{
    m_state = State::Finished;
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

Status UploadJob::send(const QByteArray& line)
{
    return m_port.Output(line);
}

bool UploadJob::transmitBufferEmpty()
{
    return !m_port.outputPending();
}

void UploadJob::setReceiveEvents(bool on)
{
    (void)m_port.setRThreshold(on ? 1 : 0);
}

void UploadJob::discardInput()
{
    (void)m_port.setInBufferCount(0);
}

void UploadJob::armPacing()
{
    if (!m_pacing.isActive())
        m_pacing.start();
}
