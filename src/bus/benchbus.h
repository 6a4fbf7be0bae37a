#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

// Where a bench is on the system bus: its service's name, made of the
// station's name, one object, one interface.
namespace BenchBus {

inline QString prefix()
{
    return QStringLiteral("com.tarvellabs.FirmwareStation1");
}
inline QString objectPath()
{
    return QStringLiteral("/com/tarvellabs/FirmwareStation1");
}
inline QString interfaceName()
{
    return QStringLiteral("com.tarvellabs.FirmwareStation1.Bench");
}
inline QString errorNotAuthorized()
{
    return QStringLiteral("com.tarvellabs.FirmwareStation1.Error.NotAuthorized");
}
inline QString errorRefused()
{
    return QStringLiteral("com.tarvellabs.FirmwareStation1.Error.Refused");
}

// "com.tarvellabs.FirmwareStation1.bench-7": a bus name's element keeps
// letters, digits and '-'; any other byte, and a digit first, is _XX.
QString serviceName(const QString& station);
// The station's name again; empty for a name that is no bench's.
QString stationOf(const QString& serviceName);
// The benches on `bus`, by their stations' names.
QStringList benches(const QDBusConnection& bus);

} // namespace BenchBus
