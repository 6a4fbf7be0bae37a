#pragma once

#include "command.h"

#include <QHash>
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

    BenchOptions m_options;
    QCommandLineOption m_config;
    BenchConfig m_bench;
    QString m_configPath;
    QHash<BenchField, int> m_configLines;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<StationRun> m_run;
    std::unique_ptr<StationMetrics> m_metrics;
    SystemdNotifier* m_systemd = nullptr;
    TerminationSignals* m_signals = nullptr;
};
