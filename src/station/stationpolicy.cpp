#include "stationpolicy.h"

#include "releasedjob.h"

#include <QFileInfo>
#include <QSettings>
#include <sys/stat.h>
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
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return p; // no policy: nothing is asked beyond the defaults
    p.path = path;
    if (st.st_uid != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        p.problem = QStringLiteral("the policy %1 may be written by others than root: make it root's "
                                   "alone (sudo chown root: %1; sudo chmod 644 %1)")
                        .arg(path);
        return p;
    }
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        p.problem = QStringLiteral("the policy %1 cannot be read").arg(path);
        return p;
    }
    file.beginGroup(QStringLiteral("Policy"));
    p.releasedJobsOnly = file.value(QStringLiteral("released-jobs-only"), false).toBool();
    p.allowedSigners = file.value(QStringLiteral("allowed-signers"), p.allowedSigners).toString();
    p.engineersGroup = file.value(QStringLiteral("engineers-group"), p.engineersGroup).toString();
    bool ok = false;
    const int minutes = file.value(QStringLiteral("unlock-minutes"), p.unlockMinutes).toInt(&ok);
    if (ok && minutes >= 1 && minutes <= 480)
        p.unlockMinutes = minutes;
    return p;
}
