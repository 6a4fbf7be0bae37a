#pragma once

#include "../serial/status.h"

#include <QByteArray>
#include <QString>
#include <optional>

class QCryptographicHash;
class QIODevice;

// The firmware file's bytes as read once, before the first line: every line
// sent comes from here, so another build put on disk meanwhile never reaches
// a unit under way, and the record's digest is of what the unit got.
struct FirmwareImage {
    // What a look through the whole file tells before anything is sent.
    struct Facts {
        qint64 size = 0;
        int lines = 0;       // a last line without LF counts
        int longestLine = 0; // bytes, without the line ending
        int longestLineNumber = 0;
    };

    // Firmware text is a few MB; anything near this is no firmware file,
    // and would only fill the memory.
    static constexpr qint64 MaximumSize = qint64(128) << 20;

    QString path;
    QByteArray bytes;
    Facts facts;

    // Nothing when the file cannot be read or is too large; `error` says
    // why. `hash`, when given, is fed the bytes read.
    static std::optional<FirmwareImage> read(const QString& path, QString* error,
                                             QCryptographicHash* hash = nullptr);
    static Facts examine(const QByteArray& bytes);
};

// The firmware image, read forwards one line at a time as bytes. A line
// ends at LF; a CR before the LF belongs to the line ending too. Every other
// byte (0x1A and 0x80 to 0xFF included) is part of the line.
class FirmwareStream
{
public:
    using Facts = FirmwareImage::Facts;
    // No firmware text has lines this long; a longer one means a binary file.
    static constexpr int MaximumLineLength = 65536;

    // One line of `file` into `buffer` (grown to the maximum once), its
    // ending included; -1 on a read error. For readers of a file as it
    // comes, such as the file check.
    static qint64 readRawLine(QIODevice& file, QByteArray& buffer);

    void open(const FirmwareImage& image);
    void close();
    bool isOpen() const { return m_open; }

    // A closed stream counts as one at its end.
    bool atEnd() const { return !m_open || m_position >= m_bytes.size(); }
    // Fails at the end, or on a line over the maximum; the failure names
    // the line.
    [[nodiscard]] Status readLine(QByteArray* line);
    int linesRead() const { return m_linesRead; }
    QString fileName() const { return m_name; }

private:
    QByteArray m_bytes; // shared with the image, never copied
    QString m_name;
    qsizetype m_position = 0;
    bool m_open = false;
    int m_linesRead = 0;
};
