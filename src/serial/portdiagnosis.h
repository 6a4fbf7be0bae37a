#pragma once

#include <QString>
#include <QtGlobal>

// Why a serial device cannot be used, and what to do about it, in one place:
// the window's messages, the command-line uploader and its doctor all say
// the same thing about the same device.

// Who reads a failure, which decides the advice at its end.
enum class PortAdvice {
    Window,      // the window's operator: Port Open, CommPort > Properties
    Upload,      // the window's operator while an upload waits for its port
    CommandLine, // someone at a shell: options and the command run again
    Station,     // a production slot, which tries again by itself
};

// A lock file in the form the terminal programs write (LCK..ttyUSB0).
struct LockFile {
    QString path;
    qint64 pid = 0;
    bool stale = false; // its process has ended
    QString command;    // of a process that still runs, where it can be read
};
// The first lock file for the device in the usual lock folders, if any.
LockFile findLockFile(const QString& device);

// What the system says about a device that could not be opened.
struct DeviceAccess {
    int probeErrno = 0; // of a plain open of the device; 0 when it succeeded
    QString owner;      // of the device node
    QString group;
    uint mode = 0;        // its permission bits
    QString staleLock;    // a lock file of a program that has ended, if one is there
    qint64 holderPid = 0; // the live process a lock file names, if any
    QString holderCommand;
    QString usbIds; // "0403:6001" for a USB adaptor the system lists
};
// What a lock file says of who holds the device: a stale lock, or a live
// process other than this one.
void noteLockHolder(DeviceAccess* access, const LockFile& lock);
// Opens the device once, without locking it, to learn why it cannot be used.
DeviceAccess inspectDevice(const QString& device);
// Only what can be seen without opening it: owner, group, mode.
DeviceAccess inspectOwnership(const QString& device);

namespace PortDiagnosis {

// The device is not there (unplugged, or a link that leads nowhere).
QString missing(const QString& label, PortAdvice advice);
// Com n names no device at all.
QString noDeviceKnown(int number, const QString& linkPath, PortAdvice advice);
// Qt's PermissionError, which covers a device without permission, one held
// by another program and a stale lock file; `access` tells them apart.
QString lockedOrForbidden(const QString& label, const DeviceAccess& access, PortAdvice advice);
// An open port went away (`gone`: its device node disappeared; else a hang-up).
QString lost(const QString& where, bool gone, PortAdvice advice);
// An open port failed in another way and was closed.
QString stopped(const QString& where, const QString& why, PortAdvice advice);
// A line could not be sent because the port is closed.
QString notOpen(const QString& label, PortAdvice advice);

// A udev rule for the adaptor with these USB ids ("0403:6001"; any tty
// when empty) that sets `assignments`, and where to put it.
QString udevRule(const QString& usbIds, const QString& assignments);
QString udevRuleFile();

} // namespace PortDiagnosis
