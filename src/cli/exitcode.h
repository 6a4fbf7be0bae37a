#pragma once

#include <QList>
#include <csignal>

// firmware-upload's exit codes. The manual page's table, the README's and
// the systemd unit's SuccessExitStatus= and RestartPreventExitStatus= are
// checked against this list by a test.
enum class ExitCode : int {
    Success = 0,
    UnitFailed = 1, // an upload failed; summary: no record line; doctor: a finding
    Usage = 2,      // also: an output file (report, log, record, metrics) that cannot be written
    File = 3,       // missing, unreadable, failing its check, or another build than the one meant
    Port = 4,       // a port that could not be opened
    Hangup = 128 + SIGHUP,
    Interrupted = 128 + SIGINT, // Ctrl+C
    Terminated = 128 + SIGTERM,
};

namespace ExitCodes {

inline int value(ExitCode code)
{
    return int(code);
}

inline ExitCode ofSignal(int signalNumber)
{
    switch (signalNumber) {
    case SIGHUP:
        return ExitCode::Hangup;
    case SIGTERM:
        return ExitCode::Terminated;
    default:
        return ExitCode::Interrupted;
    }
}

// The worse of two: a later failure never hides an earlier, graver one.
inline ExitCode worse(ExitCode a, ExitCode b)
{
    return int(b) > int(a) ? b : a;
}

inline const QList<ExitCode>& all()
{
    static const QList<ExitCode> codes = {
        ExitCode::Success, ExitCode::UnitFailed, ExitCode::Usage,       ExitCode::File,
        ExitCode::Port,    ExitCode::Hangup,     ExitCode::Interrupted, ExitCode::Terminated};
    return codes;
}

// A station that ended this way ended as it should, for its service.
inline bool endsServiceCleanly(ExitCode code)
{
    return code == ExitCode::Success || code == ExitCode::UnitFailed || int(code) > 128;
}

// A record, file or port the station cannot use does not mend itself.
inline bool restartMends(ExitCode code)
{
    return code != ExitCode::Usage && code != ExitCode::File && code != ExitCode::Port;
}

} // namespace ExitCodes
