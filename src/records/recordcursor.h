#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

// A reader's place in a record (<record>.forwarded, <record>.published):
// which file it is in (device and inode), the byte offset of the first line
// not yet passed, and the id of the last line passed. A record moved,
// truncated or replaced behind the station's back is told from its own
// by these, not by an offset alone.
struct RecordCursor {
    quint64 device = 0; // 0 with inode 0: not known (a cursor written before these)
    quint64 inode = 0;
    qint64 offset = 0;
    QString lastId;

    bool knowsItsFile() const { return device != 0 || inode != 0; }
    static RecordCursor read(const QString& path);
    // Written whole and renamed; flushed to the disk with `sync`.
    [[nodiscard]] bool write(const QString& path, bool sync, QString* error) const;
    bool operator==(const RecordCursor& o) const
    {
        return device == o.device && inode == o.inode && offset == o.offset && lastId == o.lastId;
    }
    bool operator!=(const RecordCursor& o) const { return !(*this == o); }
};

// Where a record's readers read: the file at its path, or, in the station's
// own process, a file the station wrote before it was moved away or
// replaced (the station keeps it open until its readers are past it).
namespace RecordSource {

struct Place {
    std::unique_ptr<QFile> file; // open, at the place to read from
    RecordCursor cursor;         // its file's identity and the offset
    bool retired = false;        // the station writes it no more: its end is its end
    QString notice;              // what was noticed of the file, to be said; empty: nothing
};

// The place `cursor` names in the record at `path`; none when nothing can
// be read there (`error` says why).
std::unique_ptr<Place> open(const QString& path, const RecordCursor& cursor, QString* error);
// After a retired file's last line: the file written after it under
// `path` (retired too, or the record at its path), from its first line.
RecordCursor next(const QString& path, const RecordCursor& after);
// The id a record's or an audit trail's line carries ("id"); empty for none.
QString idOf(const QByteArray& line);
// Lines waiting after `cursor`, in the retired files and the record at `path`.
qint64 waiting(const QString& path, const RecordCursor& cursor);

// The station's side: a file it wrote under `path`, retired as it opened a
// new one there, kept readable (by its descriptor) for the readers.
void retire(const QString& path, int fd);
// The file the station writes under `path` now. A reader in it stays in it
// when another file appears at the path, until the station retires it: the
// line the station writes before it notices is not skipped.
void writing(const QString& path, int fd);
// `fd` is about to be closed: no reader may take it any more.
void closing(int fd);

} // namespace RecordSource
