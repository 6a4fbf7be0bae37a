#include "checkcommand.h"

#include "firmwarelines.h"
#include "progresslines.h"

#include <QFileInfo>

CheckCommand::CheckCommand()
    : Command(QStringLiteral("check")),
      m_options({BenchOptions::fileCheck(), BenchOptions::serials()})
{
}

void CheckCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Checks a firmware file as every upload does, and prints its data's address "
                       "ranges and its SHA-256; with --serial or --unit-data, also the lines each "
                       "unit's values change. Sends nothing."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The firmware file."));
    m_options.addTo(parser);
}

std::optional<Command::Usage> CheckCommand::read(const QCommandLineParser& parser)
{
    if (auto refused = oneFile(parser, &m_bench))
        return refused;
    if (auto refused = m_options.read(parser, &m_bench))
        return refused;
    if (const auto problem = m_bench.problem(BenchConfig::Use::Check))
        return usage(*problem);
    return std::nullopt;
}

std::optional<ExitCode> CheckCommand::start()
{
    const std::optional<FirmwareFile> file = FirmwareLines::read(m_bench, true);
    if (!file)
        return ExitCode::File;
    // What a check can tell of the file without sending it: empty, another
    // build, or failing its check.
    BenchConfig forced = m_bench;
    forced.force = true;
    if (const auto refused = forced.refuseFirmware(*file)) {
        ProgressLines::complain(refused->why);
        return ExitCode::File;
    }
    const QString name = QFileInfo(m_bench.file).fileName();
    if (!file->check.passed()) {
        ProgressLines::say(
            QStringLiteral("%1: fails its check (%2)").arg(name, file->check.problemCountText()));
        return ExitCode::File;
    }
    const UnitNumbering::Options numbering = m_bench.numbering();
    if (numbering.enabled()) {
        UnitNumbering look;
        QString why;
        const UnitNumbering::Refusal refusal = look.open(numbering, *file, &why, true);
        if (refusal != UnitNumbering::Refusal::None) {
            ProgressLines::complain(why);
            return refusal == UnitNumbering::Refusal::State ? ExitCode::Usage : ExitCode::File;
        }
        for (const QString& line : look.plan())
            ProgressLines::say(QStringLiteral("%1: %2").arg(name, line));
    }
    return ExitCode::Success;
}
