#pragma once

#include "../station/stationslot.h"
#include "../station/unitnumbering.h"

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
    // Serial numbers: none while `serial` is empty.
    QString serial; // "0x040E:4:le", as --serial takes it
    quint64 serialStart = 1;
    quint64 serialStep = 1;
    QString serialEnd;           // empty: no end
    QString database;            // a PostgreSQL URI, never with a password; empty: none
    bool fullScreen = false;     // for a bench monitor of its own
    bool soundOnFailure = false; // the system bell at each FAIL
    // How the slots work, as firmware-upload --station's options set it;
    // kept in the store only (StationName, NextAfter, Timeout, MaxResends,
    // WarnResends), the defaults where it says nothing.
    SlotHost::Settings slotSettings;

    // What the station is given for them; nothing to check when `serial` is empty.
    [[nodiscard]] bool numbering(const QString& recordPath, UnitNumbering::Options* options,
                                 QString* error) const;

    static StationSetup load();
    // False, with `error` saying why, when the store could not be written.
    [[nodiscard]] bool save(QString* error) const;
    static QString storePath();
    // Where the record goes unless the operator chooses another file.
    static QString defaultRecordPath();
};
