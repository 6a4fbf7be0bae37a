#include "uploadengine.h"

#include "transcript.h"

namespace {

const QString crlf = QStringLiteral("\r\n");

} // namespace

UploadEngine::UploadEngine(UploadHost& host) : m_host(host) {}

void UploadEngine::choose()
{
    bSending = true;
    bStopSending = false;
    m_state = State::Choosing;
}

void UploadEngine::giveUp()
{
    bSending = false;
    m_state = State::Idle;
}

Status UploadEngine::sendFirstLine(const FirmwareImage& image)
{
    bStopSending = false;
    m_reply = -1;
    m_rejections = 0;
    m_underWay = false;
    m_receiveOff = false;
    m_progress = UploadProgress{0, image.facts.lines, 0};

    tsFirmware.open(image);
    Status first = tsFirmware.readLine(&sCurrentLine);
    if (first.failed()) {
        // No line to send, so nothing will ever answer: over, as by Cancel.
        end(UploadOutcome::Kind::Cancelled);
        return first;
    }
    m_host.showTraffic(Transcript::fromBytes(sCurrentLine) + crlf);
    // Prompts that piled up while the file was chosen and during the pause
    // are not replies to this line; read as replies they would put the
    // loader one reply ahead of the unit.
    m_host.discardInput();
    const bool last = tsFirmware.atEnd();
    m_state = last ? State::Finishing : State::FirstTransmit;
    if (last)
        bStopSending = true;
    // The quiet pause before this line is not the unit's silence.
    m_host.restartPortReset();
    const Status sent = m_host.send(sCurrentLine);
    ++m_progress.linesSent;
    reportProgress();
    if (sent.failed() && !last)
        first = sent; // the start reports it; the unit's next prompt brings the line again
    afterSend(sent);
    return first;
}

void UploadEngine::HandshakeStep(int received)
{
    const bool reply = received == '*' || received == '+';
    switch (m_state) {
    case State::Idle:
    case State::Finishing: // the line is leaving; the upload then ends without its answer
        return;
    case State::Choosing:
        // No line of the chosen file is out: nothing may be sent, and a
        // prompt shows as it does when idle.
        if (received == '+')
            m_host.showTraffic(QStringLiteral("+"));
        return;
    case State::Pacing:
        // The newest reply is the one answered, as if all had come in one read.
        if (reply) {
            m_host.showTraffic(QString(QChar(received)));
            m_reply = received;
        }
        return;
    case State::Transmitting:
        // Receive events are off while a line leaves; a reply waits in the port.
        return;
    case State::FirstTransmit:
        if (!reply)
            return;
        startUnderWay();
        acceptReply(received);
        return;
    case State::WaitingReply:
        if (reply)
            acceptReply(received);
        return;
    }
}

void UploadEngine::acceptReply(int reply)
{
    m_host.showTraffic(QString(QChar(reply)));
    m_reply = reply;
    m_host.armPacing();
    m_state = State::Pacing;
    if (bPaceElapsed)
        sendReply();
}

void UploadEngine::pacingTick()
{
    bPaceElapsed = true;
    if (m_state == State::Pacing)
        sendReply();
}

void UploadEngine::sendReply()
{
    bPaceElapsed = false;
    if (m_reply == '*') {
        const Status read = tsFirmware.readLine(&sCurrentLine);
        if (read.failed()) {
            end(UploadOutcome::Kind::Failed, read.description());
            return;
        }
        ++m_progress.linesSent;
        m_rejections = 0;
    } else {
        if (m_maximumRejections > 0 && ++m_rejections >= m_maximumRejections) {
            end(UploadOutcome::Kind::Failed,
                QStringLiteral("The unit rejected line %1 %2 times; giving up on it.")
                    .arg(m_progress.linesSent)
                    .arg(m_rejections));
            return;
        }
        ++m_progress.resends;
    }
    m_host.showTraffic(Transcript::fromBytes(sCurrentLine) + crlf);
    const bool last = m_reply == '*' && tsFirmware.atEnd();
    if (last)
        bStopSending = true;
    m_state = last ? State::Finishing : State::Transmitting;
    m_host.setReceiveEvents(false);
    m_receiveOff = true;
    const Status sent = m_host.send(sCurrentLine);
    reportProgress();
    if (sent.failed() && !last)
        m_host.sendProblem(sent.description());
    afterSend(sent);
}

void UploadEngine::afterSend(const Status& sent)
{
    if (sent.failed()) {
        if (m_state == State::Finishing) {
            // The last line never left: that is no "Done.".
            end(UploadOutcome::Kind::Failed, sent.description());
            return;
        }
        transmitDone();
        return;
    }
    if (m_host.transmitBufferEmpty())
        transmitDone();
}

void UploadEngine::transmitSettled(bool delivered, const QString& why)
{
    if (m_state != State::FirstTransmit && m_state != State::Transmitting &&
        m_state != State::Finishing)
        return;
    if (!delivered && m_state == State::Finishing) {
        end(UploadOutcome::Kind::Failed, why);
        return;
    }
    transmitDone();
}

void UploadEngine::transmitDone()
{
    if (m_receiveOff) {
        m_receiveOff = false;
        m_host.setReceiveEvents(true);
    }
    switch (m_state) {
    case State::Finishing:
        // The last line has left; its answer is not awaited.
        m_lastLineLeft = true;
        CompletionCheck();
        return;
    case State::FirstTransmit:
        startUnderWay();
        m_state = State::WaitingReply;
        return;
    case State::Transmitting:
        m_state = State::WaitingReply;
        return;
    default:
        return;
    }
}

void UploadEngine::startUnderWay()
{
    if (m_underWay)
        return;
    m_underWay = true;
    // The unit's first answer is paced from here.
    bPaceElapsed = false;
    m_host.armPacing();
    m_host.underWay();
}

void UploadEngine::CompletionCheck()
{
    if (!(bStopSending && bSending && m_state == State::Finishing && m_lastLineLeft))
        return;
    m_host.showTraffic(crlf + QStringLiteral("Done.") + crlf);
    end(UploadOutcome::Kind::Done);
}

void UploadEngine::Cancel()
{
    if (m_state == State::Idle)
        return;
    bStopSending = true;
    // The rest of the file is skipped: neither shown nor sent.
    while (tsFirmware.isOpen() && !tsFirmware.atEnd()) {
        if (tsFirmware.readLine(&sCurrentLine).failed())
            break;
    }
    end(UploadOutcome::Kind::Cancelled);
}

void UploadEngine::end(UploadOutcome::Kind kind, const QString& message)
{
    bStopSending = true;
    bSending = false;
    m_state = State::Idle;
    m_lastLineLeft = false;
    if (m_receiveOff) {
        m_receiveOff = false;
        m_host.setReceiveEvents(true);
    }
    tsFirmware.close();
    m_host.stopPortReset();
    m_host.ended(UploadOutcome{kind, message});
}

void UploadEngine::reportProgress()
{
    m_host.progress(m_progress);
}
