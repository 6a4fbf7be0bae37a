#pragma once

#include "../station/linecontrol.h"
#include "../station/jobsession.h"
#include "../station/releasedjob.h"
#include "../station/stationpolicy.h"
#include "command.h"

#include <QHash>
#include <QJsonObject>
#include <memory>

class QThread;
class BenchService;
class Station;
class StationMetrics;
class StationRun;
class SystemdNotifier;
class TerminationSignals;

// firmware-upload station [FILE]: a production station, each port a slot
// that waits for its adaptor and its units and flashes unit after unit,
// until Ctrl+C or SIGTERM; its bench from the options, a config file's
// [Station] group (--config), or both, the options winning.
class StationCommand : public Command, public BenchHost
{
    Q_OBJECT

public:
    StationCommand();
    ~StationCommand() override;
    std::optional<ExitCode> start() override;
    const BenchConfig* bench() const override { return &m_bench; }

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    // "bench.conf:4: record: " for a field the config file gave.
    QString whereFrom(BenchField field) const;
    // A released job: its signature checked before anything is opened,
    // the bench it fixes, with what the command line adds; a refusal said,
    // and audited.
    std::optional<ExitCode> loadJob();
    std::optional<ExitCode> refuse(const BenchRefusal& refusal);
    void defaultRecord(BenchConfig* bench) const;

    // A line controller's, on the factory's broker (stationcontrol.cpp).
    void startLineControl();
    // The bench on the system bus, where there is one, by the station's name.
    void startBus();
    bool startStation(QString* why) override;
    void stopStation() override;
    void loadJob(const QString& path, std::function<void(const QString& error)> done) override;
    void loadBench(const BenchConfig& bench,
                   std::function<void(const QString& error)> done) override;
    // A bench to run once the units under way are done; `job` when it is one.
    void runNext(const std::optional<ReleasedJob>& job, BenchConfig bench,
                 const std::function<void(const QString&)>& done);
    // The job checked: the station stops after its units, then runs it.
    void jobChecked(const ReleasedJob& job, const std::function<void(const QString&)>& done);
    // The station has stopped for the job waiting.
    void runWaitingJob();
    void answerPendingJob(const QString& why);

    BenchOptions m_options;
    QCommandLineOption m_config, m_job, m_allowedSigners;
    StationPolicy m_policy;
    QString m_unreleased; // the policy refuses a bench that is no released job
    QString m_jobPath;
    ReleasedJob m_loaded; // the job as read and checked, once
    JobSession m_session;
    QString m_signers;    // --allowed-signers
    BenchOptions::Values m_given; // what the command line gives, put on a job's bench
    QList<BenchField> m_givenFields;
    QJsonObject m_jobDetails; // the job as the audit trail names it
    BenchConfig m_bench;
    QString m_configPath;
    QHash<BenchField, int> m_configLines;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<StationRun> m_run;
    std::unique_ptr<StationMetrics> m_metrics;
    std::unique_ptr<LineControl> m_line;
    BenchService* m_bus = nullptr;
    // A job a line controller loads, while the station lets its units finish.
    struct WaitingJob {
        std::optional<ReleasedJob> job; // none: an engineer's bench of no job
        BenchConfig bench;
        std::function<void(const QString&)> done;
    };
    std::optional<WaitingJob> m_waiting;
    QThread* m_check = nullptr; // a job's signature being checked
    std::function<void(const QString&)> m_checkAnswer;

    bool m_ending = false; // told to stop: no job is loaded any more
    SystemdNotifier* m_systemd = nullptr;
    TerminationSignals* m_signals = nullptr;
};
