#pragma once

#include <QString>

// firmware-upload --list-ports and --doctor: what the system has, and what
// keeps it from working, printed for a person or (--json) for a script.
namespace PortCommands {

int listPorts(bool json);
// `port` as --port takes it (empty: look at every adaptor); it alone is
// opened, once, with `settings` and `handshaking`. Exit code 0 when nothing
// was found, 1 otherwise.
int doctor(const QString& port, const QString& settings, int handshaking);

// The device a --port argument names: Com n resolved now, or the path.
QString deviceOf(const QString& port);

} // namespace PortCommands
