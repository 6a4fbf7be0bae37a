#pragma once

#include <QByteArray>
#include <QString>

// A file of whole lines, appended to: one write per line, each flushed to
// the disk before the caller goes on, so that a crash or a power cut leaves
// whole lines only and two stations may append to one local file. A write
// that falls short (a full disk) is taken back, so the file still holds
// whole lines only. The record of units and the audit trail are such files.
class RecordFile
{
public:
    // `noun` names the file in messages: "the record ... cannot be written".
    explicit RecordFile(const QString& noun = QStringLiteral("record")) : m_noun(noun) {}
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    [[nodiscard]] bool open(const QString& path, QString* error);
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    // One line, its LF included.
    [[nodiscard]] bool appendLine(const QByteArray& line, QString* error);
    void close();

    // For a file whose next line depends on its last: held against other
    // writers (an advisory lock) between lock() and unlock().
    void lock();
    void unlock();
    // The last whole line on the disk, without its LF; empty for none.
    QByteArray lastLine() const;
    // A reader's place in a record, kept beside it (<record>.forwarded,
    // <record>.published): the byte offset of the first line not yet taken;
    // 0 when there is none.
    static qint64 readCursor(const QString& cursorPath);

private:
    QString m_noun;
    int m_fd = -1;
    QString m_path;
};
