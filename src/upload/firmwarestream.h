#pragma once

#include "../serial/status.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

class QCryptographicHash;

// The firmware file, read forwards one line at a time as bytes. A line ends
// at LF; a CR before the LF belongs to the line ending too. Every other byte
// (0x1A and 0x80 to 0xFF included) is part of the line.
class FirmwareStream
{
public:
    // No firmware text has lines this long; a longer one means a binary file.
    static constexpr int MaximumLineLength = 65536;

    // What a look through the whole file tells before anything is sent.
    struct Facts {
        qint64 size = 0;
        int lines = 0;       // a last line without LF counts
        int longestLine = 0; // bytes, without the line ending
        int longestLineNumber = 0;
    };
    // `hash`, when given, is fed the whole file on the same pass.
    [[nodiscard]] static std::optional<Facts> examine(const QString& path, QString* error,
                                                      QCryptographicHash* hash = nullptr);

    // One line of `file` into `buffer` (grown to the maximum once), its
    // ending included; -1 on a read error.
    static qint64 readRawLine(QFile& file, QByteArray& buffer);

    // `expectedSize`: what examine() found; a file that ends before it was
    // changed while being sent. -1 takes the file as it comes.
    [[nodiscard]] Status open(const QString& path, qint64 expectedSize = -1);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    // A closed stream counts as one at its end.
    bool atEnd() const { return !m_file.isOpen() || m_file.atEnd(); }
    // Fails on a read error, a line over the maximum, or a file that ended
    // early; the failure names the line.
    [[nodiscard]] Status readLine(QByteArray* line);
    int linesRead() const { return m_linesRead; }
    QString fileName() const { return m_file.fileName(); }

private:
    QFile m_file;
    QByteArray m_buffer; // one line's room, kept: no allocation per line
    qint64 m_expectedSize = -1;
    int m_linesRead = 0;
};
