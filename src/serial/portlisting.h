#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// Every serial port the system reports, and every device a Com link or pin
// file names, with what an operator needs to tell them apart. Looking at
// them opens and locks nothing.
struct PortEntry {
    QString device;           // the device node, every link followed
    QList<int> comNumbers;    // Com n, as the loader numbers them
    QStringList pinnedBy;     // the link or pin file of each pinned Com n
    QStringList byId, byPath; // its stable names under /dev/serial
    QString description, manufacturer, serialNumber;
    std::optional<quint16> vendorId, productId;
    bool listedBySystem = false;
    bool exists = false;
    bool mayOpen = false; // the user's permissions allow it
    QString access;       // why it may not be opened, or who holds it; empty when free
};

namespace PortListing {

QVector<PortEntry> list();
// One entry for a device named on the command line, whether listed or not.
PortEntry describe(const QString& device);
// The stable names under /dev/serial that lead to `device`.
void stableNamesOf(const QString& device, QStringList* byId, QStringList* byPath);
// The USB ids of a listed device, as "0403:6001".
QString usbIds(const PortEntry& entry);

} // namespace PortListing
