#pragma once

#include "firmwarecheck.h"
#include "firmwarestream.h"

#include <QString>
#include <optional>

// A firmware file as a production run knows it before the first line: its
// check, its lines, and its SHA-256 for the records.
struct FirmwareFile {
    QString path;
    FirmwareCheck check;
    FirmwareStream::Facts facts;
    QString sha256; // lower-case hexadecimal

    // Nothing when the file cannot be read; `error` then says why.
    static std::optional<FirmwareFile> read(const QString& path,
                                            const FirmwareCheck::Options& options, QString* error);
    // The SHA-256 alone, for a file that may have changed on disk.
    static std::optional<QString> digest(const QString& path, QString* error);
    // Whether `text` is a SHA-256 in hexadecimal (either case).
    static bool isDigest(const QString& text);
};
