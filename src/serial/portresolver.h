#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Turns a port number (Com1, Com2, ...) into a device.
//
// On Windows Com n is "COMn". Elsewhere a link or file
// $XDG_CONFIG_HOME/<title>/ports/com<n> names the device; without one, Com n
// is the n-th serial port the system reports, USB adaptors first.
class PortResolver
{
public:
    struct Resolution {
        QString device; // empty when no device is known for the number
        QString origin; // "link", "file", "system" or "windows"
        bool known() const { return !device.isEmpty(); }
    };

    static Resolution resolve(int number);

    // The name under which Com n can be opened again later without asking
    // the system for its list of ports, which may order the ports differently
    // once an adaptor has come and gone: the link in the ports folder itself
    // (followed at each open), the path in a pin file, or else the device the
    // system lists now (`openDevice`, when given, is the one already open).
    static QString stableName(int number, const QString& openDevice = QString());

    // The device node a path names once every link is followed; the path
    // itself when it leads nowhere (so a failure can still name it).
    static QString realDevice(const QString& path);

    // When two of `ports` (Com numbers or paths, as given) lead to one
    // device: "/dev/pts/3 and Com1 are the same device". Empty when each
    // is a device of its own, or cannot be told yet (not there).
    static QString sameDevice(const QStringList& ports);

    // The device a pin file names: its first line, without blanks.
    static QString pinnedDevice(const QByteArray& contents);

    static QString linksFolder();
    static QString linkPath(int number);

    // USB adaptors (ttyUSB*, ttyACM*) first, then the others, each group in
    // natural name order (ttyUSB2 before ttyUSB10).
    static QStringList orderForNumbering(const QStringList& devices);
    static bool naturalLess(const QString& a, const QString& b);

    // The system's serial devices; tests replace this so that no test ever
    // reaches a real device.
    using Enumerator = std::function<QStringList()>;
    static void setEnumerator(Enumerator enumerator);
    static QStringList systemDevices();

    // "Com3: /dev/ttyUSB0" or "Com3: no device known", for tool tips.
    static QString describe(int number);
};
