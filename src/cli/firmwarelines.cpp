#include "firmwarelines.h"

#include "progresslines.h"

#include <QFileInfo>

namespace FirmwareLines {

std::optional<FirmwareFile> read(const BenchConfig& bench, bool full)
{
    QString why;
    const auto firmware = FirmwareFile::read(bench.file, bench.checkOptions(), &why);
    if (!firmware) {
        ProgressLines::complain(why);
        return std::nullopt;
    }
    const FirmwareCheck& check = firmware->check;
    const QString name = QFileInfo(bench.file).fileName();
    auto sayAt = [&](const FirmwareCheck::Problem& p, const QString& prefix) {
        ProgressLines::say(
            p.line > 0 ? QStringLiteral("%1:%2: %3%4").arg(name).arg(p.line).arg(prefix, p.text)
                       : QStringLiteral("%1: %2%3").arg(name, prefix, p.text));
    };
    for (const FirmwareCheck::Problem& p : check.problems)
        sayAt(p, QString());
    if (check.problemCount > check.problems.size())
        ProgressLines::say(QStringLiteral("%1: %2 more problems")
                               .arg(name)
                               .arg(check.problemCount - check.problems.size()));
    if (!full)
        return firmware;
    for (const FirmwareCheck::Problem& p : check.notes)
        sayAt(p, QStringLiteral("note: "));
    if (check.passed() && firmware->facts.lines > 0)
        ProgressLines::say(QStringLiteral("%1: %2 %3, passes its check")
                               .arg(name)
                               .arg(firmware->facts.lines)
                               .arg(check.formatName()));
    if (check.records())
        ProgressLines::say(
            QStringLiteral("%1: data %2").arg(name, FirmwareCheck::describeRanges(check.ranges)));
    ProgressLines::say(QStringLiteral("%1: sha256 %2").arg(name, firmware->sha256));
    return firmware;
}

std::optional<ExitCode> refuse(const BenchConfig& bench, const FirmwareFile& file)
{
    if (const auto refused = bench.refuseFirmware(file)) {
        ProgressLines::complain(refused->why);
        return ExitCode::File;
    }
    if (!file.check.passed())
        ProgressLines::say(
            QStringLiteral("%1: fails its check (%2); sending it anyway (--force)")
                .arg(QFileInfo(file.path).fileName(), file.check.problemCountText()));
    return std::nullopt;
}

} // namespace FirmwareLines
