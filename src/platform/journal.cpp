#include "journal.h"

#include <QByteArrayList>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace Journal {

bool isStandardError()
{
    static const bool journal = [] {
        // "device:inode" of the stream systemd connected; standard error
        // may since have been sent elsewhere.
        const QByteArray stream = qgetenv("JOURNAL_STREAM");
        const QByteArrayList parts = stream.split(':');
        struct stat st {
        };
        if (parts.size() != 2 || ::fstat(STDERR_FILENO, &st) != 0)
            return false;
        return parts[0].toULongLong() == quint64(st.st_dev) &&
               parts[1].toULongLong() == quint64(st.st_ino);
    }();
    return journal;
}

QByteArray prefix(Level level)
{
    return isStandardError() ? '<' + QByteArray::number(int(level)) + '>' : QByteArray();
}

} // namespace Journal
