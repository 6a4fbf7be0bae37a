#pragma once

#include "../station/benchconfig.h"

#include <QString>

// What the station window keeps between runs, in section [Station] of its
// store in the same per-user folder as the loader's settings: the bench
// (its slots and their names, the firmware file, the pin, the record, the
// serial numbers, the database, how the slots work), and the window's own
// preferences beside it.
struct StationSetup {
    BenchConfig bench;
    bool fullScreen = false;     // for a bench monitor of its own
    bool soundOnFailure = false; // the system bell at each FAIL
    QString language;            // View > Language; empty: the system's

    static StationSetup load();
    // False, with `error` saying why, when the store could not be written.
    [[nodiscard]] bool save(QString* error) const;
    static QString storePath();
    // Where the record goes unless the operator chooses another file.
    static QString defaultRecordPath();
};
