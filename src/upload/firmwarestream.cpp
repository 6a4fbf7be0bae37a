#include "firmwarestream.h"

#include <QCryptographicHash>
#include <QFile>
#include <limits>

std::optional<FirmwareImage> FirmwareImage::read(const QString& path, QString* error,
                                                 QCryptographicHash* hash)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 could not be opened: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    // Read to its end, not to the size it had: a file that grows meanwhile
    // is taken as far as it went, and no further than the maximum.
    QByteArray bytes;
    if (file.size() > 0 && file.size() <= MaximumSize)
        bytes.reserve(qsizetype(file.size()));
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n < 0) {
            *error = QStringLiteral("Reading %1 failed: %2.").arg(path, file.errorString());
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > MaximumSize) {
            *error = QStringLiteral("%1 is larger than %2 MB, so it is no firmware text file. "
                                    "Choose the firmware's S-record or text file.")
                         .arg(path)
                         .arg(MaximumSize >> 20);
            return std::nullopt;
        }
        bytes.append(buffer, qsizetype(n));
    }
    if (hash)
        hash->addData(bytes);
    FirmwareImage image;
    image.path = path;
    image.facts = examine(bytes);
    image.bytes = std::move(bytes);
    return image;
}

FirmwareImage::Facts FirmwareImage::examine(const QByteArray& bytes)
{
    Facts facts;
    facts.size = bytes.size();
    auto endLine = [&](qint64 length) {
        ++facts.lines;
        if (length > facts.longestLine) {
            facts.longestLine = int(qMin<qint64>(length, std::numeric_limits<int>::max()));
            facts.longestLineNumber = facts.lines;
        }
    };
    const char* data = bytes.constData();
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            break;
        const bool cr = end > start && data[end - 1] == '\r';
        endLine(end - start - (cr ? 1 : 0));
        start = end + 1;
    }
    if (start < bytes.size())
        endLine(bytes.size() - start);
    return facts;
}

qint64 FirmwareStream::readRawLine(QIODevice& file, QByteArray& buffer)
{
    // Bounded, so a binary file cannot fill the memory.
    if (buffer.size() < MaximumLineLength + 4)
        buffer.resize(MaximumLineLength + 4);
    return file.readLine(buffer.data(), MaximumLineLength + 4);
}

void FirmwareStream::open(const FirmwareImage& image)
{
    m_bytes = image.bytes;
    m_name = image.path;
    m_position = 0;
    m_linesRead = 0;
    m_open = true;
}

void FirmwareStream::close()
{
    m_open = false;
    m_bytes = QByteArray();
    m_position = 0;
    m_linesRead = 0;
}

Status FirmwareStream::readLine(QByteArray* line)
{
    if (!m_open)
        return Status::failure(QStringLiteral("No firmware file is open."));
    const int number = m_linesRead + 1;
    if (atEnd()) {
        if (m_linesRead == 0) {
            return Status::failure(
                QStringLiteral("%1 is empty: there is no line to send.").arg(m_name));
        }
        return Status::failure(QStringLiteral("%1 has no more lines to send.").arg(m_name));
    }
    qsizetype end = m_bytes.indexOf('\n', m_position);
    const qsizetype next = end < 0 ? m_bytes.size() : end + 1;
    if (end < 0)
        end = m_bytes.size();
    else if (end > m_position && m_bytes.at(end - 1) == '\r')
        --end;
    if (end - m_position > MaximumLineLength) {
        return Status::failure(QStringLiteral("Line %1 of %2 is longer than %3 bytes: the file "
                                              "does not look like a firmware text file.")
                                   .arg(number)
                                   .arg(m_name)
                                   .arg(MaximumLineLength));
    }
    *line = m_bytes.mid(m_position, end - m_position);
    m_position = next;
    ++m_linesRead;
    return Status::ok();
}
