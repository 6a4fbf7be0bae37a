#pragma once

#include "../upload/firmwarefile.h"
#include "benchconfig.h"

#include <QJsonObject>
#include <QString>
#include <optional>

// A bench's firmware in the words shown above its tiles, made where the
// file was read (the window's own station, or a bench's service) and
// shown wherever the bench is.
struct FirmwareSummary {
    QString path;
    QString sha256;
    int lines = 0;
    QString title; // "unit.s19   1200 lines   SHA-256 9a3f0c2e81d4"
    QString check; // "S-records, passes its check; data 0000-7FFF.  Pinned SHA-256 matches."

    bool isEmpty() const { return path.isEmpty(); }
    // `nextSerial`: the number the next unit gets, where the bench puts one in.
    static FirmwareSummary of(const FirmwareFile& file, const BenchConfig& bench,
                              std::optional<quint64> nextSerial);
    QJsonObject toJson() const;
    static FirmwareSummary fromJson(const QJsonObject& o);
};
