#include "portdiagnosis.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

LockFile findLockFile(const QString& device)
{
    LockFile found;
#ifdef Q_OS_UNIX
    // LCK..ttyUSB0, as Qt and the terminal programs name it, in the first
    // folder that has one.
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                               "/tmp", "/var/tmp", "/run/lock"}) {
        QFile lock(QLatin1String(folder) + QLatin1String("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        found.path = QFileInfo(lock.fileName()).canonicalFilePath();
        // The process number, padded or not, on the first line.
        bool ok = false;
        const qint64 pid = QString::fromLatin1(lock.readLine(64)).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0)
            return found;
        found.pid = pid;
        found.stale = ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
        if (!found.stale) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (comm.open(QIODevice::ReadOnly))
                found.command = QString::fromLocal8Bit(comm.readLine(256)).trimmed();
        }
        return found;
    }
#else
    Q_UNUSED(device);
#endif
    return found;
}

DeviceAccess inspectOwnership(const QString& device)
{
    DeviceAccess access;
#ifdef Q_OS_UNIX
    const QByteArray path = device.toLocal8Bit();
    struct stat st {
    };
    if (::stat(path.constData(), &st) == 0) {
        access.mode = st.st_mode & 07777;
        const passwd* pw = ::getpwuid(st.st_uid);
        access.owner = pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(st.st_uid);
        const group* gr = ::getgrgid(st.st_gid);
        access.group = gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
    }
#else
    Q_UNUSED(device);
#endif
    const QSerialPortInfo info(QFileInfo(device).fileName());
    if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
        access.usbIds = QStringLiteral("%1:%2")
                            .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                            .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
    }
    return access;
}

void noteLockHolder(DeviceAccess* access, const LockFile& lock)
{
#ifdef Q_OS_UNIX
    if (lock.stale) {
        access->staleLock = lock.path;
    } else if (lock.pid > 0 && lock.pid != ::getpid()) {
        access->holderPid = lock.pid;
        access->holderCommand = lock.command;
    }
#else
    Q_UNUSED(access);
    Q_UNUSED(lock);
#endif
}

DeviceAccess inspectDevice(const QString& device)
{
    DeviceAccess access = inspectOwnership(device);
#ifdef Q_OS_UNIX
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    access.probeErrno = fd < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    noteLockHolder(&access, findLockFile(device));
#else
    Q_UNUSED(device);
#endif
    return access;
}

namespace PortDiagnosis {

namespace {

// What to do once the cause is mended.
QString then(PortAdvice advice)
{
    switch (advice) {
    case PortAdvice::Window:
        return QStringLiteral("then open the port again");
    case PortAdvice::Upload:
        return QStringLiteral("the upload goes on by itself once the port opens");
    case PortAdvice::CommandLine:
        return QStringLiteral("then run the command again");
    case PortAdvice::Station:
        return QStringLiteral("the slot tries again every second");
    }
    return QString();
}

} // namespace

QString missing(const QString& label, PortAdvice advice)
{
    switch (advice) {
    case PortAdvice::Window:
        return QStringLiteral("%1 does not exist. Check that the adaptor is plugged in, or choose "
                              "another port under CommPort > Properties.")
            .arg(label);
    case PortAdvice::Upload:
        return QStringLiteral("%1 does not exist. Check that the adaptor is plugged in: the "
                              "upload goes on by itself once it is back, and Cancel stops it.")
            .arg(label);
    case PortAdvice::CommandLine:
        return QStringLiteral("%1 does not exist. Check that the adaptor is plugged in and that "
                              "--port names it (firmware-upload --list-ports lists the ports).")
            .arg(label);
    case PortAdvice::Station:
        return QStringLiteral("%1 does not exist: plug in the adaptor (the slot tries again every "
                              "second).")
            .arg(label);
    }
    return QString();
}

QString noDeviceKnown(int number, const QString& linkPath, PortAdvice advice)
{
    const QString alternative = advice == PortAdvice::CommandLine || advice == PortAdvice::Station
                                    ? QStringLiteral(", or give its device with --port")
                                    : QString();
    return QStringLiteral("No serial device is known for Com%1. Plug in the adaptor, or link its "
                          "device as %2%3.")
        .arg(number)
        .arg(linkPath, alternative);
}

QString lockedOrForbidden(const QString& label, const DeviceAccess& access, PortAdvice advice)
{
#ifdef Q_OS_UNIX
    if (access.probeErrno == EACCES || access.probeErrno == EPERM) {
        // A production bench's adaptor is its service's alone (the package's
        // udev example): joining its group would go around the service.
        const QString service = QStringLiteral("firmware-station");
        if (access.owner == service || access.group == service)
            return QStringLiteral("Permission denied for %1: it is an adaptor of a bench, given "
                                  "to its station service (%2) alone. Drive the bench through "
                                  "the service (firmware-upload status, start, stop, load-job), "
                                  "or ask an engineer.")
                .arg(label, service);
        // Group advice helps only where the group may read and write.
        if ((access.mode & 060) == 060 || access.mode == 0) {
            const QString g = access.group.isEmpty() ? QStringLiteral("dialout") : access.group;
            return QStringLiteral("Permission denied for %1. Your user must be in the group that "
                                  "owns the device (%2): run \"sudo usermod -aG %2 $USER\", then "
                                  "log out and log in again.")
                .arg(label, g);
        }
        return QStringLiteral("Permission denied for %1: the device's permissions let only its "
                              "owner use it (owner %2, group %3, mode %4). Give it to the dialout "
                              "group with a udev rule in %5: %6, then run \"sudo udevadm control "
                              "--reload && sudo udevadm trigger\" (see \"Permission denied\" in "
                              "the README), or ask your administrator.")
            .arg(label, access.owner, access.group,
                 QStringLiteral("%1").arg(access.mode, 4, 8, QLatin1Char('0')), udevRuleFile(),
                 udevRule(access.usbIds, QStringLiteral("GROUP=\"dialout\", MODE=\"0660\"")));
    }
    if (access.probeErrno == ENOENT || access.probeErrno == ENODEV || access.probeErrno == ENXIO)
        return missing(label, advice);
    if (!access.staleLock.isEmpty()) {
        return QStringLiteral("%1 is locked by %2, a lock file left behind by a program that has "
                              "ended. Remove it (sudo rm %2), %3.")
            .arg(label, access.staleLock, then(advice));
    }
    if (access.holderPid > 0) {
        const QString who =
            access.holderCommand.isEmpty()
                ? QStringLiteral("process %1").arg(access.holderPid)
                : QStringLiteral("%1 (process %2)").arg(access.holderCommand).arg(access.holderPid);
        return QStringLiteral("%1 is in use by another program, %2. Close it, %3.")
            .arg(label, who, then(advice));
    }
#endif
    return QStringLiteral("%1 is in use by another program. Close the program that holds it (a "
                          "terminal or a modem manager), %2.")
        .arg(label, then(advice));
}

QString lost(const QString& where, bool gone, PortAdvice advice)
{
    const QString fact = QStringLiteral("%1 was disconnected (%2).")
                             .arg(where, gone ? QStringLiteral("the device node is gone")
                                              : QStringLiteral("hang-up"));
    switch (advice) {
    case PortAdvice::Window:
        return fact + QStringLiteral(" Plug the adaptor in again, then open the port.");
    case PortAdvice::Upload:
        return fact + QStringLiteral(" Plug the adaptor in again: the upload goes on by itself "
                                     "once it is back.");
    case PortAdvice::CommandLine:
        return fact + QStringLiteral(" Plug the adaptor in again and run the command again.");
    case PortAdvice::Station:
        return fact + QStringLiteral(" Plug the adaptor in again: the slot waits for it.");
    }
    return fact;
}

QString stopped(const QString& where, const QString& why, PortAdvice advice)
{
    return QStringLiteral("%1 stopped working (%2) and was closed. Check the adaptor, %3.")
        .arg(where, why, then(advice));
}

QString notOpen(const QString& label, PortAdvice advice)
{
    switch (advice) {
    case PortAdvice::Upload:
        return QStringLiteral("%1 is not open, so nothing was sent; the line goes again once the "
                              "port is back and the unit asks for it.")
            .arg(label);
    case PortAdvice::Window:
    case PortAdvice::CommandLine:
    case PortAdvice::Station:
        break;
    }
    return QStringLiteral("%1 is not open, so nothing was sent. Open the port and try again.")
        .arg(label);
}

QString udevRule(const QString& usbIds, const QString& assignments)
{
    // Never a rule for every tty: unknown ids stay for the reader to fill in.
    QStringList ids = usbIds.split(QLatin1Char(':'));
    if (ids.size() != 2)
        ids = QStringList{QStringLiteral("<vendor id from lsusb>"),
                          QStringLiteral("<product id from lsusb>")};
    return QStringLiteral(
               "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", %3")
        .arg(ids[0], ids[1], assignments);
}

QString udevRuleFile()
{
    return QStringLiteral("/etc/udev/rules.d/70-firmware-loader.rules");
}

} // namespace PortDiagnosis
