#include "jobsession.h"

#include <utility>

JobSession::JobSession(ReleasedJob job) : m_job(std::move(job)), m_fixed(fixedBy(m_job->bench)) {}

QList<BenchField> JobSession::fixedBy(const BenchConfig& job)
{
    QList<BenchField> fixed = {BenchField::File, BenchField::Sha256, BenchField::Ports,
                               BenchField::SlotNames, BenchField::Serial, BenchField::SerialStart,
                               BenchField::SerialStep, BenchField::SerialEnd,
                               BenchField::SerialState, BenchField::UnitData, BenchField::Record,
                               BenchField::Audit, BenchField::SerialSeries, BenchField::SerialBlock,
                               // a rework's number is the job's to decide
                               BenchField::Rework};
    for (const BenchConfig::FieldInfo& f : BenchConfig::fields()) {
        if (!job.isDefault(f.field) && !fixed.contains(f.field))
            fixed << f.field;
    }
    return fixed;
}

QString JobSession::refuseBeside(BenchField field) const
{
    if (!active() || !m_fixed.contains(field))
        return QString();
    return QStringLiteral("%1 is fixed by the job %2")
        .arg(field == BenchField::File ? QStringLiteral("the firmware file")
                                       : BenchConfig::optionName(field),
             m_job->path);
}

std::optional<BenchField> JobSession::firstRefused(const QList<BenchField>& given) const
{
    for (BenchField f : given) {
        if (!refuseBeside(f).isEmpty())
            return f;
    }
    return std::nullopt;
}

BenchConfig JobSession::benchWith(const BenchConfig& extra) const
{
    BenchConfig bench = m_job->bench;
    for (const BenchConfig::FieldInfo& f : BenchConfig::fields()) {
        if (!m_fixed.contains(f.field))
            bench.take(f.field, extra);
    }
    return bench;
}

QList<BenchField> JobSession::changedIn(const BenchConfig& bench) const
{
    QList<BenchField> changed;
    if (!active())
        return changed;
    static const QList<BenchField> hostsOwn = {BenchField::Record, BenchField::Audit,
                                               BenchField::SerialState};
    for (BenchField f : m_fixed) {
        if (hostsOwn.contains(f) && m_job->bench.isDefault(f))
            continue;
        if (bench.text(f) != m_job->bench.text(f))
            changed << f;
    }
    return changed;
}

JobIdentity JobSession::identityFor(const BenchConfig& bench) const
{
    return isReleased(bench) ? m_job->identity() : JobIdentity();
}
