#include "atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

namespace AtomicFile {

bool syncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool write(const QString& path, const QByteArray& contents, bool durable, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray temporary = name + ".tmp";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, systemError());
        return false;
    }
    const ssize_t n = ::write(fd, contents.constData(), size_t(contents.size()));
    bool ok = n == contents.size();
    QString why = ok ? QString() : n < 0 ? systemError() : QStringLiteral("the disk is full");
    if (ok && durable && ::fsync(fd) != 0) {
        ok = false;
        why = systemError();
    }
    ::close(fd);
    if (ok && std::rename(temporary.constData(), name.constData()) != 0) {
        ok = false;
        why = systemError();
    }
    if (ok && durable && !syncFolderOf(path)) {
        ok = false;
        why = systemError();
    }
    if (!ok) {
        ::unlink(temporary.constData());
        *error = QStringLiteral("%1 could not be written: %2").arg(path, why);
    }
    return ok;
}

} // namespace AtomicFile
