#include "portlisting.h"

#include "portdiagnosis.h"
#include "portresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <climits>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The stable names under /dev/serial/<kind>, by the device each leads to.
QMap<QString, QStringList> stableNames(const QString& kind)
{
    QMap<QString, QStringList> names;
    const QDir folder(QStringLiteral("/dev/serial/") + kind);
    const auto links =
        folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links)
        names[link.canonicalFilePath()] << link.absoluteFilePath();
    return names;
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

void fill(PortEntry& entry, const QMap<QString, QStringList>& byId,
          const QMap<QString, QStringList>& byPath)
{
    entry.exists = QFileInfo::exists(entry.device);
    entry.byId = byId.value(entry.device);
    entry.byPath = byPath.value(entry.device);
    const QSerialPortInfo info(QFileInfo(entry.device).fileName());
    if (!info.isNull() && info.systemLocation() == entry.device) {
        entry.description = info.description();
        entry.manufacturer = info.manufacturer();
        entry.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            entry.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            entry.productId = info.productIdentifier();
    }
    if (!entry.exists) {
        entry.access = QStringLiteral("does not exist");
        return;
    }
#ifdef Q_OS_UNIX
    entry.mayOpen = ::access(entry.device.toLocal8Bit().constData(), R_OK | W_OK) == 0;
    const DeviceAccess access = inspectOwnership(entry.device);
    if (!entry.mayOpen) {
        entry.access = QStringLiteral("permission denied (owner %1, group %2, mode %3)")
                           .arg(access.owner, access.group,
                                QStringLiteral("%1").arg(access.mode, 4, 8, QLatin1Char('0')));
        return;
    }
    const LockFile lock = findLockFile(entry.device);
    if (lock.pid > 0 && !lock.stale && lock.pid != ::getpid()) {
        entry.access =
            lock.command.isEmpty()
                ? QStringLiteral("in use by process %1").arg(lock.pid)
                : QStringLiteral("in use by %1 (process %2)").arg(lock.command).arg(lock.pid);
    } else if (lock.stale) {
        entry.access = QStringLiteral("free, but a stale lock file is left: %1").arg(lock.path);
    }
#endif
}

} // namespace

namespace PortListing {

QVector<PortEntry> list()
{
    QMap<QString, PortEntry> byDevice;
    const QStringList system = PortResolver::orderForNumbering(PortResolver::systemDevices());
    for (const QString& d : system) {
        PortEntry& e = byDevice[PortResolver::realDevice(d)];
        e.device = PortResolver::realDevice(d);
        e.listedBySystem = true;
    }
    // Com numbers: the system's order, or a link or pin file where there is one.
    int highest = qMax(16, int(system.size()));
    static const QRegularExpression pin(QStringLiteral("^com([0-9]+)$"));
    const auto pins = QDir(PortResolver::linksFolder())
                          .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : pins) {
        const QRegularExpressionMatch m = pin.match(name);
        if (m.hasMatch())
            highest = qMax(highest, m.captured(1).toInt());
    }
    for (int n = 1; n <= highest; ++n) {
        const PortResolver::Resolution r = PortResolver::resolve(n);
        if (!r.known())
            continue;
        const QString device = PortResolver::realDevice(r.device);
        PortEntry& e = byDevice[device];
        e.device = device;
        e.comNumbers << n;
        if (r.origin == QLatin1String("link") || r.origin == QLatin1String("file"))
            e.pinnedBy << PortResolver::linkPath(n);
    }
    const auto byId = stableNames(QStringLiteral("by-id"));
    const auto byPath = stableNames(QStringLiteral("by-path"));
    QVector<PortEntry> entries;
    for (PortEntry& e : byDevice) {
        fill(e, byId, byPath);
        entries << e;
    }
    // In Com order; devices without a number last.
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
        const int na = a.comNumbers.isEmpty() ? INT_MAX : a.comNumbers.first();
        const int nb = b.comNumbers.isEmpty() ? INT_MAX : b.comNumbers.first();
        return na < nb;
    });
    return entries;
}

PortEntry describe(const QString& device)
{
    const QString real = PortResolver::realDevice(device);
    const QVector<PortEntry> all = list();
    for (const PortEntry& e : all) {
        if (e.device == real)
            return e;
    }
    PortEntry e;
    e.device = real;
    fill(e, stableNames(QStringLiteral("by-id")), stableNames(QStringLiteral("by-path")));
    return e;
}

void stableNamesOf(const QString& device, QStringList* byId, QStringList* byPath)
{
    const QString real = PortResolver::realDevice(device);
    *byId = stableNames(QStringLiteral("by-id")).value(real);
    *byPath = stableNames(QStringLiteral("by-path")).value(real);
}

QString usbIds(const PortEntry& entry)
{
    if (!entry.vendorId || !entry.productId)
        return QString();
    return hex4(*entry.vendorId) + QLatin1Char(':') + hex4(*entry.productId);
}

} // namespace PortListing
