#include "unitrecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                  0644);
    if (m_fd < 0) {
        *error = QStringLiteral("the record %1 cannot be written: %2").arg(path, systemError());
        return false;
    }
    return true;
}

bool RecordFile::append(const UnitRecord& record, QString* error)
{
    if (m_fd < 0) {
        *error = QStringLiteral("the record %1 is not open").arg(m_path);
        return false;
    }
    // One write: appended whole, never interleaved with another station's.
    const QByteArray line = record.toJsonLine();
    const ssize_t n = ::write(m_fd, line.constData(), size_t(line.size()));
    if (n != line.size()) {
        *error = QStringLiteral("the record %1 could not be written: %2")
                     .arg(m_path, n < 0 ? systemError() : QStringLiteral("the disk is full"));
        return false;
    }
    if (::fsync(m_fd) != 0) {
        *error = QStringLiteral("the record %1 could not be saved to the disk: %2")
                     .arg(m_path, systemError());
        return false;
    }
    return true;
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
    QHash<QString, int> rowOf; // by station, slot and digest
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        QJsonParseError parsed{};
        const QJsonObject o = QJsonDocument::fromJson(line, &parsed).object();
        const QString result = o.value(QLatin1String("result")).toString();
        if (parsed.error != QJsonParseError::NoError || o.value(QLatin1String("schema")).toInt() < 1 ||
            (result != QLatin1String("pass") && result != QLatin1String("fail") &&
             result != QLatin1String("interrupted"))) {
            ++summary->unreadable;
            continue;
        }
        const Key key{o.value(QLatin1String("station")).toString(),
                      o.value(QLatin1String("slot")).toString(),
                      o.value(QLatin1String("sha256")).toString()};
        const QString id = key.station + QLatin1Char('\n') + key.slot + QLatin1Char('\n') + key.sha256;
        auto it = rowOf.find(id);
        if (it == rowOf.end()) {
            it = rowOf.insert(id, int(summary->rows.size()));
            summary->rows.append({key, Counts()});
        }
        Counts& c = summary->rows[*it].second;
        for (Counts* counts : {&c, &summary->total}) {
            if (result == QLatin1String("pass"))
                ++counts->pass;
            else if (result == QLatin1String("fail"))
                ++counts->fail;
            else
                ++counts->interrupted;
        }
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
        lines << QStringLiteral("%1 lines are no record and were left out.").arg(unreadable);
    return lines.join(QLatin1Char('\n'));
}
