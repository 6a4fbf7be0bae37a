#include "unitupload.h"

#include "../serial/mscomm.h"

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
    connect(&m_pacing, &QTimer::timeout, this, [this] { m_engine.pacingTick(); });
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        finish(Result::Failed,
               QStringLiteral("the unit was silent for %1 s").arg(m_silence.interval() / 1000));
    });
    m_answer.setSingleShot(true);
    m_answer.setInterval(AnswerWaitMs);
    connect(&m_answer, &QTimer::timeout, this, [this] { finish(Result::Done); });
    connect(&m_port, &MSComm::transmitSettled, this, [this](bool delivered, const QString& why) {
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
    m_engine.setMaximumRejections(options.maximumRejections);
    m_silence.setInterval(options.timeoutSeconds * 1000);
    m_progress = UploadProgress{0, options.facts.lines, 0};
    m_resentLine = m_resentCount = m_worstLine = m_worstCount = 0;
    m_clock.start();
    m_silence.start();
    m_engine.choose();
    const Status status = m_engine.sendFirstLine(options.file, options.facts);
    // A first line that never left is sent again at the unit's next prompt;
    // one that cannot be read has ended the upload already.
    if (status.failed() && m_state == State::Uploading && !m_engine.live())
        finish(Result::Failed, status.description());
}

void UnitUpload::received(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    const int last = uchar(data.back());
    if (m_state == State::Uploading) {
        m_silence.start();
        m_engine.HandshakeStep(last);
        return;
    }
    if (m_state != State::AwaitingAnswer)
        return;
    if (last == '+' || last == '*')
        showTraffic(QString(QChar(last)));
    if (last == '+')
        finish(Result::Failed, QStringLiteral("the unit rejected the final record"));
    else if (last == '*')
        finish(Result::Done);
}

void UnitUpload::stop(Result result, const QString& error)
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
        finish(Result::Failed, outcome.message);
        return;
    case UploadOutcome::Kind::Cancelled:
        return; // whoever cancelled says why
    }
}

void UnitUpload::finish(Result result, const QString& error)
{
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    m_engine.Cancel(); // the one place an upload is stopped
    m_answer.stop();
    m_silence.stop();
    m_pacing.stop();
    const Outcome outcome{result,    error,       m_progress.linesSent, m_progress.resends,
                          elapsed(), m_worstLine, m_worstCount};
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
