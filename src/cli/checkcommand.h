#pragma once

#include "command.h"

// firmware-upload check FILE: the file's check, its data's address ranges
// and its SHA-256, and with serial numbers or unit data the lines each
// unit's values change. Sends nothing and writes nothing.
class CheckCommand : public Command
{
    Q_OBJECT

public:
    CheckCommand();
    std::optional<ExitCode> start() override;
    const BenchConfig* bench() const override { return &m_bench; }

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    BenchOptions m_options;
    BenchConfig m_bench;
};
