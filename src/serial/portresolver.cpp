#include "portresolver.h"

#include "applicationtitle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QStandardPaths>

namespace {

PortResolver::Enumerator& enumerator()
{
    static PortResolver::Enumerator instance;
    return instance;
}

QStringList enumerateWithQt()
{
    QStringList devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        devices << info.systemLocation();
    return devices;
}

bool isUsbAdaptor(const QString& device)
{
    const QString name = QFileInfo(device).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

} // namespace

void PortResolver::setEnumerator(Enumerator e)
{
    enumerator() = std::move(e);
}

QStringList PortResolver::systemDevices()
{
    return enumerator() ? enumerator()() : enumerateWithQt();
}

QString PortResolver::linksFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + applicationTitle() + QLatin1String("/ports");
}

QString PortResolver::linkPath(int number)
{
    return linksFolder() + QStringLiteral("/com%1").arg(number);
}

PortResolver::Resolution PortResolver::resolve(int number)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("COM%1").arg(number), QStringLiteral("windows")};
#else
    if (number < 1)
        return {};
    const QString link = linkPath(number);
    const QFileInfo info(link);
    if (info.isSymLink()) {
        // A dangling link still names the device, so the open failure can say which.
        QString target = info.symLinkTarget();
        if (target.isEmpty())
            target = QFile::symLinkTarget(link);
        return {target, QStringLiteral("link")};
    }
    if (info.isFile()) {
        QFile file(link);
        if (file.open(QIODevice::ReadOnly)) {
            // A pin file is a few bytes; a huge one is read no further.
            const QString device = pinnedDevice(file.read(4096));
            if (!device.isEmpty())
                return {device, QStringLiteral("file")};
        }
    }
    const QStringList devices = orderForNumbering(systemDevices());
    if (number <= devices.size())
        return {devices.at(number - 1), QStringLiteral("system")};
    return {};
#endif
}

QString PortResolver::stableName(int number, const QString& openDevice)
{
    const Resolution r = resolve(number);
    if (r.origin == QLatin1String("link"))
        return linkPath(number);
    if (r.origin == QLatin1String("system") && !openDevice.isEmpty())
        return openDevice;
    return r.device;
}

QString PortResolver::realDevice(const QString& path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real;
}

QString PortResolver::sameDevice(const QStringList& ports)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    QHash<QString, QString> seen; // device -> the port as given
    for (const QString& port : ports) {
        const bool isNumber = number.match(port).hasMatch();
        const QString path = isNumber ? resolve(port.toInt()).device : port;
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const QString device = realDevice(path);
        const QString shown = isNumber ? QStringLiteral("Com%1").arg(port) : port;
        if (seen.contains(device)) {
            return QStringLiteral("%1 and %2 are the same device (%3)")
                .arg(seen.value(device), shown, device);
        }
        seen.insert(device, shown);
    }
    return QString();
}

QString PortResolver::pinnedDevice(const QByteArray& contents)
{
    const int end = int(contents.indexOf('\n'));
    return QString::fromLocal8Bit(end < 0 ? contents : contents.left(end)).trimmed();
}

QStringList PortResolver::orderForNumbering(const QStringList& devices)
{
    QStringList usb, others;
    for (const QString& d : devices)
        (isUsbAdaptor(d) ? usb : others) << d;
    std::sort(usb.begin(), usb.end(), naturalLess);
    std::sort(others.begin(), others.end(), naturalLess);
    return usb + others;
}

bool PortResolver::naturalLess(const QString& a, const QString& b)
{
    int i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            int si = i, sj = j;
            while (si < a.size() && a[si] == QLatin1Char('0'))
                ++si;
            while (sj < b.size() && b[sj] == QLatin1Char('0'))
                ++sj;
            int ei = si, ej = sj;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            for (int k = 0; k < ei - si; ++k) {
                if (a[si + k] != b[sj + k])
                    return a[si + k] < b[sj + k];
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

QString PortResolver::describe(int number)
{
    const Resolution r = resolve(number);
    if (!r.known())
        return QStringLiteral("Com%1: no device known").arg(number);
    if (r.origin == QLatin1String("link") || r.origin == QLatin1String("file"))
        return QStringLiteral("Com%1: %2 (set up in %3)")
            .arg(number)
            .arg(r.device, linkPath(number));
    return QStringLiteral("Com%1: %2").arg(number).arg(r.device);
}
