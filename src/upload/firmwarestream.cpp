#include "firmwarestream.h"

#include <QCryptographicHash>
#include <limits>

std::optional<FirmwareStream::Facts> FirmwareStream::examine(const QString& path, QString* error,
                                                             QCryptographicHash* hash)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 could not be opened: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    Facts facts;
    qint64 lineLength = 0; // bytes of the current line so far, CR included
    bool lastWasCr = false;
    auto endLine = [&](qint64 length) {
        ++facts.lines;
        if (length > facts.longestLine) {
            facts.longestLine = int(qMin<qint64>(length, std::numeric_limits<int>::max()));
            facts.longestLineNumber = facts.lines;
        }
    };
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n < 0) {
            *error = QStringLiteral("Reading %1 failed: %2.").arg(path, file.errorString());
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (hash)
            hash->addData(QByteArrayView(buffer, n));
        facts.size += n;
        for (qint64 i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                endLine(lastWasCr ? lineLength - 1 : lineLength);
                lineLength = 0;
                lastWasCr = false;
            } else {
                ++lineLength;
                lastWasCr = buffer[i] == '\r';
            }
        }
    }
    if (lineLength > 0)
        endLine(lineLength);
    return facts;
}

qint64 FirmwareStream::readRawLine(QFile& file, QByteArray& buffer)
{
    // Bounded, so a file replaced by a binary one cannot fill the memory.
    if (buffer.size() < MaximumLineLength + 4)
        buffer.resize(MaximumLineLength + 4);
    return file.readLine(buffer.data(), MaximumLineLength + 4);
}

Status FirmwareStream::open(const QString& path, qint64 expectedSize)
{
    close();
    m_file.setFileName(path);
    m_expectedSize = expectedSize;
    if (!m_file.open(QIODevice::ReadOnly)) {
        return Status::failure(
            QStringLiteral("%1 could not be opened: %2.").arg(path, m_file.errorString()));
    }
    return Status::ok();
}

void FirmwareStream::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_linesRead = 0;
}

Status FirmwareStream::readLine(QByteArray* line)
{
    if (!m_file.isOpen())
        return Status::failure(QStringLiteral("No firmware file is open."));
    const int number = m_linesRead + 1;
    if (m_file.atEnd()) {
        if (m_linesRead == 0) {
            return Status::failure(
                QStringLiteral("%1 is empty: there is no line to send.").arg(m_file.fileName()));
        }
        return Status::failure(
            QStringLiteral("%1 has no more lines to send.").arg(m_file.fileName()));
    }
    const qint64 n = readRawLine(m_file, m_buffer);
    QByteArray bytes(m_buffer.constData(), qMax<qint64>(0, n));
    if (n <= 0) {
        return Status::failure(QStringLiteral("Reading line %1 of %2 failed: %3.")
                                   .arg(number)
                                   .arg(m_file.fileName(), m_file.errorString()));
    }
    const bool complete = bytes.endsWith('\n');
    if (complete) {
        bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
    }
    if (bytes.size() > MaximumLineLength) {
        return Status::failure(QStringLiteral("Line %1 of %2 is longer than %3 bytes: the file "
                                              "does not look like a firmware text file.")
                                   .arg(number)
                                   .arg(m_file.fileName())
                                   .arg(MaximumLineLength));
    }
    if (m_expectedSize >= 0 && m_file.atEnd() && m_file.pos() < m_expectedSize) {
        return Status::failure(QStringLiteral("%1 ended at line %2, after %3 of its %4 bytes: the "
                                              "file was changed while it was being sent. Send it "
                                              "again once it is complete.")
                                   .arg(m_file.fileName())
                                   .arg(number)
                                   .arg(m_file.pos())
                                   .arg(m_expectedSize));
    }
    *line = bytes;
    ++m_linesRead;
    return Status::ok();
}
