#pragma once

#include <QString>

// What the factory allows on this computer, in a file only root may write
// (/etc/firmware-station/policy.conf, group [Policy]): whether benches run
// released jobs only, whose signatures count, who may unlock the station
// window, and for how long. A policy that others could have written is
// trusted for nothing: the station refuses to run until it is mended.
struct StationPolicy {
    bool releasedJobsOnly = false;
    QString allowedSigners;   // the allowed_signers file
    QString engineersGroup = QStringLiteral("firmware-engineers");
    int unlockMinutes = 15;
    QString path;    // the file read; empty when there is none
    QString problem; // why the policy cannot be trusted; empty when it can

    // The system's policy; FIRMWARE_STATION_POLICY names another file, for
    // root only (a test, an image being built).
    static StationPolicy load();
    static StationPolicy read(const QString& path);
    static QString defaultPath() { return QStringLiteral("/etc/firmware-station/policy.conf"); }
};
