#include "recordfile.h"

#include "../platform/atomicfile.h"
#include "recordcursor.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

RecordFile::~RecordFile()
{
    close();
}

bool RecordFile::open(const QString& path, QString* error)
{
    close();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC;
    m_fd = ::open(name.constData(), flags | O_EXCL, 0644);
    const bool created = m_fd >= 0;
    if (!created && errno == EEXIST)
        m_fd = ::open(name.constData(), flags, 0644);
    if (m_fd < 0) {
        *error = QStringLiteral("the %1 %2 cannot be written: %3").arg(m_noun, path, systemError());
        return false;
    }
    // A new file's name is in its folder; a power cut must not lose it.
    if (created && !AtomicFile::syncFolderOf(path)) {
        *error = QStringLiteral("the %1 %2 could not be saved to the disk: %3")
                     .arg(m_noun, path, systemError());
        close();
        return false;
    }
    struct stat st {
    };
    m_size = ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : 0;
    RecordSource::writing(path, m_fd);
    return true;
}

bool RecordFile::reopen(QString* notice, QString* error)
{
    if (m_fd < 0)
        return true;
    // Its readers finish it from the descriptor; new lines go to the path.
    RecordSource::retire(m_path, m_fd);
    m_fd = -1;
    const QString path = m_path;
    if (!open(path, error))
        return false;
    *notice = QStringLiteral("the %1 %2 was opened anew; what was written before it goes on to "
                             "the database and the broker from the file it was")
                  .arg(m_noun, path);
    return true;
}

QString RecordFile::followPath()
{
    struct stat mine {
    }, there {
    };
    if (::fstat(m_fd, &mine) != 0)
        return QString();
    const bool gone = ::stat(QFile::encodeName(m_path).constData(), &there) != 0;
    if (gone || there.st_dev != mine.st_dev || there.st_ino != mine.st_ino) {
        QString notice, error;
        if (!reopen(&notice, &error))
            return error;
        return QStringLiteral("the %1 %2 was %3 behind the station's back: the station goes on in "
                              "a file at its path, and its readers finish the one it was")
            .arg(m_noun, m_path, gone ? QStringLiteral("moved away") : QStringLiteral("replaced"));
    }
    if (qint64(mine.st_size) < m_size) {
        m_size = qint64(mine.st_size);
        return QStringLiteral("the %1 %2 was cut shorter behind the station's back").arg(m_noun, m_path);
    }
    return QString();
}

bool RecordFile::appendLine(const QByteArray& line, QString* error, QString* notice)
{
    if (m_fd < 0) {
        *error = QStringLiteral("the %1 %2 is not open").arg(m_noun, m_path);
        return false;
    }
    if (m_followsPath) {
        const QString noticed = followPath();
        if (notice)
            *notice = noticed;
        if (m_fd < 0) {
            *error = noticed;
            return false;
        }
    }
    struct stat before {
    };
    if (::fstat(m_fd, &before) != 0) {
        *error =
            QStringLiteral("the %1 %2 could not be written: %3").arg(m_noun, m_path, systemError());
        return false;
    }
    // One write: appended whole, never interleaved with another station's.
    const ssize_t n = ::write(m_fd, line.constData(), size_t(line.size()));
    QString why;
    if (n != line.size())
        why = n < 0 ? systemError() : QStringLiteral("the disk is full");
    else if (::fsync(m_fd) != 0)
        why = systemError();
    if (why.isEmpty()) {
        m_size = qint64(before.st_size) + n;
        return true;
    }
    // Whole lines only: what part of the line went out is taken back.
    if (::ftruncate(m_fd, before.st_size) == 0)
        (void)::fsync(m_fd);
    *error = QStringLiteral("the %1 %2 could not be written: %3").arg(m_noun, m_path, why);
    return false;
}

void RecordFile::close()
{
    if (m_fd >= 0) {
        RecordSource::closing(m_fd);
        ::close(m_fd);
    }
    m_fd = -1;
}

void RecordFile::lock()
{
    if (m_fd >= 0)
        (void)::flock(m_fd, LOCK_EX);
}

void RecordFile::unlock()
{
    if (m_fd >= 0)
        (void)::flock(m_fd, LOCK_UN);
}

QByteArray RecordFile::lastLine() const
{
    struct stat st {
    };
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_size == 0)
        return QByteArray();
    // Back from the end a block at a time, to the LF before the last line.
    QByteArray tail;
    off_t at = st.st_size;
    while (at > 0) {
        const off_t from = at > 4096 ? at - 4096 : 0;
        QByteArray block(int(at - from), '\0');
        if (::pread(m_fd, block.data(), size_t(block.size()), from) != block.size())
            return QByteArray();
        tail.prepend(block);
        at = from;
        const qsizetype end = tail.endsWith('\n') ? tail.size() - 1 : tail.size();
        const qsizetype start = tail.lastIndexOf('\n', end - 1);
        if (start >= 0 || at == 0)
            return tail.mid(start + 1, end - start - 1);
    }
    return QByteArray();
}
