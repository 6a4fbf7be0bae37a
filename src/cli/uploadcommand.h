#pragma once

#include "../station/unitnumbering.h"
#include "progresslines.h"
#include "uploadjob.h"

#include <QFile>
#include <QHash>
#include <QObject>
#include <QSaveFile>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

class Station;
class StationMetrics;
class SystemdNotifier;
class StationRun;
class TerminationSignals;

// firmware-upload: checks a firmware file and sends it to one unit per
// --port, all at once on one event loop, with progress, a log, a report and
// an exit code a script can act on.
class UploadCommand : public QObject
{
    Q_OBJECT

public:
    enum ExitCode {
        Success = 0,
        UploadFailed = 1,
        UsageError = 2, // also: an output file that cannot be written
        FileError = 3,
        PortError = 4,
        Interrupted = 130,
    };

    explicit UploadCommand(QObject* parent = nullptr);
    ~UploadCommand() override;

    // Parses the arguments and starts; returns an exit code when the program
    // ends before the event loop (help, usage, a file that fails its check),
    // or -1 when the uploads are under way and done() will say the code.
    int start(const QStringList& arguments);

signals:
    void done(int exitCode);

private:
    struct Settings;
    int parse(const QStringList& arguments, Settings* settings);
    int checkFile();
    int openOutputs();
    int summarize(const QString& path);
    int startStation();
    int forwardRecords();
    // An exit code for what the numbering refused, or -1.
    int refusal(UnitNumbering::Refusal refusal, const QString& why);
    void outputFailed(const QString& what, const QString& path, const QString& why);
    void onJobFinished();
    void onUnitFinished(UploadJob* job, const UploadJob::Outcome& outcome);
    void onTraffic(UploadJob* job, const QString& text);
    void drawProgress(bool final);
    void writeReport();
    void onSignal(int signalNumber);

    std::unique_ptr<Settings> m_settings;
    std::vector<UploadJob*> m_jobs;
    QTimer m_progressTimer;
    ProgressLines m_progress;
    int m_signal = 0; // the first termination signal, once one came
    QFile m_log;
    std::unique_ptr<QSaveFile> m_report;
    QHash<UploadJob*, QString> m_logLines; // partial transcript lines
    TerminationSignals* m_signals = nullptr;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<StationRun> m_stationRun;
    std::unique_ptr<UnitNumbering> m_numbering; // a gang's serial numbers
    std::unique_ptr<StationMetrics> m_metrics;
    SystemdNotifier* m_systemd = nullptr;
    int m_exitCode = Success;
};
