#include "unitrecord.h"

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

bool syncFolderOf(const QByteArray& path)
{
    const int slash = int(path.lastIndexOf('/'));
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : path.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The fields a summary needs, from one record line.
struct Fields {
    int schema = 0;
    QByteArray station, slot, sha256, result;
};

// A quick read of the top level of a record as this program writes it;
// false for anything else (escapes, odd spacing), which the full JSON
// reader then takes.
bool scan(const QByteArray& line, Fields* f)
{
    const char* p = line.constData();
    const char* end = p + line.size();
    if (p == end || *p != '{')
        return false;
    ++p;
    int depth = 1;
    while (p < end && depth > 0) {
        if (depth == 1 && *p == '"') {
            const char* keyEnd = static_cast<const char*>(memchr(p + 1, '"', size_t(end - p - 1)));
            if (!keyEnd || keyEnd + 1 >= end || keyEnd[1] != ':')
                return false;
            const QByteArray key = QByteArray::fromRawData(p + 1, keyEnd - p - 1);
            p = keyEnd + 2;
            if (p < end && *p == '"') {
                const char* valueEnd = p + 1;
                while (valueEnd < end && *valueEnd != '"') {
                    if (*valueEnd == '\\')
                        return false;
                    ++valueEnd;
                }
                if (valueEnd >= end)
                    return false;
                const QByteArray value(p + 1, valueEnd - p - 1);
                if (key == "station")
                    f->station = value;
                else if (key == "slot")
                    f->slot = value;
                else if (key == "sha256")
                    f->sha256 = value;
                else if (key == "result")
                    f->result = value;
                p = valueEnd + 1;
            } else if (key == "schema") {
                f->schema = std::atoi(p);
            }
            continue;
        }
        if (*p == '"') { // a string inside a nested value
            ++p;
            while (p < end && *p != '"') {
                if (*p == '\\')
                    return false;
                ++p;
            }
        } else if (*p == '{' || *p == '[') {
            ++depth;
        } else if (*p == '}' || *p == ']') {
            --depth;
        }
        ++p;
    }
    return depth == 0 && p == end;
}

bool parse(const QByteArray& line, Fields* f)
{
    if (scan(line, f))
        return true;
    QJsonParseError parsed{};
    const QJsonObject o = QJsonDocument::fromJson(line, &parsed).object();
    if (parsed.error != QJsonParseError::NoError)
        return false;
    f->schema = o.value(QLatin1String("schema")).toInt();
    f->station = o.value(QLatin1String("station")).toString().toUtf8();
    f->slot = o.value(QLatin1String("slot")).toString().toUtf8();
    f->sha256 = o.value(QLatin1String("sha256")).toString().toUtf8();
    f->result = o.value(QLatin1String("result")).toString().toUtf8();
    return true;
}

} // namespace

QByteArray UnitRecord::toJsonLine() const
{
    QJsonObject device_{{"path", device},
                        {"by_id", QJsonArray::fromStringList(byId)},
                        {"by_path", QJsonArray::fromStringList(byPath)}};
    QJsonObject o{{"schema", Schema},
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
                  {"result", result},
                  {"reason", reason},
                  {"warning", warning},
                  {"lines_sent", linesSent},
                  {"resends", resends},
                  {"resend_percent", qRound(resendPercent() * 100) / 100.0},
                  {"worst_line", QJsonObject{{"line", worstLine}, {"resends", worstLineResends}}},
                  {"loader_version", loaderVersion}};
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
    if (created && !syncFolderOf(name)) {
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

bool RecordSummary::read(const QString& path, RecordSummary* summary, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 could not be opened: %2.").arg(path, file.errorString());
        return false;
    }
    *summary = RecordSummary();
    QHash<QByteArray, int> rowOf; // by station, slot and digest
    const auto take = [&](const QByteArray& line) {
        Fields f;
        if (!parse(line, &f) || f.schema < 1 ||
            (f.result != "pass" && f.result != "fail" && f.result != "interrupted")) {
            ++summary->unreadable;
            return;
        }
        const QByteArray id = f.station + '\n' + f.slot + '\n' + f.sha256;
        auto it = rowOf.find(id);
        if (it == rowOf.end()) {
            it = rowOf.insert(id, int(summary->rows.size()));
            summary->rows.append({Key{QString::fromUtf8(f.station), QString::fromUtf8(f.slot),
                                      QString::fromUtf8(f.sha256)},
                                  Counts()});
        }
        Counts& c = summary->rows[*it].second;
        for (Counts* counts : {&c, &summary->total}) {
            if (f.result == "pass")
                ++counts->pass;
            else if (f.result == "fail")
                ++counts->fail;
            else
                ++counts->interrupted;
        }
    };
    // A block at a time, cut into lines without copying each one.
    QByteArray block;
    qsizetype start = 0;
    for (;;) {
        const QByteArray more = file.read(1 << 20);
        block = block.mid(start) + more;
        start = 0;
        qsizetype end;
        while ((end = block.indexOf('\n', start)) >= 0 ||
               (more.isEmpty() && start < block.size())) {
            if (end < 0)
                end = block.size();
            const QByteArray line =
                QByteArray::fromRawData(block.constData() + start, end - start).trimmed();
            if (!line.isEmpty())
                take(line);
            start = end + 1;
        }
        if (more.isEmpty())
            break;
    }
    return true;
}

QString RecordSummary::toText() const
{
    QStringList lines;
    lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                 .arg(QStringLiteral("station").leftJustified(16))
                 .arg(QStringLiteral("slot").leftJustified(28))
                 .arg(QStringLiteral("file").leftJustified(12))
                 .arg(QStringLiteral("pass"), 6)
                 .arg(QStringLiteral("fail"), 6)
                 .arg(QStringLiteral("interrupted"), 11);
    for (const auto& [key, c] : rows) {
        lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(key.station.leftJustified(16))
                     .arg(key.slot.leftJustified(28))
                     .arg(key.sha256.left(12).leftJustified(12))
                     .arg(c.pass, 6)
                     .arg(c.fail, 6)
                     .arg(c.interrupted, 11);
    }
    lines << QStringLiteral("%1 %2 %3 %4")
                 .arg(QStringLiteral("all").leftJustified(58))
                 .arg(total.pass, 6)
                 .arg(total.fail, 6)
                 .arg(total.interrupted, 11);
    if (unreadable > 0)
        lines
            << (unreadable == 1
                    ? QStringLiteral("1 line is no record and was left out.")
                    : QStringLiteral("%1 lines are no record and were left out.").arg(unreadable));
    return lines.join(QLatin1Char('\n'));
}
