#include "unitrecord.h"

#include "../platform/atomicfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString isoTime(const QDateTime& t)
{
    // With the local offset, so that a record read anywhere names the moment.
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QByteArray UnitRecord::toJsonLine() const
{
    QJsonObject device_{{"path", device},
                        {"by_id", QJsonArray::fromStringList(byId)},
                        {"by_path", QJsonArray::fromStringList(byPath)}};
    QJsonObject o{{"schema", Schema},
                  {"id", id.toString(QUuid::WithoutBraces)},
                  {"station", station},
                  {"slot", slot},
                  {"device", device_},
                  {"file", file},
                  {"sha256", sha256},
                  {"bytes", bytes},
                  {"lines", lines},
                  {"started", isoTime(started)},
                  {"ended", isoTime(ended)},
                  {"seconds", qRound(seconds * 1000) / 1000.0},
                  {"result", RecordWords::result(result)},
                  {"reason", reason},
                  {"warning", warning},
                  {"lines_sent", linesSent},
                  {"resends", resends},
                  {"resend_percent", qRound(resendPercent() * 100) / 100.0},
                  {"worst_line", QJsonObject{{"line", worstLine}, {"resends", worstLineResends}}},
                  {"loader_version", loaderVersion}};
    if (own.hasSerial) {
        o.insert(
            "serial",
            QJsonObject{{"number", qint64(own.serial)},
                        {"address", ImagePatch::hexAddress(own.serialPatch.address)},
                        {"bytes", QString::fromLatin1(own.serialPatch.bytes.toHex().toUpper())}});
    }
    if (own.unitDataLine > 0) {
        QJsonArray patches;
        for (const ImagePatch& p : own.unitData)
            patches.append(p.text());
        o.insert("unit_data", QJsonObject{{"line", own.unitDataLine}, {"patches", patches}});
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

RecordFile::~RecordFile()
{
    close();
}

bool RecordFile::open(const QString& path, QString* error)
{
    close();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
    m_fd = ::open(name.constData(), flags | O_EXCL, 0644);
    const bool created = m_fd >= 0;
    if (!created && errno == EEXIST)
        m_fd = ::open(name.constData(), flags, 0644);
    if (m_fd < 0) {
        *error = QStringLiteral("the record %1 cannot be written: %2").arg(path, systemError());
        return false;
    }
    // A new file's name is in its folder; a power cut must not lose it.
    if (created && !AtomicFile::syncFolderOf(path)) {
        *error = QStringLiteral("the record %1 could not be saved to the disk: %2")
                     .arg(path, systemError());
        close();
        return false;
    }
    return true;
}

bool RecordFile::append(const UnitRecord& record, QString* error)
{
    return appendLine(record.toJsonLine(), error);
}

bool RecordFile::appendLine(const QByteArray& line, QString* error)
{
    if (m_fd < 0) {
        *error = QStringLiteral("the record %1 is not open").arg(m_path);
        return false;
    }
    struct stat before {
    };
    if (::fstat(m_fd, &before) != 0) {
        *error =
            QStringLiteral("the record %1 could not be written: %2").arg(m_path, systemError());
        return false;
    }
    // One write: appended whole, never interleaved with another station's.
    const ssize_t n = ::write(m_fd, line.constData(), size_t(line.size()));
    QString why;
    if (n != line.size())
        why = n < 0 ? systemError() : QStringLiteral("the disk is full");
    else if (::fsync(m_fd) != 0)
        why = systemError();
    if (why.isEmpty())
        return true;
    // Whole lines only: what part of the line went out is taken back.
    if (::ftruncate(m_fd, before.st_size) == 0)
        (void)::fsync(m_fd);
    *error = QStringLiteral("the record %1 could not be written: %2").arg(m_path, why);
    return false;
}

void RecordFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
