#pragma once

#include <QString>
#include <QVector>
#include <optional>

// What can be told about a firmware file before anything is sent. For
// Motorola S-records (S0 to S9): each record's length and checksum, empty
// lines in the middle (the unit would never answer one) and the end record.
// Other text files are only checked for being line text at all.
struct FirmwareCheck {
    struct Problem {
        int line = 0; // 0: the file as a whole
        QString text;
    };

    bool srecords = false;
    int lines = 0;
    int problemCount = 0;      // all of them
    QVector<Problem> problems; // the first MaximumListed

    static constexpr int MaximumListed = 50;

    bool passed() const { return problemCount == 0; }

    // Nothing when the file cannot be read; `error` then says why.
    static std::optional<FirmwareCheck> of(const QString& path, QString* error);
    // One record, without its line ending; empty when it is sound.
    static QString checkRecord(const QByteArray& record);
};
