#include "recordcursor.h"

#include "../platform/atomicfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QVector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The files the station's records were before they were moved, in this
// process, by the record's path; the oldest let go past a few dozen.
struct Retired {
    QString path;
    quint64 device, inode;
    int fd;
};
QMutex retiredGuard;
QVector<Retired>& retiredFiles()
{
    static QVector<Retired> files;
    return files;
}
// The files the station writes now, under the same guard.
QVector<Retired>& liveFiles()
{
    static QVector<Retired> files;
    return files;
}
constexpr int MostRetired = 64;

bool identity(int fd, quint64* device, quint64* inode, qint64* size)
{
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        return false;
    *device = quint64(st.st_dev);
    *inode = quint64(st.st_ino);
    *size = qint64(st.st_size);
    return true;
}

// A descriptor of its own for the file `fd` is open on, moved or deleted as
// it may be: a dup() would share its offset with every other reader.
int reopenDescriptor(int fd)
{
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    return ::open(link.constData(), O_RDONLY | O_CLOEXEC);
}

} // namespace

RecordCursor RecordCursor::read(const QString& path)
{
    RecordCursor c;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return c;
    const QByteArray text = f.readAll().trimmed();
    bool ok = false;
    // A cursor of before: a bare offset, of whichever file is at the path.
    const qint64 bare = text.toLongLong(&ok);
    if (ok) {
        c.offset = bare > 0 ? bare : 0;
        return c;
    }
    const QJsonObject o = QJsonDocument::fromJson(text).object();
    c.device = quint64(o.value("device").toInteger());
    c.inode = quint64(o.value("inode").toInteger());
    c.offset = qMax<qint64>(0, o.value("offset").toInteger());
    c.lastId = o.value("id").toString();
    return c;
}

bool RecordCursor::write(const QString& path, bool sync, QString* error) const
{
    const QJsonObject o{{"device", qint64(device)},
                        {"inode", qint64(inode)},
                        {"offset", offset},
                        {"id", lastId}};
    return AtomicFile::write(path, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n', sync,
                             error);
}

namespace RecordSource {

QString idOf(const QByteArray& line)
{
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    return o.value("id").toString();
}

void writing(const QString& path, int fd)
{
    Retired r{path, 0, 0, fd};
    qint64 size = 0;
    if (!identity(fd, &r.device, &r.inode, &size))
        return;
    QMutexLocker lock(&retiredGuard);
    liveFiles().append(r);
}

void closing(int fd)
{
    QMutexLocker lock(&retiredGuard);
    liveFiles().removeIf([fd](const Retired& r) { return r.fd == fd; });
}

void retire(const QString& path, int fd)
{
    Retired r{path, 0, 0, fd};
    qint64 size = 0;
    if (!identity(fd, &r.device, &r.inode, &size)) {
        closing(fd);
        ::close(fd);
        return;
    }
    QMutexLocker lock(&retiredGuard);
    liveFiles().removeIf([fd](const Retired& l) { return l.fd == fd; });
    QVector<Retired>& files = retiredFiles();
    files.append(r);
    while (files.size() > MostRetired)
        ::close(files.takeFirst().fd);
}

RecordCursor next(const QString& path, const RecordCursor& after)
{
    RecordCursor c;
    {
        QMutexLocker lock(&retiredGuard);
        const QVector<Retired>& files = retiredFiles();
        bool passed = false;
        for (const Retired& r : files) {
            if (r.path != path)
                continue;
            if (passed) {
                c.device = r.device;
                c.inode = r.inode;
                return c;
            }
            passed = r.device == after.device && r.inode == after.inode;
        }
    }
    QFile f(path);
    qint64 size = 0;
    if (f.open(QIODevice::ReadOnly))
        identity(f.handle(), &c.device, &c.inode, &size);
    return c;
}

// The line that ends at `offset`, without its LF; empty when there is none.
static QByteArray lineBefore(QFile& f, qint64 offset)
{
    if (offset <= 0)
        return QByteArray();
    const qint64 from = qMax<qint64>(0, offset - (1 << 20));
    if (!f.seek(from))
        return QByteArray();
    QByteArray block = f.read(offset - from);
    if (!block.endsWith('\n'))
        return QByteArray();
    block.chop(1);
    return block.mid(block.lastIndexOf('\n') + 1);
}

// The file of `files` the cursor is in, opened for this reader alone; none
// when it is in none of them (`found` false) or cannot be opened again.
static std::unique_ptr<QFile> ownCopy(const QVector<Retired>& files, const QString& path,
                                      const RecordCursor& cursor, bool* found)
{
    *found = false;
    if (!cursor.knowsItsFile())
        return nullptr;
    QMutexLocker lock(&retiredGuard);
    for (const Retired& r : files) {
        if (r.path != path || r.device != cursor.device || r.inode != cursor.inode)
            continue;
        *found = true;
        const int fd = reopenDescriptor(r.fd);
        auto file = std::make_unique<QFile>();
        if (fd >= 0 && file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return file;
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    return nullptr;
}

std::unique_ptr<Place> open(const QString& path, const RecordCursor& cursor, QString* error)
{
    auto place = std::make_unique<Place>();
    place->cursor = cursor;
    // A retired file of this process's station, if the cursor is in one.
    bool found = false;
    place->file = ownCopy(retiredFiles(), path, cursor, &found);
    if (found) {
        if (!place->file) {
            *error = QStringLiteral("the record %1 as it was before it was moved cannot be read")
                         .arg(path);
            return nullptr;
        }
        place->retired = true;
        place->file->seek(cursor.offset);
        return place;
    }
    // The file the station still writes, wherever it now is.
    place->file = ownCopy(liveFiles(), path, cursor, &found);
    if (!place->file) {
        place->file = std::make_unique<QFile>(path);
        if (!place->file->open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("the record %1 cannot be read: %2")
                         .arg(path, place->file->errorString());
            return nullptr;
        }
    }
    quint64 device = 0, inode = 0;
    qint64 size = 0;
    identity(place->file->handle(), &device, &inode, &size);
    RecordCursor& c = place->cursor;
    const bool same = !cursor.knowsItsFile() || (cursor.device == device && cursor.inode == inode);
    if (!same) {
        place->notice = QStringLiteral("the record %1 is another file than its readers were in "
                                       "(moved or replaced behind the station's back): it is "
                                       "read from its first line")
                            .arg(path);
        c = RecordCursor();
    } else if (cursor.offset > size) {
        place->notice = QStringLiteral("the record %1 was cut shorter behind the station's back: "
                                       "it is read again from its first line")
                            .arg(path);
        c = RecordCursor();
    } else if (!cursor.lastId.isEmpty() && idOf(lineBefore(*place->file, cursor.offset)) != cursor.lastId) {
        place->notice = QStringLiteral("the record %1 was changed behind the station's back (the "
                                       "line before its readers is another): it is read again "
                                       "from its first line")
                            .arg(path);
        c = RecordCursor();
    }
    c.device = device;
    c.inode = inode;
    place->file->seek(c.offset);
    return place;
}

qint64 waiting(const QString& path, const RecordCursor& cursor)
{
    qint64 lines = 0;
    RecordCursor at = cursor;
    for (int files = 0; files < MostRetired + 1; ++files) {
        QString ignored;
        const std::unique_ptr<Place> place = open(path, at, &ignored);
        if (!place)
            return lines;
        while (!place->file->atEnd())
            lines += place->file->read(1 << 20).count('\n');
        if (!place->retired)
            return lines;
        at = next(path, place->cursor);
    }
    return lines;
}

} // namespace RecordSource
