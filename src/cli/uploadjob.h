#pragma once

#include "../serial/mscomm.h"
#include "../station/benchconfig.h"
#include "../station/unitnumbering.h"
#include "../upload/unitupload.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <functional>

// One unit on one port, from the command line: opens the port, waits for
// the unit's "+" prompt, sends the file, and waits up to a second for the
// answer to the last record. Gives up on a unit that stays silent. With
// `repeat`, unit after unit as a station takes them: after each one, the
// next prompt counts only once the port has been quiet for the bench's
// next-after seconds, so a unit that goes on prompting after its result is
// never flashed twice.
class UploadJob : public QObject
{
    Q_OBJECT

public:
    struct Options {
        FirmwareImage image;
        BenchConfig bench; // line settings, timing; its settings filled in
        bool repeat = false;
        // Asked as each unit prompts: its image, with its own serial number
        // and data put in; false stops the job with `why`. Unset: `image`.
        std::function<bool(FirmwareImage* image, UnitValues* own, QString* why)> nextUnit;
    };

    struct Outcome {
        UnitResult result = UnitResult::Pass;
        bool opened = true; // false: the port could not be opened, no unit was met
        QString error;
        int linesSent = 0;
        int resends = 0;
        double seconds = 0;
        UnitValues own;
    };

    enum class State { Idle, AwaitingPrompt, Uploading, AwaitingAnswer, AwaitingRemoval, Finished };

    // `port`: a port number (Com n, as the window numbers them) or a device path.
    UploadJob(const QString& port, const Options& options, QObject* parent = nullptr);

    // Opens the port and waits for the unit; finished() follows in any case.
    void start();
    // Ctrl+C: the upload stops, the port is closed.
    void interrupt();

    QString port() const { return m_portArgument; }
    QString device() const;
    State state() const;
    const UploadProgress& progress() const { return m_upload.progress(); }
    // Seconds since the current unit's upload began.
    double elapsed() const { return m_upload.elapsed(); }
    const QVector<Outcome>& outcomes() const { return m_outcomes; }
    // With `repeat`, after a unit: it said something within the last second.
    bool unitStillPrompting() const;
    // The report's words: "done", "failed", "interrupted", "not opened".
    static QString reportWord(const Outcome& outcome);

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
    void onUploadFinished(const UnitUpload::Outcome& outcome);
    void finishUnit(UnitResult result, bool opened, const QString& error = QString());
    void report(const Outcome& outcome);
    void afterUnit();
    void showTraffic(const QString& text);

    QString m_portArgument;
    Options m_options;
    MSComm m_port;
    UnitUpload m_upload;
    bool m_awaiting = false; // the port is open and no unit is being sent
    bool m_removal = false;  // with `repeat`: the last unit has yet to leave
    bool m_finished = false;
    QVector<Outcome> m_outcomes;
    QTimer m_silence;          // no prompt at all
    QTimer m_quiet;            // the unit taken away, with `repeat`
    QElapsedTimer m_heard;     // the unit's last word after its result
    bool m_atLineStart = true; // of the transcript
    int m_units = 0;
    UnitValues m_own; // the unit being sent
};
