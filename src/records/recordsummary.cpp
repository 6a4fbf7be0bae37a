#include "recordsummary.h"

#include "../serial/portresolver.h"
#include "recordwords.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// The fields a summary needs, from one record line.
struct Fields {
    int schema = 0;
    QByteArray station, slot, sha256, result, ended, job, order;
    int orderUnits = 0;
    bool hasSerial = false;
    quint64 serial = 0;
    double seconds = 0;
    bool rework = false;
};

// A quick read of the top level of a record as this program writes it;
// false for anything else (escapes, odd spacing), which the full JSON
// reader then takes.
bool scan(const QByteArray& line, Fields* f)
{
    const char* p = line.constData();
    const char* end = p + line.size();
    // A work order's permit: read in full below.
    if (p == end || *p != '{' || line.contains("\"permit\""))
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
                else if (key == "ended")
                    f->ended = value;
                p = valueEnd + 1;
            } else if (key == "schema") {
                f->schema = std::atoi(p);
            } else if (key == "seconds") {
                f->seconds = std::strtod(p, nullptr);
            } else if (key == "rework") {
                f->rework = p < end && *p == 't';
            } else if (key == "job" && p < end && *p == '{') {
                // {"file":"...",...}: the file alone, the rest as any nested value.
                static const QByteArray file = "\"file\":\"";
                const qsizetype at = line.indexOf(file, p - line.constData());
                const qsizetype close = line.indexOf('}', p - line.constData());
                if (at < 0 || close < at)
                    return false;
                const qsizetype from = at + file.size();
                const qsizetype to = line.indexOf('"', from);
                if (to < 0 || to > close || line.mid(from, to - from).contains('\\'))
                    return false;
                f->job = line.mid(from, to - from);
            } else if (key == "serial" && p < end && *p == '{') {
                // {"number":1000,...}: the number alone, the rest as any nested value.
                static const QByteArray number = "\"number\":";
                const qsizetype at = line.indexOf(number, p - line.constData());
                const qsizetype close = line.indexOf('}', p - line.constData());
                if (at < 0 || close < at)
                    return false;
                f->hasSerial = true;
                f->serial = std::strtoull(line.constData() + at + number.size(), nullptr, 10);
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
    f->ended = o.value(QLatin1String("ended")).toString().toUtf8();
    f->job = o.value(QLatin1String("job"))[QLatin1String("file")].toString().toUtf8();
    f->rework = o.value(QLatin1String("rework")).toBool();
    f->order = o.value(QLatin1String("permit"))[QLatin1String("order")].toString().toUtf8();
    f->orderUnits = o.value(QLatin1String("permit"))[QLatin1String("units")].toInt();
    f->seconds = o.value(QLatin1String("seconds")).toDouble();
    const QJsonValue serial = o.value(QLatin1String("serial"))[QLatin1String("number")];
    f->hasSerial = serial.isDouble();
    f->serial = quint64(serial.toInteger());
    return true;
}

} // namespace

std::optional<double> RecordSummary::Counts::yieldPercent() const
{
    if (pass + fail == 0)
        return std::nullopt;
    return 100.0 * pass / (pass + fail);
}

std::optional<double> RecordSummary::Counts::firstPassYieldPercent() const
{
    const int first = pass - reworkPass + fail - reworkFail;
    if (first == 0)
        return std::nullopt;
    return 100.0 * (pass - reworkPass) / first;
}

void RecordSummary::add(const Entry& e)
{
    const QString id = e.station + QLatin1Char('\n') + e.slot + QLatin1Char('\n') + e.sha256 +
                       QLatin1Char('\n') + e.job;
    auto it = m_rowOf.find(id);
    if (it == m_rowOf.end()) {
        it = m_rowOf.insert(id, int(rows.size()));
        rows.append({Key{e.station, e.slot, e.sha256, e.job}, Counts()});
    }
    if (!e.order.isEmpty()) {
        auto o = std::find_if(orders.begin(), orders.end(),
                              [&](const auto& p) { return p.first == e.order; });
        if (o == orders.end()) {
            orders.append({e.order, Order()});
            o = orders.end() - 1;
        }
        o->second.units = qMax(o->second.units, e.orderUnits);
        ++o->second.made;
        o->second.failed += e.result == UnitResult::Fail ? 1 : 0;
    }
    Counts& c = rows[*it].second;
    for (Counts* counts : {&c, &total}) {
        switch (e.result) {
        case UnitResult::Pass:
            ++counts->pass;
            counts->reworkPass += e.rework ? 1 : 0;
            break;
        case UnitResult::Fail:
            ++counts->fail;
            counts->reworkFail += e.rework ? 1 : 0;
            break;
        case UnitResult::Interrupted:
            ++counts->interrupted;
            break;
        }
    }
    if (e.ended.isValid()) {
        const QDateTime started = e.ended.addMSecs(-qint64(e.seconds * 1000));
        if (!first.isValid() || started < first)
            first = started;
        if (!last.isValid() || e.ended > last)
            last = e.ended;
    }
    if (e.result != UnitResult::Interrupted)
        unitSeconds += e.seconds;
    if (e.serial) {
        auto s = m_serialOf.find(e.sha256);
        if (s == m_serialOf.end()) {
            s = m_serialOf.insert(e.sha256, int(serials.size()));
            serials.append({e.sha256, Serials{*e.serial, *e.serial, {}}});
        }
        Serials& n = serials[*s].second;
        n.lowest = qMin(n.lowest, *e.serial);
        n.highest = qMax(n.highest, *e.serial);
        int& passes = n.passes[*e.serial];
        if (e.result == UnitResult::Pass)
            ++passes;
    }
}

void RecordSummary::sortRows()
{
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        if (a.first.job != b.first.job)
            return PortResolver::naturalLess(a.first.job, b.first.job);
        if (a.first.station != b.first.station)
            return PortResolver::naturalLess(a.first.station, b.first.station);
        return PortResolver::naturalLess(a.first.slot, b.first.slot);
    });
    m_rowOf.clear();
    for (int i = 0; i < rows.size(); ++i)
        m_rowOf.insert(rows[i].first.station + QLatin1Char('\n') + rows[i].first.slot +
                           QLatin1Char('\n') + rows[i].first.sha256 + QLatin1Char('\n') +
                           rows[i].first.job,
                       i);
}

bool RecordSummary::read(const QString& path, RecordSummary* summary, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 could not be opened: %2.").arg(path, file.errorString());
        return false;
    }
    *summary = RecordSummary();
    const auto take = [&](const QByteArray& line) {
        Fields f;
        const std::optional<UnitResult> result =
            parse(line, &f) && f.schema >= 1 ? RecordWords::resultOf(QString::fromLatin1(f.result))
                                             : std::nullopt;
        if (!result) {
            ++summary->unreadable;
            return;
        }
        summary->add(
            {QString::fromUtf8(f.station), QString::fromUtf8(f.slot), QString::fromUtf8(f.sha256),
             *result, f.hasSerial ? std::optional<quint64>(f.serial) : std::nullopt,
             QDateTime::fromString(QString::fromLatin1(f.ended), Qt::ISODateWithMs), f.seconds,
             QString::fromUtf8(f.job), f.rework, QString::fromUtf8(f.order), f.orderUnits});
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
    summary->sortRows();
    return true;
}

namespace {

QString yieldText(const RecordSummary::Counts& c)
{
    const std::optional<double> y = c.yieldPercent();
    return y ? QStringLiteral("%1 %").arg(*y, 0, 'f', 1) : QStringLiteral("-");
}

QString duration(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString RecordSummary::toText() const
{
    QStringList lines;
    const QString row = QStringLiteral("%1 %2 %3 %4 %5 %6 %7");
    lines << row.arg(QStringLiteral("station").leftJustified(16))
                 .arg(QStringLiteral("slot").leftJustified(28))
                 .arg(QStringLiteral("file").leftJustified(12))
                 .arg(QStringLiteral("pass"), 6)
                 .arg(QStringLiteral("fail"), 6)
                 .arg(QStringLiteral("interrupted"), 11)
                 .arg(QStringLiteral("yield"), 7);
    // Grouped by released job, each under a heading, once any unit had one.
    const bool jobs = std::any_of(rows.begin(), rows.end(),
                                  [](const auto& r) { return !r.first.job.isEmpty(); });
    std::optional<QString> job;
    for (const auto& [key, c] : rows) {
        if (jobs && key.job != job) {
            job = key.job;
            lines << (job->isEmpty() ? QStringLiteral("no released job:")
                                     : QStringLiteral("job %1:").arg(*job));
        }
        lines << row.arg(key.station.leftJustified(16))
                     .arg(key.slot.leftJustified(28))
                     .arg(key.sha256.left(12).leftJustified(12))
                     .arg(c.pass, 6)
                     .arg(c.fail, 6)
                     .arg(c.interrupted, 11)
                     .arg(yieldText(c), 7);
    }
    lines << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(QStringLiteral("all").leftJustified(58))
                 .arg(total.pass, 6)
                 .arg(total.fail, 6)
                 .arg(total.interrupted, 11)
                 .arg(yieldText(total), 7);
    if (total.reworkPass + total.reworkFail > 0) {
        const std::optional<double> firstPass = total.firstPassYieldPercent();
        lines << QStringLiteral("reworks: %1 (%2 passed); first-pass yield %3")
                     .arg(total.reworkPass + total.reworkFail)
                     .arg(total.reworkPass)
                     .arg(firstPass ? QStringLiteral("%1 %").arg(*firstPass, 0, 'f', 1)
                                    : QStringLiteral("-"));
    }
    for (const auto& [name, o] : orders)
        lines << QStringLiteral("order %1: %2 made (%3 failed) of %4, %5 permits left")
                     .arg(name)
                     .arg(o.made)
                     .arg(o.failed)
                     .arg(o.units)
                     .arg(qMax(0, o.units - o.made));
    const int units = total.pass + total.fail;
    if (first.isValid() && last.isValid()) {
        const qint64 span = qMax<qint64>(0, first.secsTo(last));
        QString times =
            QStringLiteral("from %1 to %2 (%3)")
                .arg(first.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     last.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     duration(span));
        if (units > 0 && span > 0)
            times += QStringLiteral(": %1 units per hour").arg(units * 3600.0 / span, 0, 'f', 1);
        if (units > 0)
            times += QStringLiteral(", %1 s per unit").arg(unitSeconds / units, 0, 'f', 1);
        lines << times;
    }
    for (const auto& [sha256, n] : serials) {
        lines << QStringLiteral("serial numbers of %1: %2 to %3, %4 used")
                     .arg(sha256.left(12))
                     .arg(n.lowest)
                     .arg(n.highest)
                     .arg(n.passes.size());
        QVector<quint64> twice;
        for (auto it = n.passes.begin(); it != n.passes.end(); ++it) {
            if (it.value() > 1)
                twice.append(it.key());
        }
        std::sort(twice.begin(), twice.end());
        if (twice.isEmpty())
            continue;
        QStringList named;
        for (quint64 number : twice.mid(0, 20))
            named << QStringLiteral("%1 (%2 passes)").arg(number).arg(n.passes.value(number));
        if (twice.size() > 20)
            named << QStringLiteral("and %1 more").arg(twice.size() - 20);
        lines << QStringLiteral("  named by more than one pass: %1")
                     .arg(named.join(QStringLiteral(", ")));
    }
    if (unreadable > 0)
        lines
            << (unreadable == 1
                    ? QStringLiteral("1 line is no record and was left out.")
                    : QStringLiteral("%1 lines are no record and were left out.").arg(unreadable));
    return lines.join(QLatin1Char('\n'));
}
