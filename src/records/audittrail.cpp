#include "audittrail.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QUuid>

namespace {

QString digestOf(const QByteArray& line)
{
    return line.isEmpty()
               ? QString()
               : QString::fromLatin1(QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex());
}

} // namespace

bool AuditTrail::open(const QString& path, QString* error)
{
    return m_file.open(path, error);
}

bool AuditTrail::append(const QString& event, const QJsonObject& details, QString* error)
{
    QJsonObject line = details;
    line.insert("schema", Schema);
    line.insert("id", QUuid::createUuid().toString(QUuid::WithoutBraces));
    const QDateTime now = QDateTime::currentDateTime();
    line.insert("time", now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs));
    line.insert("event", event);
    // The line before, as it is on the disk now, whoever wrote it.
    m_file.lock();
    line.insert("prev", digestOf(m_file.lastLine()));
    const bool written =
        m_file.appendLine(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n', error);
    m_file.unlock();
    return written;
}

bool AuditTrail::note(const QString& path, const QString& event, const QJsonObject& details,
                      QString* error)
{
    AuditTrail trail;
    return trail.open(path, error) && trail.append(event, details, error);
}

AuditTrail::Check AuditTrail::verify(const QString& path)
{
    Check check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        check.broken = 1;
        check.why = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return check;
    }
    QByteArray previous;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++check.lines;
        const auto broken = [&](const QString& why) {
            check.broken = check.lines;
            check.why = QStringLiteral("%1:%2: %3").arg(path).arg(check.lines).arg(why);
            return check;
        };
        if (!line.endsWith('\n'))
            return broken(QStringLiteral("the line is cut short"));
        line.chop(1);
        QJsonParseError parsed{};
        const QJsonObject o = QJsonDocument::fromJson(line, &parsed).object();
        if (parsed.error != QJsonParseError::NoError)
            return broken(QStringLiteral("not a JSON object: %1").arg(parsed.errorString()));
        const QString prev = o.value(QLatin1String("prev")).toString();
        if (prev != digestOf(previous)) {
            return broken(check.lines == 1
                              ? QStringLiteral("the first line names a line before it that is "
                                               "not there: lines were taken out")
                              : QStringLiteral("it does not follow line %1: a line was edited, "
                                               "taken out or put in between")
                                    .arg(check.lines - 1));
        }
        previous = line;
    }
    return check;
}
