#pragma once

#include "../upload/unitresult.h"

#include <QDateTime>
#include <QHash>
#include <QPair>
#include <QString>
#include <QVector>
#include <optional>

// Pass and fail counts from a station's records, per station, slot, file
// digest and released job, with the yield (passes of the units that passed or failed), the
// time the units span, units per hour and seconds per unit, and the serial
// numbers each build went out with: the lowest, the highest, how many, and
// any number that more than one pass names. Fed from a record file or from
// the factory's database alike.
struct RecordSummary {
    struct Counts {
        int pass = 0;
        int fail = 0;
        int interrupted = 0;
        int reworkPass = 0; // of those, units whose label had passed before
        int reworkFail = 0;
        // Passes of the units that passed or failed, in percent; none before a unit.
        std::optional<double> yieldPercent() const;
        // The same of the units flashed for the first time, reworks left out.
        std::optional<double> firstPassYieldPercent() const;
    };
    struct Key {
        QString station, slot, sha256;
        QString job; // the released job's file, when the units were flashed under one
        bool operator==(const Key& o) const
        {
            return station == o.station && slot == o.slot && sha256 == o.sha256 && job == o.job;
        }
    };
    struct Serials {
        quint64 lowest = 0;
        quint64 highest = 0;
        QHash<quint64, int> passes; // per number used, the passes that name it
    };
    // One unit's record, as far as the summary needs it.
    struct Entry {
        QString station, slot, sha256;
        UnitResult result = UnitResult::Pass;
        std::optional<quint64> serial;
        QDateTime ended;    // invalid when the record has none
        double seconds = 0; // the upload's duration
        QString job;        // the job file, or empty
        bool rework = false; // its label's unit passed before
        QString order;      // the work order whose permit it spent, or empty
        int orderUnits = 0; // that order's quantity
    };
    // A work order's units in the record: made (a permit spent), failed of those.
    struct Order {
        int units = 0;
        int made = 0;
        int failed = 0;
    };

    QVector<QPair<Key, Counts>> rows; // in order of first appearance
    Counts total;
    QVector<QPair<QString, Serials>> serials; // per digest, in order of first appearance
    QVector<QPair<QString, Order>> orders;    // per work order, in order of first appearance
    int unreadable = 0;                       // lines that are no record
    QDateTime first, last;                    // the earliest start and the latest end
    double unitSeconds = 0;                   // of the units that passed or failed

    void add(const Entry& entry);
    // The rows as people read them: by station, then slot, numbers in
    // their natural order (ttyUSB2 before ttyUSB10).
    void sortRows();
    static bool read(const QString& path, RecordSummary* summary, QString* error);
    QString toText() const;

private:
    QHash<QString, int> m_rowOf;    // by station, slot and digest
    QHash<QString, int> m_serialOf; // by digest
};
