#pragma once

#include "../station/unitnumbering.h"
#include "command.h"
#include "progresslines.h"
#include "uploadjob.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QTimer>
#include <memory>
#include <vector>

class TerminationSignals;

// firmware-upload send FILE -p PORT...: the file to the unit on each port,
// all at once, with progress, a log, a JSON report and an exit code a
// script can act on. With --repeat, unit after unit on each port.
class SendCommand : public Command
{
    Q_OBJECT

public:
    SendCommand();
    ~SendCommand() override;
    std::optional<ExitCode> start() override;
    const BenchConfig* bench() const override { return &m_bench; }
    bool repeats() const { return m_repeat; }

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    std::optional<ExitCode> openOutputs();
    void outputFailed(const QString& what, const QString& path, const QString& why);
    void onJobFinished();
    void onUnitFinished(UploadJob* job, const UploadJob::Outcome& outcome);
    void onTraffic(UploadJob* job, const QString& text);
    void drawProgress(bool final);
    QString progressOf(const UploadJob* job) const;
    void writeReport();
    void onSignal(int signalNumber);

    BenchOptions m_options;
    QCommandLineOption m_report, m_log, m_verbose, m_repeatOption;
    BenchConfig m_bench;
    QString m_reportPath;
    QString m_logPath;
    bool m_verboseOn = false;
    bool m_repeat = false;
    FirmwareFile m_firmware;
    std::vector<UploadJob*> m_jobs;
    QTimer m_progressTimer;
    ProgressLines m_progress;
    int m_signal = 0; // the first termination signal, once one came
    QFile m_logFile;
    std::unique_ptr<QSaveFile> m_reportFile;
    QHash<UploadJob*, QString> m_logLines; // partial transcript lines
    TerminationSignals* m_signals = nullptr;
    std::unique_ptr<UnitNumbering> m_numbering; // a gang's serial numbers
    ExitCode m_exitCode = ExitCode::Success;
};
