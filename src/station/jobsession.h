#pragma once

#include "releasedjob.h"

#include <QList>
#include <optional>

// A released job being run, the one rule for the command line, the window
// and a line controller's load-job alike: what the job fixes (refused
// beside it), what may be given beside it (kept with the job's identity),
// and whether a bench is still the one signed. While it is, its units are
// recorded as of the job; once a field the job fixes differs, they are not.
class JobSession
{
public:
    JobSession() = default;
    explicit JobSession(ReleasedJob job);

    bool active() const { return m_job.has_value(); }
    const ReleasedJob& job() const { return *m_job; }
    const QList<BenchField>& fixed() const { return m_fixed; }

    // What a job fixes: the file, its digest, the ports, the serial numbers
    // and unit data, the record, what a rework gets, and whatever else the
    // job sets.
    static QList<BenchField> fixedBy(const BenchConfig& job);

    // Why `field` may not be given beside the job; empty when it may.
    QString refuseBeside(BenchField field) const;
    // The first of `given` that may not be given beside the job.
    std::optional<BenchField> firstRefused(const QList<BenchField>& given) const;
    // The job's bench, with what `extra` says of the fields it leaves open.
    BenchConfig benchWith(const BenchConfig& extra) const;
    // The fields the job fixes in which `bench` differs from it; a host's
    // own record (and the trail and state beside it) where the job names
    // none is no difference.
    QList<BenchField> changedIn(const BenchConfig& bench) const;
    bool isReleased(const BenchConfig& bench) const
    {
        return active() && changedIn(bench).isEmpty();
    }
    // What the units of `bench` are recorded as: the job while it is released.
    JobIdentity identityFor(const BenchConfig& bench) const;

private:
    std::optional<ReleasedJob> m_job;
    QList<BenchField> m_fixed;
};
