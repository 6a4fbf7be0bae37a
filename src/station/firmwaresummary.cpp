#include "firmwaresummary.h"

#include <QFileInfo>

FirmwareSummary FirmwareSummary::of(const FirmwareFile& f, const BenchConfig& b,
                                    std::optional<quint64> nextSerial)
{
    FirmwareSummary s;
    s.path = f.path;
    s.sha256 = f.sha256;
    s.lines = f.facts.lines;
    s.title = QStringLiteral("%1   %2 lines   SHA-256 %3")
                  .arg(QFileInfo(f.path).fileName())
                  .arg(f.facts.lines)
                  .arg(f.sha256.left(12));
    if (f.check.passed()) {
        s.check = QStringLiteral("%1, passes its check").arg(f.check.formatName());
        if (f.check.records())
            s.check +=
                QStringLiteral("; data %1").arg(FirmwareCheck::describeRanges(f.check.ranges));
    } else {
        s.check = QStringLiteral("Fails its check: %1").arg(f.check.firstProblemText());
    }
    if (!b.sha256.isEmpty()) {
        s.check += b.sha256 == f.sha256
                       ? QStringLiteral(".  Pinned SHA-256 matches.")
                       : QStringLiteral(".  Pinned SHA-256 %1... does NOT match: the station will "
                                        "not start.")
                             .arg(b.sha256.left(12));
    }
    if (b.serial && nextSerial)
        s.check += QStringLiteral(".  Serial numbers at %1, the next %2")
                       .arg(b.serial->text())
                       .arg(*nextSerial);
    return s;
}

QJsonObject FirmwareSummary::toJson() const
{
    return {{"path", path}, {"sha256", sha256}, {"lines", lines}, {"title", title},
            {"check", check}};
}

FirmwareSummary FirmwareSummary::fromJson(const QJsonObject& o)
{
    FirmwareSummary s;
    s.path = o.value("path").toString();
    s.sha256 = o.value("sha256").toString();
    s.lines = o.value("lines").toInt();
    s.title = o.value("title").toString();
    s.check = o.value("check").toString();
    return s;
}
