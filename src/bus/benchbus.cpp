#include "benchbus.h"

#include <QDBusConnectionInterface>

namespace BenchBus {

QString serviceName(const QString& station)
{
    QString element;
    const QByteArray bytes = station.toUtf8();
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (letter || c == '-' || (digit && i > 0))
            element += QLatin1Char(c);
        else
            element += QStringLiteral("_%1").arg(uchar(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return prefix() + QLatin1Char('.') + element;
}

QString stationOf(const QString& name)
{
    if (!name.startsWith(prefix() + QLatin1Char('.')))
        return QString();
    const QString element = name.mid(prefix().size() + 1);
    QByteArray bytes;
    for (int i = 0; i < element.size(); ++i) {
        if (element[i] == QLatin1Char('_') && i + 2 < element.size() + 0) {
            bool ok = false;
            const int v = element.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok)
                return QString();
            bytes += char(v);
            i += 2;
        } else if (element[i] == QLatin1Char('.')) {
            return QString();
        } else {
            bytes += element[i].toLatin1();
        }
    }
    return QString::fromUtf8(bytes);
}

QStringList benches(const QDBusConnection& bus)
{
    QStringList found;
    if (!bus.isConnected() || !bus.interface())
        return found;
    const QStringList names = bus.interface()->registeredServiceNames().value();
    for (const QString& n : names) {
        const QString station = stationOf(n);
        if (!station.isEmpty())
            found << station;
    }
    found.sort();
    return found;
}

} // namespace BenchBus
