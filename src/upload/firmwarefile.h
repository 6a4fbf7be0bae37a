#pragma once

#include "firmwarecheck.h"
#include "firmwarestream.h"

#include <QString>
#include <optional>

// A firmware file as a production run knows it before the first line: its
// bytes as read once, their check, and their SHA-256 for the records.
struct FirmwareFile : FirmwareImage {
    FirmwareCheck check;
    QString sha256; // lower-case hexadecimal, of `bytes`

    // Nothing when the file cannot be read; `error` then says why.
    static std::optional<FirmwareFile> read(const QString& path,
                                            const FirmwareCheck::Options& options, QString* error);
    // The SHA-256 alone, for a file that may have changed on disk.
    static std::optional<QString> digest(const QString& path, QString* error);
    // Whether `text` is a SHA-256 in hexadecimal (either case).
    static bool isDigest(const QString& text);
};
