#pragma once

#include "portlisting.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

// What commonly keeps a serial adaptor from working on Linux, each finding
// with what to do about it. Nothing is opened or locked here.
namespace Doctor {

struct Finding {
    QString subject; // a device, a link, or a program
    QString text;    // what is wrong, then the fix
};

// What the doctor reads of the system; tests give their own.
struct System {
    std::function<QStringList()> runningCommands; // process names
    std::function<bool()> brlttyInstalled;
    std::function<QStringList()> sessionGroups; // this process's groups
    std::function<QStringList()> accountGroups; // the user's groups in the group database
    static System real();
};

// `ports`: the ports to look at (the adaptors and pinned ports, or the one
// named on the command line).
QVector<Finding> examine(const QVector<PortEntry>& ports, const System& system);

// The ports worth a look when none is named: USB adaptors and pinned ports.
QVector<PortEntry> candidates(const QVector<PortEntry>& all);

} // namespace Doctor
