#include "unitupload.h"

#include "../serial/mscomm.h"
#include "transcript.h"

namespace {

// How long the unit has to answer the last record before silence counts as
// success (a unit may restart after its end record).
constexpr int AnswerWaitMs = 1000;

} // namespace

UnitUpload::UnitUpload(MSComm& port, QObject* parent)
    : QObject(parent), m_port(port), m_engine(*this)
{
    m_pacing.setSingleShot(true);
    m_pacing.setInterval(10);
    m_pacing.setTimerType(Qt::PreciseTimer);
    connect(&m_pacing, &QTimer::timeout, this, [this] {
        if (m_state == State::ResendingLast)
            resendLast();
        else
            m_engine.pacingTick();
    });
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, &UnitUpload::unitQuiet);
    m_answer.setSingleShot(true);
    m_answer.setInterval(AnswerWaitMs);
    connect(&m_answer, &QTimer::timeout, this, [this] { finish(UnitResult::Pass); });
    connect(&m_port, &MSComm::transmitSettled, this, [this](bool delivered, const QString& why) {
        if (m_state == State::AwaitingAnswer) {
            // The last line, sent again, has left: its answer is awaited from now.
            if (!delivered)
                finish(UnitResult::Fail, why);
            else
                m_answer.start();
            return;
        }
        if (m_state != State::Uploading)
            return;
        // Our own sending is not the unit's silence.
        m_silence.start();
        m_engine.transmitSettled(delivered, why);
    });
}

double UnitUpload::elapsed() const
{
    return m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0.0;
}

void UnitUpload::start(const Options& options)
{
    m_state = State::Uploading;
    m_maximumRejections = options.maximumRejections;
    m_engine.setMaximumRejections(options.maximumRejections);
    m_timeoutSeconds = options.timeoutSeconds;
    m_awaySeconds = options.awaySeconds;
    const double quiet =
        m_awaySeconds > 0 ? qMin<double>(m_awaySeconds, m_timeoutSeconds) : m_timeoutSeconds;
    m_silence.setInterval(int(quiet * 1000));
    m_progress = UploadProgress{0, options.image.facts.lines, 0};
    m_resentLine = m_resentCount = m_worstLine = m_worstCount = 0;
    m_lastRejections = 0;
    m_clock.start();
    m_heard.start();
    m_silence.start();
    m_engine.choose();
    const Status status = m_engine.sendFirstLine(options.image);
    // A first line that never left is sent again at the unit's next prompt;
    // one that cannot be read has ended the upload already.
    if (status.failed() && m_state == State::Uploading && !m_engine.live())
        finish(UnitResult::Fail, status.description());
}

void UnitUpload::unitQuiet()
{
    // An event loop held up for as long finds the unit's answer waiting:
    // that unit spoke, and is read next.
    if (m_port.inputWaiting()) {
        m_silence.start();
        return;
    }
    // The shorter wait applies: a unit taken away, or one that stays silent.
    if (m_awaySeconds > 0 && m_awaySeconds <= m_timeoutSeconds) {
        finish(UnitResult::Fail,
               QStringLiteral("the unit went away at line %1 of %2")
                   .arg(m_progress.linesSent)
                   .arg(m_progress.totalLines),
               true);
        return;
    }
    finish(UnitResult::Fail, QStringLiteral("the unit was silent for %1 s").arg(m_timeoutSeconds));
}

void UnitUpload::received(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    m_heard.restart();
    const int last = uchar(data.back());
    if (m_state == State::Uploading) {
        m_silence.start();
        m_engine.HandshakeStep(last);
        return;
    }
    if ((m_state == State::AwaitingAnswer || m_state == State::ResendingLast) &&
        (last == '+' || last == '*'))
        answerToLast(last);
}

void UnitUpload::answerToLast(int reply)
{
    showTraffic(QString(QChar(reply)));
    if (reply == '*') {
        finish(UnitResult::Pass);
        return;
    }
    // A "+" asks for the last line again, as for any other line.
    if (m_state == State::ResendingLast)
        return; // already on its way after the pacing
    m_answer.stop();
    if (++m_lastRejections >= m_maximumRejections) {
        finish(UnitResult::Fail,
               QStringLiteral("The unit rejected line %1 %2 times; giving up on it.")
                   .arg(m_progress.linesSent)
                   .arg(m_lastRejections));
        return;
    }
    m_state = State::ResendingLast;
    m_pacing.start();
}

void UnitUpload::resendLast()
{
    const QByteArray& line = m_engine.sCurrentLine;
    showTraffic(Transcript::fromBytes(line) + QStringLiteral("\r\n"));
    countResend();
    m_state = State::AwaitingAnswer;
    const Status sent = m_port.Output(line);
    if (sent.failed()) {
        finish(UnitResult::Fail, sent.description());
        return;
    }
    // The answer wait starts once the line has left.
    if (!m_port.outputPending())
        m_answer.start();
}

void UnitUpload::countResend()
{
    UploadProgress p = m_progress;
    ++p.resends;
    progress(p);
}

void UnitUpload::stop(UnitResult result, const QString& error)
{
    finish(result, error);
}

void UnitUpload::ended(const UploadOutcome& outcome)
{
    switch (outcome.kind) {
    case UploadOutcome::Kind::Done:
        m_state = State::AwaitingAnswer;
        m_silence.stop();
        m_answer.start();
        return;
    case UploadOutcome::Kind::Failed:
        finish(UnitResult::Fail, outcome.message);
        return;
    case UploadOutcome::Kind::Cancelled:
        return; // whoever cancelled says why
    }
}

void UnitUpload::finish(UnitResult result, const QString& error, bool away)
{
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    m_engine.Cancel(); // the one place an upload is stopped
    m_answer.stop();
    m_silence.stop();
    m_pacing.stop();
    const Outcome outcome{result,    error,       m_progress.linesSent, m_progress.resends,
                          elapsed(), m_worstLine, m_worstCount,         away};
    m_clock.invalidate();
    emit finished(outcome);
}

void UnitUpload::progress(const UploadProgress& progress)
{
    // Resends of one line come one after another, until the unit takes it.
    if (progress.resends > m_progress.resends) {
        if (progress.linesSent != m_resentLine) {
            m_resentLine = progress.linesSent;
            m_resentCount = 0;
        }
        m_resentCount += progress.resends - m_progress.resends;
        if (m_resentCount > m_worstCount) {
            m_worstCount = m_resentCount;
            m_worstLine = m_resentLine;
        }
    }
    m_progress = progress;
    emit progressed(progress);
}

void UnitUpload::showTraffic(const QString& text)
{
    if (!text.isEmpty())
        emit traffic(text);
}

Status UnitUpload::send(const QByteArray& line)
{
    return m_port.Output(line);
}

bool UnitUpload::transmitBufferEmpty()
{
    return !m_port.outputPending();
}

void UnitUpload::setReceiveEvents(bool on)
{
    (void)m_port.setRThreshold(on ? 1 : 0);
}

void UnitUpload::discardInput()
{
    (void)m_port.setInBufferCount(0);
}

void UnitUpload::armPacing()
{
    if (!m_pacing.isActive())
        m_pacing.start();
}
