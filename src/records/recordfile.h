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
    // A record whose path is moved or replaced behind its back (or rotated,
    // reopen()) goes on in the file at its path; the file it wrote before
    // stays readable to its readers (RecordSource). Off for an audit trail,
    // whose chain is one file's.
    void setFollowsPath(bool follows) { m_followsPath = follows; }
    // The path opened anew (a rotation: SIGHUP); `notice` says what was done.
    [[nodiscard]] bool reopen(QString* notice, QString* error);
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    // One line, its LF included. `notice`, when given, says what was noticed
    // of the file before it was written (moved, replaced or cut shorter).
    [[nodiscard]] bool appendLine(const QByteArray& line, QString* error,
                                  QString* notice = nullptr);
    void close();

    // For a file whose next line depends on its last: held against other
    // writers (an advisory lock) between lock() and unlock().
    void lock();
    void unlock();
    // The last whole line on the disk, without its LF; empty for none.
    QByteArray lastLine() const;

private:
    // The file at the path is no longer the one written: said, and followed.
    QString followPath();

    QString m_noun;
    int m_fd = -1;
    QString m_path;
    bool m_followsPath = false;
    qint64 m_size = 0; // as this file last left it
};
