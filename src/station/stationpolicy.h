#pragma once

#include <QByteArray>
#include <QString>

// What the factory allows on this computer, in a file only root may write
// (/etc/firmware-station/policy.conf, group [Policy]): whether benches run
// released jobs only, whose signatures count, who may unlock the station
// window, and for how long. A policy, or the signers file it names, that
// others could have written (the file or a folder above it) is trusted for
// nothing: the station refuses to run until it is mended.
struct StationPolicy {
    bool releasedJobsOnly = false;
    QString allowedSigners; // the allowed_signers file
    QString engineersGroup = QStringLiteral("firmware-engineers");
    int unlockMinutes = 15;
    QString path;    // the file read; empty when there is none
    QString problem; // why the policy cannot be trusted; empty when it can

    bool exists() const { return !path.isEmpty(); }

    // The system's policy; FIRMWARE_STATION_POLICY names another file, for
    // root only (a test, an image being built).
    static StationPolicy load();
    static StationPolicy read(const QString& path);
    static QString defaultPath() { return QStringLiteral("/etc/firmware-station/policy.conf"); }

    // Whose signatures count, read now: with a policy, its signers file
    // alone (root's, as the policy); without one, `given` or the default.
    struct Signers {
        QString path;
        QByteArray bytes;
        QString problem; // it cannot be used, and why
    };
    Signers signers(const QString& given = QString()) const;
    // Why `given` (--allowed-signers) may not be used here; empty when it may.
    QString refuseSigners(const QString& given) const;
};
