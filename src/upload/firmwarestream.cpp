#include "firmwarestream.h"

Status FirmwareStream::open(const QString& path)
{
    close();
    m_file.setFileName(path);
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
    if (m_file.atEnd()) {
        if (m_linesRead == 0) {
            return Status::failure(
                QStringLiteral("%1 is empty: there is no line to send.").arg(m_file.fileName()));
        }
        return Status::failure(QStringLiteral("%1 has no more lines to send.")
                                   .arg(m_file.fileName()));
    }
    QByteArray bytes = m_file.readLine();
    if (bytes.isEmpty() && !m_file.atEnd()) {
        return Status::failure(QStringLiteral("Reading %1 failed: %2.")
                                   .arg(m_file.fileName(), m_file.errorString()));
    }
    if (bytes.endsWith('\n')) {
        bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
    }
    *line = bytes;
    ++m_linesRead;
    return Status::ok();
}

int FirmwareStream::countLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int lines = 0;
    char last = '\n';
    bool any = false;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            break;
        lines += int(chunk.count('\n'));
        last = chunk.back();
        any = true;
    }
    if (any && last != '\n')
        ++lines;
    return lines;
}
