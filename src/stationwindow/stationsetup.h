#pragma once

#include <QString>
#include <QVector>

// What the station window keeps between runs, in section [Station] of its
// store in the same per-user folder as the loader's settings.
struct StationSetup {
    struct Slot {
        QString port; // as the station takes it: a stable name, a path or a Com number
        QString name; // what the operator calls it ("Bench A1")
        bool operator==(const Slot& o) const { return port == o.port && name == o.name; }
    };
    QVector<Slot> benchSlots;
    QString firmware;
    QString pinnedDigest;
    QString recordPath;

    static StationSetup load();
    // False, with `error` saying why, when the store could not be written.
    [[nodiscard]] bool save(QString* error) const;
    static QString storePath();
    // Where the record goes unless the operator chooses another file.
    static QString defaultRecordPath();
};
