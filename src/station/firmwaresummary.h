#pragma once

#include "../upload/firmwarefile.h"
#include "benchconfig.h"

#include <QJsonObject>
#include <QString>
#include <optional>

// A bench's firmware as it is shown above its tiles, made where the file
// was read (the window's own station, or a bench's service) and shown
// wherever the bench is, in the words of whoever shows it.
struct FirmwareSummary {
    QString path;
    QString sha256;
    int lines = 0;
    bool passed = false;
    QString format;  // "S-records"
    QString ranges;  // "0000-7FFF", where the check found records
    QString problem; // the first problem, where it fails
    QString pinned;  // the pinned SHA-256, or empty
    QString serial;  // where serial numbers go ("0x040E:4:le"), or empty
    std::optional<quint64> nextSerial;

    bool isEmpty() const { return path.isEmpty(); }
    // "unit.s19   1200 lines   SHA-256 9a3f0c2e81d4"
    QString title() const;
    // "S-records, passes its check; data 0000-7FFF.  Pinned SHA-256 matches."
    QString check() const;

    static FirmwareSummary of(const FirmwareFile& file, const BenchConfig& bench,
                              std::optional<quint64> nextSerial);
    QJsonObject toJson() const;
    static FirmwareSummary fromJson(const QJsonObject& o);
};
