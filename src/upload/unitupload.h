#pragma once

#include "unitresult.h"
#include "uploadengine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class MSComm;

// One unit's upload on a port that is open and whose unit has prompted:
// the file through the upload engine, 10 ms pacing, a unit silent too long
// given up on, and up to a second for the answer to the last record. The
// command-line uploader and the production station each run units with it.
class UnitUpload : public QObject, private UploadHost
{
    Q_OBJECT

public:
    struct Options {
        FirmwareImage image; // what the unit gets, every line of it
        int timeoutSeconds = 10;
        int maximumRejections = 20;
        // A unit quiet this long mid-upload was taken away (0: never said).
        // The shorter of this and the timeout applies.
        double awaySeconds = 0;
    };

    struct Outcome {
        UnitResult result = UnitResult::Pass;
        QString error;
        int linesSent = 0;
        int resends = 0;
        double seconds = 0;
        int worstLine = 0; // the line sent again most often, and how often
        int worstLineResends = 0;
        bool away = false; // the unit was taken away mid-upload
    };

    UnitUpload(MSComm& port, QObject* parent = nullptr);

    // The unit prompted: the first line goes out. finished() follows.
    void start(const Options& options);
    // What the port brought while the upload runs.
    void received(const QByteArray& data);
    // Ends the upload now (Ctrl+C, the port gone); finished() follows at once.
    void stop(UnitResult result, const QString& error = QString());

    bool running() const { return m_state != State::Idle; }
    bool awaitingAnswer() const
    {
        return m_state == State::AwaitingAnswer || m_state == State::ResendingLast;
    }
    const UploadProgress& progress() const { return m_progress; }
    // Seconds since the upload began.
    double elapsed() const;
    // Seconds since the unit last said anything (or the upload began).
    double quietFor() const { return m_heard.isValid() ? m_heard.elapsed() / 1000.0 : 0.0; }

signals:
    // Transcript text, as the window would show it.
    void traffic(const QString& text);
    void progressed(const UploadProgress& progress);
    void finished(const UnitUpload::Outcome& outcome);

private:
    // After the last line: its answer is awaited, and a "+" sends it again
    // after the pacing, as for any line.
    enum class State { Idle, Uploading, AwaitingAnswer, ResendingLast };

    void finish(UnitResult result, const QString& error = QString(), bool away = false);
    void unitQuiet();
    void answerToLast(int reply);
    void resendLast();
    void countResend();

    // UploadHost
    void showTraffic(const QString& text) override;
    Status send(const QByteArray& line) override;
    bool transmitBufferEmpty() override;
    void setReceiveEvents(bool on) override;
    void discardInput() override;
    void armPacing() override;
    // A unit that goes quiet is given up on instead: no port resets here.
    void restartPortReset() override {}
    void stopPortReset() override {}
    void progress(const UploadProgress& progress) override;
    void ended(const UploadOutcome& outcome) override;

    MSComm& m_port;
    UploadEngine m_engine;
    State m_state = State::Idle;
    UploadProgress m_progress;
    QTimer m_pacing;
    QTimer m_silence;
    QTimer m_answer;
    QElapsedTimer m_clock;
    QElapsedTimer m_heard; // the unit's last word
    int m_timeoutSeconds = 10;
    double m_awaySeconds = 0;
    int m_maximumRejections = 20;
    int m_lastRejections = 0; // of the last line, in a row
    int m_resentLine = 0;     // the line the latest resends were of
    int m_resentCount = 0;
    int m_worstLine = 0;
    int m_worstCount = 0;
};
