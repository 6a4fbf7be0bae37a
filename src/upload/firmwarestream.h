#pragma once

#include "../serial/status.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// The firmware file, read forwards one line at a time as bytes. A line ends
// at LF; a CR before the LF belongs to the line ending too. Every other byte
// (0x1A and 0x80 to 0xFF included) is part of the line.
class FirmwareStream
{
public:
    Status open(const QString& path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    // A closed stream counts as one at its end.
    bool atEnd() const { return !m_file.isOpen() || m_file.atEnd(); }
    Status readLine(QByteArray* line);
    int linesRead() const { return m_linesRead; }

    // Lines the file holds (a last line without LF counts), or -1.
    static int countLines(const QString& path);

private:
    QFile m_file;
    int m_linesRead = 0;
};
