#pragma once

#include "../station/stationpolicy.h"
#include "command.h"

#include <QHash>
#include <QJsonObject>
#include <memory>

class Station;
class StationMetrics;
class StationRun;
class SystemdNotifier;
class TerminationSignals;

// firmware-upload station [FILE]: a production station, each port a slot
// that waits for its adaptor and its units and flashes unit after unit,
// until Ctrl+C or SIGTERM; its bench from the options, a config file's
// [Station] group (--config), or both, the options winning.
class StationCommand : public Command
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

    BenchOptions m_options;
    QCommandLineOption m_config, m_job, m_allowedSigners;
    StationPolicy m_policy;
    QString m_jobPath;
    QString m_signers;
    BenchOptions::Values m_given; // what the command line gives, put on the job's bench
    QJsonObject m_jobDetails;     // the job as the audit trail names it
    BenchConfig m_bench;
    QString m_configPath;
    QHash<BenchField, int> m_configLines;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<StationRun> m_run;
    std::unique_ptr<StationMetrics> m_metrics;
    SystemdNotifier* m_systemd = nullptr;
    TerminationSignals* m_signals = nullptr;
};
