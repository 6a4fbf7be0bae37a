#include "firmwaresummary.h"

#include <QFileInfo>

FirmwareSummary FirmwareSummary::of(const FirmwareFile& f, const BenchConfig& b,
                                    std::optional<quint64> nextSerial)
{
    FirmwareSummary s;
    s.path = f.path;
    s.sha256 = f.sha256;
    s.lines = f.facts.lines;
    s.passed = f.check.passed();
    s.format = f.check.formatName();
    if (f.check.records())
        s.ranges = FirmwareCheck::describeRanges(f.check.ranges);
    if (!s.passed)
        s.problem = f.check.firstProblemText();
    s.pinned = b.sha256;
    if (b.serial && nextSerial) {
        s.serial = b.serial->text();
        s.nextSerial = nextSerial;
    }
    return s;
}

QString FirmwareSummary::title() const
{
    return QStringLiteral("%1   %2 lines   SHA-256 %3")
        .arg(QFileInfo(path).fileName())
        .arg(lines)
        .arg(sha256.left(12));
}

QString FirmwareSummary::check() const
{
    QString c = !passed ? QStringLiteral("Fails its check: %1").arg(problem)
                : ranges.isEmpty() ? QStringLiteral("%1, passes its check").arg(format)
                                   : QStringLiteral("%1, passes its check; data %2").arg(format, ranges);
    if (!pinned.isEmpty())
        c += pinned == sha256 ? QStringLiteral(".  Pinned SHA-256 matches.")
                              : QStringLiteral(".  Pinned SHA-256 %1... does NOT match: the station "
                                               "will not start.")
                                    .arg(pinned.left(12));
    if (nextSerial)
        c += QStringLiteral(".  Serial numbers at %1, the next %2").arg(serial).arg(*nextSerial);
    return c;
}

QJsonObject FirmwareSummary::toJson() const
{
    QJsonObject o{{"path", path},       {"sha256", sha256}, {"lines", lines},
                  {"passed", passed},   {"format", format}, {"ranges", ranges},
                  {"problem", problem}, {"pinned", pinned}, {"serial", serial}};
    if (nextSerial)
        o.insert("next_serial", qint64(*nextSerial));
    return o;
}

FirmwareSummary FirmwareSummary::fromJson(const QJsonObject& o)
{
    FirmwareSummary s;
    s.path = o.value("path").toString();
    s.sha256 = o.value("sha256").toString();
    s.lines = o.value("lines").toInt();
    s.passed = o.value("passed").toBool();
    s.format = o.value("format").toString();
    s.ranges = o.value("ranges").toString();
    s.problem = o.value("problem").toString();
    s.pinned = o.value("pinned").toString();
    s.serial = o.value("serial").toString();
    if (o.contains("next_serial"))
        s.nextSerial = quint64(o.value("next_serial").toInteger());
    return s;
}
