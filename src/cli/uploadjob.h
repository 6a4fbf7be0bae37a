#pragma once

#include "../serial/mscomm.h"
#include "../upload/uploadengine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

// One unit on one port, from the command line: opens the port, waits for
// the unit's "+" prompt, sends the file through the upload engine, and waits
// up to a second for the answer to the last record. Gives up on a unit that
// stays silent. With `repeat`, waits for the next unit after each one.
class UploadJob : public QObject, private UploadHost
{
    Q_OBJECT

public:
    struct Options {
        QString file;
        FirmwareStream::Facts facts;
        QString settings; // "38400,N,8,1"
        int handshaking = 0;
        int timeoutSeconds = 10;
        int maximumRejections = 20;
        bool repeat = false;
    };

    enum class Result { Done, Failed, NotOpened, Interrupted };
    struct Outcome {
        Result result = Result::Done;
        QString error;
        int linesSent = 0;
        int resends = 0;
        double seconds = 0;
    };

    enum class State { Idle, AwaitingPrompt, Uploading, AwaitingAnswer, Finished };

    // `port`: a port number (Com n, as the window numbers them) or a device path.
    UploadJob(const QString& port, const Options& options, QObject* parent = nullptr);

    // Opens the port and waits for the unit; finished() follows in any case.
    void start();
    // Ctrl+C: the upload stops, the port is closed.
    void interrupt();

    QString port() const { return m_portArgument; }
    QString device() const;
    State state() const { return m_state; }
    const UploadProgress& progress() const { return m_progress; }
    // Seconds since the current unit's upload began.
    double elapsed() const;
    const QVector<Outcome>& outcomes() const { return m_outcomes; }
    static QString resultName(Result result);

signals:
    // Transcript text, as the window would show it.
    void traffic(const QString& text);
    // One unit is done with, one way or another.
    void unitFinished(const UploadJob::Outcome& outcome);
    // No more units from this job; the port is closed.
    void finished();

private:
    void onComm();
    void beginUpload();
    void finishUnit(Result result, const QString& error = QString());
    void onSilence();
    void close();

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
    void progress(const UploadProgress& progress) override { m_progress = progress; }
    void ended(const UploadOutcome& outcome) override;

    QString m_portArgument;
    Options m_options;
    MSComm m_port;
    UploadEngine m_engine;
    State m_state = State::Idle;
    UploadProgress m_progress;
    QVector<Outcome> m_outcomes;
    QTimer m_pacing;
    QTimer m_silence;
    QTimer m_answer;
    QElapsedTimer m_clock;
    bool m_atLineStart = true; // of the transcript
    int m_units = 0;
};
