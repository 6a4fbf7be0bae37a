#include "portverbs.h"

#include "portcommands.h"

PortsCommand::PortsCommand()
    : Command(QStringLiteral("ports")),
      m_json(QStringLiteral("json"), QStringLiteral("A JSON array, for scripts."))
{
}

void PortsCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Lists every serial port the system reports and every device a Com link "
                       "names: its Com number, its stable names under /dev/serial, its USB ids, "
                       "serial number and description, and whether you may open it. Nothing is "
                       "opened or locked."));
    parser.addOption(m_json);
}

std::optional<Command::Usage> PortsCommand::read(const QCommandLineParser& parser)
{
    if (!parser.positionalArguments().isEmpty())
        return Usage{QString(), QStringLiteral("ports takes no file")};
    m_asJson = parser.isSet(m_json);
    return std::nullopt;
}

std::optional<ExitCode> PortsCommand::start()
{
    return ExitCode(PortCommands::listPorts(m_asJson));
}

DoctorCommand::DoctorCommand()
    : Command(QStringLiteral("doctor")), m_options({BenchOptions::line()})
{
}

void DoctorCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Looks for what commonly breaks serial access on Linux and prints each "
                       "finding with its fix; with -p, also opens and closes that port once, with "
                       "the settings an upload would use. Exit code 0 when nothing was found."));
    m_options.addTo(parser);
}

std::optional<Command::Usage> DoctorCommand::read(const QCommandLineParser& parser)
{
    if (!parser.positionalArguments().isEmpty())
        return Usage{QString(), QStringLiteral("doctor takes no file")};
    if (auto refused = m_options.read(parser, &m_bench))
        return refused;
    if (m_bench.ports.size() > 1)
        return Usage{QStringLiteral("--port"),
                     QStringLiteral("doctor looks at one port at a time")};
    return std::nullopt;
}

std::optional<ExitCode> DoctorCommand::start()
{
    if (const auto code = fillSavedProperties(&m_bench))
        return code;
    return ExitCode(PortCommands::doctor(m_bench.ports.value(0), m_bench.lineSettings(),
                                         m_bench.handshaking.value_or(0)));
}
