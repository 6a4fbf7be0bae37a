#include "rootfile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RootFile {

namespace {

constexpr qint64 Largest = 4 * 1024 * 1024; // a policy or signers file, not a disk image

QString mend(const QString& what, const QString& path, const QString& culprit, const QString& why)
{
    return QStringLiteral("%1 %2 may be written by others than root (%3): make it root's alone "
                          "(sudo chown root: %4; sudo chmod go-w %4)")
        .arg(what, path, why, culprit);
}

// The owner and mode that make `st` root's alone; empty when they do.
QString looseness(const struct stat& st)
{
    if (st.st_uid != 0)
        return QStringLiteral("its owner is uid %1").arg(st.st_uid);
    if (st.st_mode & S_IWGRP)
        return QStringLiteral("its group may write it");
    if (st.st_mode & S_IWOTH)
        return QStringLiteral("anyone may write it");
    return QString();
}

} // namespace

Read read(const QString& path, const QString& what)
{
    Read r;
    const QByteArray given = QFile::encodeName(path);
    struct stat st {
    };
    if (::stat(given.constData(), &st) != 0)
        return r; // none: the caller decides what no file means
    r.exists = true;
    // Every folder above the file as it really lies, links resolved.
    char* real = ::realpath(given.constData(), nullptr);
    if (!real) {
        r.problem = QStringLiteral("%1 %2 cannot be found: %3")
                        .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
        return r;
    }
    const QByteArray canonical(real);
    ::free(real);
    QByteArray folder = canonical;
    while (true) {
        const int slash = int(folder.lastIndexOf('/'));
        folder = slash <= 0 ? QByteArray("/") : folder.left(slash);
        struct stat f {
        };
        if (::stat(folder.constData(), &f) != 0 || !S_ISDIR(f.st_mode)) {
            r.problem = QStringLiteral("%1 %2 cannot be checked: its folder %3 cannot be read")
                            .arg(what, path, QFile::decodeName(folder));
            return r;
        }
        const QString loose = looseness(f);
        if (!loose.isEmpty()) {
            const QString name = QFile::decodeName(folder);
            const QString why = QStringLiteral("its folder %1: %2").arg(name, loose);
            // A shared folder such as /tmp is no place for it, not one to close.
            r.problem = (f.st_mode & S_ISVTX)
                            ? QStringLiteral("%1 %2 may be written by others than root (%3): move "
                                             "it into a folder only root may write, such as "
                                             "/etc/firmware-station")
                                  .arg(what, path, why)
                            : mend(what, path, name, why);
            return r;
        }
        if (folder == "/")
            break;
    }
    const int fd = ::open(canonical.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        r.problem = QStringLiteral("%1 %2 cannot be read: %3")
                        .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
        return r;
    }
    struct stat opened {
    };
    QString loose;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        loose = QStringLiteral("it is not a plain file");
    else if (opened.st_size > Largest)
        loose = QStringLiteral("it is larger than such a file can be");
    else
        loose = looseness(opened);
    if (!loose.isEmpty()) {
        ::close(fd);
        r.problem = mend(what, path, QFile::decodeName(canonical), loose);
        return r;
    }
    QByteArray bytes;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.problem = QStringLiteral("%1 %2 cannot be read: %3")
                            .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return r;
        }
        if (n == 0)
            break;
        bytes.append(buffer, int(n));
        if (bytes.size() > Largest)
            break;
    }
    ::close(fd);
    r.bytes = bytes;
    return r;
}

} // namespace RootFile
