#include "stationpolicy.h"

#include "../platform/initext.h"
#include "../platform/rootfile.h"
#include "releasedjob.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

StationPolicy StationPolicy::load()
{
    const QString other = qEnvironmentVariable("FIRMWARE_STATION_POLICY");
    return read(!other.isEmpty() && ::getuid() == 0 ? other : defaultPath());
}

StationPolicy StationPolicy::read(const QString& path)
{
    StationPolicy p;
    p.allowedSigners = ReleasedJob::defaultAllowedSigners();
    const RootFile::Read file = RootFile::read(path, QStringLiteral("the policy"));
    if (!file.exists)
        return p; // no policy: nothing is asked beyond the defaults
    p.path = path;
    if (!file.problem.isEmpty()) {
        p.problem = file.problem;
        return p;
    }
    QString group;
    for (const IniText::Line& line : IniText::parse(file.bytes)) {
        if (line.kind == IniText::Line::Kind::Section) {
            group = line.key;
            continue;
        }
        if (line.kind != IniText::Line::Kind::Pair || group != QLatin1String("Policy"))
            continue;
        const QString v = line.value.trimmed();
        if (line.key == QLatin1String("released-jobs-only")) {
            p.releasedJobsOnly = v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                                 v == QLatin1String("1");
        } else if (line.key == QLatin1String("allowed-signers") && !v.isEmpty()) {
            p.allowedSigners = v;
        } else if (line.key == QLatin1String("engineers-group") && !v.isEmpty()) {
            p.engineersGroup = v;
        } else if (line.key == QLatin1String("unlock-minutes")) {
            bool ok = false;
            const int minutes = v.toInt(&ok);
            if (ok && minutes >= 1 && minutes <= 480)
                p.unlockMinutes = minutes;
        }
    }
    // The signers count only as far as the policy itself: root's alone.
    const RootFile::Read signers =
        RootFile::read(p.allowedSigners, QStringLiteral("the allowed signers file"));
    if (!signers.problem.isEmpty())
        p.problem = signers.problem;
    return p;
}

QString StationPolicy::refuseSigners(const QString& given) const
{
    if (!exists() || given.isEmpty())
        return QString();
    if (QFileInfo(given).canonicalFilePath() == QFileInfo(allowedSigners).canonicalFilePath() &&
        QFileInfo::exists(given))
        return QString();
    return QStringLiteral("this computer's policy names the signers: %1 (%2)")
        .arg(allowedSigners, path);
}

StationPolicy::Signers StationPolicy::signers(const QString& given) const
{
    Signers s;
    if (exists()) {
        s.path = allowedSigners;
        if (!problem.isEmpty()) {
            s.problem = problem;
            return s;
        }
        if (const QString refused = refuseSigners(given); !refused.isEmpty()) {
            s.problem = refused;
            return s;
        }
        const RootFile::Read file =
            RootFile::read(allowedSigners, QStringLiteral("the allowed signers file"));
        if (!file.exists)
            s.problem = QStringLiteral("the allowed signers file %1 that the policy %2 names "
                                       "does not exist")
                            .arg(allowedSigners, path);
        else
            s.problem = file.problem;
        s.bytes = file.bytes;
        return s;
    }
    s.path = given.isEmpty() ? allowedSigners : given;
    QFile file(s.path);
    if (!file.open(QIODevice::ReadOnly))
        s.problem = QStringLiteral("the allowed signers file %1 cannot be read").arg(s.path);
    else
        s.bytes = file.readAll();
    return s;
}
