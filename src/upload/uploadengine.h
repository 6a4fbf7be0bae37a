#pragma once

#include "../serial/status.h"
#include "firmwarestream.h"

#include <QByteArray>
#include <QString>

// How an upload stands, for a progress display.
struct UploadProgress {
    int linesSent = 0; // lines of the file sent so far, resends not counted
    int totalLines = 0;
    int resends = 0; // sends of a line the unit asked for again
};

struct UploadOutcome {
    enum class Kind { Done, Cancelled, Failed };
    Kind kind = Kind::Done;
    QString message; // what went wrong, for Failed
};

// What an upload needs of whoever runs it: the wire, two timers and a place
// to show the traffic. The window and the command-line uploader each give one.
class UploadHost
{
public:
    virtual ~UploadHost() = default;

    // Transcript text, one character per byte.
    virtual void showTraffic(const QString& text) = 0;
    // Hands one line to the port, exactly its bytes, nothing added.
    virtual Status send(const QByteArray& line) = 0;
    // Whether everything handed to the port has left it. When this says no,
    // the host calls transmitSettled() once it has.
    virtual bool transmitBufferEmpty() = 0;
    virtual void setReceiveEvents(bool on) = 0;
    // Drops what the unit sent that nobody has read yet.
    virtual void discardInput() = 0;
    // The pacing tick comes 10 ms after arming; arming again meanwhile keeps
    // the countdown. The host passes the tick to pacingTick().
    virtual void armPacing() = 0;
    // The port-reset countdown starts afresh, or stops.
    virtual void restartPortReset() = 0;
    virtual void stopPortReset() = 0;

    // The first line is out: the upload is under way.
    virtual void underWay() {}
    virtual void progress(const UploadProgress&) {}
    // A send that failed without ending the upload (the port was closed).
    virtual void sendProblem(const QString&) {}
    // The upload is over. Nothing of it is sent after this.
    virtual void ended(const UploadOutcome& outcome) = 0;
};

// The upload protocol: the file goes out one line per reply of the unit, "*"
// for the next line and "+" for the same line again, each send paced by the
// 10 ms tick. Driven by events only: a reply, the pacing tick, the transmit
// buffer running empty, Cancel. No handler waits.
class UploadEngine
{
public:
    enum class State {
        Idle,          // no upload
        Choosing,      // the file is being chosen; nothing may be sent yet
        FirstTransmit, // the first line is leaving; replies are already heard
        WaitingReply,
        Pacing,       // a reply is in; its send waits for the pacing tick
        Transmitting, // a line is leaving with receive events off
        Finishing,    // the last line is leaving
    };

    explicit UploadEngine(UploadHost& host);

    // Gives up on a line the unit rejected this many times in a row; 0 never
    // does (the window resends for as long as the unit asks).
    void setMaximumRejections(int count) { m_maximumRejections = count; }

    // The shared upload state, under its given names.
    bool bSending = false;     // an upload is under way (or being chosen)
    bool bStopSending = false; // the last line has gone out, or Cancel
    bool bPaceElapsed = false; // the pacing tick came since last cleared
    QByteArray sCurrentLine;   // the line a "+" sends again
    FirmwareStream tsFirmware;

    State state() const { return m_state; }
    const UploadProgress& progress() const { return m_progress; }
    // Whether a line of this upload has gone out and it has not ended.
    bool live() const { return m_state >= State::FirstTransmit; }

    // The file is about to be chosen: replies send nothing until the first
    // line is out.
    void choose();
    // The start ended without an upload (no file, or it cannot be read).
    void giveUp();
    // Sends the image's first line; the rest follow from the same bytes.
    // Returns the first failure; when there is no first line the upload has
    // already ended.
    [[nodiscard]] Status sendFirstLine(const FirmwareImage& image);

    // The last byte of one read from the port, or -1 when it gave none.
    void HandshakeStep(int received);
    void pacingTick();
    // The port's transmit buffer ran empty, or the port dropped what was in
    // it (`delivered` false, `why` says how).
    void transmitSettled(bool delivered, const QString& why);
    // At the end of every port event; ends an upload whose last line is out.
    void CompletionCheck();
    void Cancel();

private:
    void acceptReply(int reply);
    void sendReply();
    void afterSend(const Status& sent);
    void transmitDone();
    void startUnderWay();
    void end(UploadOutcome::Kind kind, const QString& message = QString());
    void reportProgress();

    UploadHost& m_host;
    State m_state = State::Idle;
    int m_reply = -1;          // the newest reply the pending send answers
    bool m_underWay = false;   // the start's last steps ran
    bool m_receiveOff = false; // receive events are off while a line leaves
    bool m_lastLineLeft = false;
    int m_maximumRejections = 0;
    int m_rejections = 0; // of the current line, in a row
    UploadProgress m_progress;
};
