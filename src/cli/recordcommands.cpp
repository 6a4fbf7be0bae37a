#include "recordcommands.h"

#include "../records/recorddatabase.h"
#include "../records/recordforwarder.h"
#include "../records/recordsummary.h"
#include "progresslines.h"

#include <QFileInfo>
#include <cstdio>

namespace {

bool isDatabase(const QString& source)
{
    return source.startsWith(QLatin1String("postgres"));
}

} // namespace

SummaryCommand::SummaryCommand()
    : Command(QStringLiteral("summary")),
      m_since(QStringLiteral("since"),
              QStringLiteral("Of a database: the units ended since DATE (such as 2026-12-08)."),
              QStringLiteral("DATE")),
      m_station({QStringLiteral("station"), QStringLiteral("station-name")},
                QStringLiteral("Of a database: that station's units only."), QStringLiteral("NAME"))
{
}

void SummaryCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Prints pass, fail and interrupted counts with the yield per station, slot "
                       "and file digest, the time the units span, units per hour and seconds per "
                       "unit, and the serial numbers each build went out with, from a station's "
                       "record file or the factory's database."));
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("A record file, or a postgresql:// URI."),
                                 QStringLiteral("RECORD|URL"));
    parser.addOptions({m_since, m_station});
}

std::optional<Command::Usage> SummaryCommand::read(const QCommandLineParser& parser)
{
    const QStringList sources = parser.positionalArguments();
    if (sources.size() != 1)
        return Usage{QString(), sources.isEmpty() ? QStringLiteral("no record file or URL given")
                                                  : QStringLiteral("give one record file or URL")};
    m_source = sources.first();
    m_stationName = parser.value(m_station);
    if (parser.isSet(m_since)) {
        m_sinceTime = QDateTime::fromString(parser.value(m_since), Qt::ISODateWithMs);
        if (!m_sinceTime.isValid())
            m_sinceTime = QDate::fromString(parser.value(m_since), Qt::ISODate).startOfDay();
        if (!m_sinceTime.isValid())
            return Usage{QStringLiteral("--since"),
                         QStringLiteral("--since takes a date such as 2026-12-08")};
    }
    if ((parser.isSet(m_since) || parser.isSet(m_station)) && !isDatabase(m_source))
        return Usage{parser.isSet(m_since) ? QStringLiteral("--since")
                                           : QStringLiteral("--station"),
                     QStringLiteral("--since and --station go with the summary of a database")};
    return std::nullopt;
}

std::optional<ExitCode> SummaryCommand::start()
{
    RecordSummary summary;
    QString why;
    if (isDatabase(m_source)) {
        const auto url = DatabaseUrl::parse(m_source, &why);
        if (!url) {
            ProgressLines::complain(why);
            return ExitCode::Usage;
        }
        RecordDatabase database(*url, QStringLiteral("summary"));
        if (!database.open(&why) ||
            !database.summarize(m_sinceTime, m_stationName, &summary, &why)) {
            ProgressLines::complain(QStringLiteral("the database %1: %2").arg(url->shown(), why));
            return ExitCode::UnitFailed;
        }
    } else if (!RecordSummary::read(m_source, &summary, &why)) {
        ProgressLines::complain(why);
        return ExitCode::File;
    }
    const int units = summary.total.pass + summary.total.fail + summary.total.interrupted;
    if (units == 0) {
        ProgressLines::complain(
            summary.unreadable > 0
                ? QStringLiteral("%1 holds no record line (%2 that are no record)")
                      .arg(m_source)
                      .arg(summary.unreadable)
                : QStringLiteral("%1 holds no record line").arg(m_source));
        return ExitCode::UnitFailed;
    }
    std::fputs(qPrintable(summary.toText() + QLatin1Char('\n')), stdout);
    return ExitCode::Success;
}

ForwardCommand::ForwardCommand()
    : Command(QStringLiteral("forward")),
      m_database(QStringLiteral("database"),
                 QStringLiteral("The factory's PostgreSQL, such as postgresql://user@host/factory "
                                "(the password from PGPASSWORD or ~/.pgpass)."),
                 QStringLiteral("URL"))
{
}

void ForwardCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Sends the lines of each record file (or audit trail, FILE.audit) that the "
                       "database lacks, each once by its id, and moves the file's cursor; exits 0 "
                       "when all is in."));
    parser.addPositionalArgument(QStringLiteral("RECORD"), QStringLiteral("A record file."),
                                 QStringLiteral("RECORD..."));
    parser.addOption(m_database);
}

std::optional<Command::Usage> ForwardCommand::read(const QCommandLineParser& parser)
{
    m_records = parser.positionalArguments();
    m_url = parser.value(m_database);
    if (m_url.isEmpty())
        return Usage{QStringLiteral("--database"), QStringLiteral("forward needs --database URL")};
    if (m_records.isEmpty())
        return Usage{QString(), QStringLiteral("forward takes the record files to forward")};
    return std::nullopt;
}

std::optional<ExitCode> ForwardCommand::start()
{
    QString why;
    const auto url = DatabaseUrl::parse(m_url, &why);
    if (!url) {
        ProgressLines::complain(why);
        return ExitCode::Usage;
    }
    for (const QString& record : m_records) {
        if (!QFileInfo(record).isFile()) {
            ProgressLines::complain(QStringLiteral("the record %1 does not exist").arg(record));
            return ExitCode::File;
        }
    }
    RecordDatabase database(*url, QStringLiteral("forward"));
    if (!database.open(&why)) {
        ProgressLines::complain(QStringLiteral("the database %1: %2").arg(url->shown(), why));
        return ExitCode::UnitFailed;
    }
    for (const QString& record : m_records) {
        // An audit trail goes to its own table.
        const RecordDatabase::Table table = record.endsWith(QLatin1String(".audit"))
                                                ? RecordDatabase::Table::Audit
                                                : RecordDatabase::Table::Units;
        RecordForwarder::Batch total, batch;
        do {
            if (!RecordForwarder::forwardBatch(record, database, table, &batch, &why)) {
                ProgressLines::complain(QStringLiteral("%1: %2").arg(record, why));
                return ExitCode::UnitFailed;
            }
            total.lines += batch.lines;
            total.inserted += batch.inserted;
            total.duplicates += batch.duplicates;
            total.refused += batch.refused;
        } while (batch.lines > 0);
        QString line = QStringLiteral("%1: %2 sent, %3 there already")
                           .arg(record)
                           .arg(total.inserted)
                           .arg(total.duplicates);
        if (total.refused > 0)
            line += QStringLiteral(", %1 refused (see %2)")
                        .arg(total.refused)
                        .arg(RecordForwarder::rejectedPath(record));
        ProgressLines::say(line + QStringLiteral("; up to date"));
    }
    return ExitCode::Success;
}
