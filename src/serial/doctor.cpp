#include "doctor.h"

#include "portdiagnosis.h"
#include "portresolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace Doctor {

namespace {

QStringList processNames()
{
    QStringList names;
    const auto entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    for (const QString& pid : entries) {
        if (!number.match(pid).hasMatch())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromLocal8Bit(comm.readLine(256)).trimmed();
    }
    return names;
}

QString groupName(gid_t gid)
{
    const group* g = ::getgrgid(gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

QStringList ownGroups()
{
    QStringList names;
    const int n = ::getgroups(0, nullptr);
    QVector<gid_t> gids(qMax(0, n));
    if (n > 0 && ::getgroups(n, gids.data()) == n) {
        for (gid_t g : gids)
            names << groupName(g);
    }
    names << groupName(::getegid());
    return names;
}

QStringList databaseGroups()
{
    QStringList names;
    const passwd* pw = ::getpwuid(::geteuid());
    if (!pw)
        return names;
    int count = 64;
    QVector<gid_t> gids(count);
    if (::getgrouplist(pw->pw_name, pw->pw_gid, gids.data(), &count) < 0) {
        gids.resize(count);
        if (::getgrouplist(pw->pw_name, pw->pw_gid, gids.data(), &count) < 0)
            return names;
    }
    for (int i = 0; i < count; ++i)
        names << groupName(gids[i]);
    return names;
}

bool isUsbAdaptor(const PortEntry& e)
{
    const QString name = QFileInfo(e.device).fileName();
    return e.vendorId || name.startsWith(QLatin1String("ttyUSB")) ||
           name.startsWith(QLatin1String("ttyACM"));
}

QString label(const PortEntry& e)
{
    return e.comNumbers.isEmpty()
               ? e.device
               : QStringLiteral("%1 (Com%2)").arg(e.device).arg(e.comNumbers.first());
}

} // namespace

System System::real()
{
    return {processNames,
            [] {
                for (const char* path : {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty"}) {
                    if (QFileInfo::exists(QLatin1String(path)))
                        return true;
                }
                return false;
            },
            ownGroups, databaseGroups};
}

QVector<PortEntry> candidates(const QVector<PortEntry>& all)
{
    QVector<PortEntry> chosen;
    for (const PortEntry& e : all) {
        if (isUsbAdaptor(e) || !e.pinnedBy.isEmpty())
            chosen << e;
    }
    return chosen;
}

QVector<Finding> examine(const QVector<PortEntry>& ports, const System& system)
{
    QVector<Finding> findings;
    const QStringList session = system.sessionGroups();
    const QStringList account = system.accountGroups();
    QStringList adaptorIds;
    for (const PortEntry& e : ports) {
        const QString usb = PortListing::usbIds(e);
        if (!usb.isEmpty() && !adaptorIds.contains(usb))
            adaptorIds << usb;
        if (!e.exists) {
            const QString pins = e.pinnedBy.isEmpty()
                                     ? QString()
                                     : QStringLiteral(" %1 names it: plug in the adaptor, or "
                                                      "remove or mend the link (rm \"%1\").")
                                           .arg(e.pinnedBy.first());
            findings << Finding{label(e), QStringLiteral("does not exist.") + pins};
            continue;
        }
        DeviceAccess access = inspectOwnership(e.device);
        if (!e.mayOpen) {
            const bool groupMayUse = (access.mode & 060) == 060;
            if (groupMayUse && account.contains(access.group) && !session.contains(access.group)) {
                findings << Finding{label(e),
                                    QStringLiteral("your user was added to the group %1, but this "
                                                   "login does not have it yet. Log out and log in "
                                                   "again (a new terminal is not enough).")
                                        .arg(access.group)};
            } else {
                access.probeErrno = EACCES;
                findings << Finding{label(e), PortDiagnosis::lockedOrForbidden(
                                                  label(e), access, PortAdvice::CommandLine)};
            }
            continue;
        }
        noteLockHolder(&access, findLockFile(e.device));
        if (!access.staleLock.isEmpty() || access.holderPid > 0) {
            findings << Finding{label(e), PortDiagnosis::lockedOrForbidden(
                                              label(e), access, PortAdvice::CommandLine)};
        }
    }

    // Links and pin files that lead nowhere, whichever ports were asked about.
    static const QRegularExpression pin(QStringLiteral("^com([0-9]+)$"));
    const auto pins =
        QDir(PortResolver::linksFolder())
            .entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& file : pins) {
        const QRegularExpressionMatch m = pin.match(file.fileName());
        if (!m.hasMatch())
            continue;
        const PortResolver::Resolution r = PortResolver::resolve(m.captured(1).toInt());
        if (r.known() && QFileInfo::exists(r.device))
            continue;
        bool named = false;
        for (const Finding& f : findings)
            named = named || f.text.contains(file.absoluteFilePath());
        if (!named) {
            findings << Finding{file.absoluteFilePath(),
                                QStringLiteral("Com%1 is pinned to %2, which does not exist. Plug "
                                               "in the adaptor, or remove or mend the pin (rm "
                                               "\"%3\").")
                                    .arg(m.captured(1),
                                         r.known() ? r.device : QStringLiteral("nothing"),
                                         file.absoluteFilePath())};
        }
    }

    if (system.runningCommands().contains(QStringLiteral("ModemManager"))) {
        QStringList rules;
        for (const QString& ids : adaptorIds.isEmpty() ? QStringList{QString()} : adaptorIds)
            rules << PortDiagnosis::udevRule(ids, QStringLiteral("ENV{ID_MM_DEVICE_IGNORE}=\"1\""));
        findings << Finding{
            QStringLiteral("ModemManager"),
            QStringLiteral("is running; it probes new serial adaptors and takes "
                           "their first seconds. Tell it to leave the adaptor "
                           "alone with a udev rule in %1: %2, then run \"sudo "
                           "udevadm control --reload && sudo udevadm trigger\" "
                           "(or stop it: sudo systemctl stop ModemManager).")
                .arg(PortDiagnosis::udevRuleFile(), rules.join(QStringLiteral("; ")))};
    }
    if (system.brlttyInstalled()) {
        findings << Finding{QStringLiteral("brltty"),
                            QStringLiteral("is installed; it claims CH340 and CP210x adaptors as "
                                           "braille displays, so they vanish as soon as they "
                                           "appear. Unless you use a braille display, remove it: "
                                           "sudo apt-get remove brltty.")};
    }
    return findings;
}

} // namespace Doctor
