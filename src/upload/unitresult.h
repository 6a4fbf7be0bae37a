#pragma once

// How one unit's upload ended, for every host of an upload: the uploader,
// the station, its record and summary, the metrics and the tiles. Words for
// it are chosen only where they are written or shown.
enum class UnitResult {
    Pass,        // the unit answered the whole file
    Fail,        // it did not: silent, rejected, taken away, the port lost
    Interrupted, // stopped from outside: a signal, the station stopped
};
