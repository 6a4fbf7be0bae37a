#include "jobcommands.h"

#include "../records/audittrail.h"
#include "../station/releasedjob.h"
#include "../station/stationpolicy.h"
#include "progresslines.h"

#include <QFileInfo>
#include <cstdio>

namespace {

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

} // namespace

JobCommand::JobCommand()
    : Command(QStringLiteral("job")),
      m_allowedSigners(QStringLiteral("allowed-signers"),
                       QStringLiteral("Whose signatures count, in ssh-keygen's allowed_signers "
                                      "format (default: /etc/firmware-station/allowed_signers); "
                                      "refused where this computer's policy names its own."),
                       QStringLiteral("FILE"))
{
}

void JobCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("verify: checks a released job's signature and signer against the allowed "
                       "signers, that it pins the firmware's SHA-256 and that the firmware on disk "
                       "has it; exit code 0 when it may run, 3 otherwise. show: the same, and the "
                       "bench the job fixes."));
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("verify or show."),
                                 QStringLiteral("verify|show"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The job."));
    parser.addOption(m_allowedSigners);
}

std::optional<Command::Usage> JobCommand::read(const QCommandLineParser& parser)
{
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2 ||
        (words[0] != QLatin1String("verify") && words[0] != QLatin1String("show")))
        return Usage{QString(), QStringLiteral("job takes: verify FILE, or show FILE")};
    m_action = words[0];
    m_path = words[1];
    m_policy = StationPolicy::load();
    m_signers = parser.value(m_allowedSigners);
    if (const QString refused = m_policy.refuseSigners(m_signers); !refused.isEmpty())
        return Usage{QStringLiteral("--allowed-signers"), refused};
    return std::nullopt;
}

std::optional<ExitCode> JobCommand::start()
{
    const ReleasedJob job = ReleasedJob::load(m_path, m_policy.signers(m_signers));
    const QString name = QFileInfo(m_path).fileName();
    if (!job.signature.principal.isEmpty() || !job.signature.fingerprint.isEmpty())
        out(QStringLiteral("%1: signed by %2 (%3)")
                .arg(name,
                     job.signature.principal.isEmpty() ? QStringLiteral("a key not allowed")
                                                       : job.signature.principal,
                     job.signature.fingerprint));
    if (!job.good()) {
        ProgressLines::complain(job.refusal);
        return ExitCode::File;
    }
    out(QStringLiteral("%1: releases %2, sha256 %3, as it is on disk")
            .arg(name, job.bench.file, job.bench.sha256));
    out(QStringLiteral("%1: sha256 %2 (the job's own, as the records name it)")
            .arg(name, job.sha256));
    if (m_action == QLatin1String("show")) {
        for (const BenchConfig::FieldInfo& f : BenchConfig::fields()) {
            if (!job.bench.isDefault(f.field))
                out(QStringLiteral("  %1 = %2").arg(QLatin1String(f.key), job.bench.text(f.field)));
        }
    }
    return ExitCode::Success;
}

AuditCommand::AuditCommand() : Command(QStringLiteral("audit")) {}

void AuditCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("verify: checks that every line of an audit trail carries the SHA-256 of "
                       "the line before it; exit code 0 when the chain holds, 1 naming the first "
                       "line that breaks it."));
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("verify."),
                                 QStringLiteral("verify"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The audit trail."));
}

std::optional<Command::Usage> AuditCommand::read(const QCommandLineParser& parser)
{
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2 || words[0] != QLatin1String("verify"))
        return Usage{QString(), QStringLiteral("audit takes: verify FILE")};
    m_path = words[1];
    return std::nullopt;
}

std::optional<ExitCode> AuditCommand::start()
{
    const AuditTrail::Check check = AuditTrail::verify(m_path);
    if (check.broken > 0) {
        ProgressLines::complain(check.why);
        return ExitCode::UnitFailed;
    }
    out(QStringLiteral("%1: %2, the chain holds")
            .arg(m_path, check.lines == 1 ? QStringLiteral("1 line")
                                          : QStringLiteral("%1 lines").arg(check.lines)));
    return ExitCode::Success;
}
