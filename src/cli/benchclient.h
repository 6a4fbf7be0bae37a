#pragma once

#include "command.h"

#include <memory>

class RemoteBench;

// firmware-upload status [BENCH], start BENCH, stop BENCH, pause BENCH
// SLOT, resume BENCH SLOT, load-job BENCH FILE, and the engineer's
// set-bench BENCH CONFIG, load-file BENCH FILE, clear-fault BENCH SLOT: a
// bench's station service asked over the system bus, as the window asks
// it. polkit decides, in the service, on this caller's account; a refusal
// is said in its words, with the action it needs.
class BenchClientCommand : public Command
{
    Q_OBJECT

public:
    explicit BenchClientCommand(const QString& verb);
    ~BenchClientCommand() override;
    std::optional<ExitCode> start() override;

    // The verbs, for the table of them.
    static QStringList verbs() { return {"status", "start", "stop", "pause", "resume", "load-job",
                                         "set-bench", "load-file", "clear-fault"}; }

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    std::optional<ExitCode> status();

    QCommandLineOption m_json;
    bool m_asJson = false;
    QString m_bench;
    QString m_argument; // the slot, job, config or file
    std::unique_ptr<RemoteBench> m_remote;
};
