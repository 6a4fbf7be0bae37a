#pragma once

#include "command.h"

// firmware-upload ports [--json]: every serial port the system reports and
// every device a Com link names, with its stable names and access.
class PortsCommand : public Command
{
    Q_OBJECT

public:
    PortsCommand();
    std::optional<ExitCode> start() override;

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    QCommandLineOption m_json;
    bool m_asJson = false;
};

// firmware-upload doctor [-p PORT]: what keeps serial adaptors from
// working, each finding with its fix; with a port, that port opened once.
class DoctorCommand : public Command
{
    Q_OBJECT

public:
    DoctorCommand();
    std::optional<ExitCode> start() override;
    const BenchConfig* bench() const override { return &m_bench; }

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    BenchOptions m_options;
    BenchConfig m_bench;
};
