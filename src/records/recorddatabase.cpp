#include "recorddatabase.h"

#include "recordwords.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace {

// Made of the record lines written before lines had an id of their own.
const QUuid oldLines = QUuid::fromString(QStringLiteral("{3f1c7a52-8d0e-4b61-9c2a-51e7d08b6a49}"));

const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS loader_schema (version integer NOT NULL)",
    "CREATE TABLE IF NOT EXISTS units ("
    " id uuid PRIMARY KEY,"
    " station varchar(255) NOT NULL,"
    " slot varchar(1024) NOT NULL,"
    " device varchar(1024),"
    " file varchar(4096),"
    " sha256 varchar(64),"
    " result varchar(16) NOT NULL,"
    " reason text,"
    " started timestamptz,"
    " ended timestamptz,"
    " seconds double precision,"
    " lines integer,"
    " lines_sent integer,"
    " resends integer,"
    " serial bigint,"
    " loader_version varchar(64),"
    " record jsonb NOT NULL)",
    "CREATE INDEX IF NOT EXISTS units_station_ended ON units (station, ended)",
    "CREATE INDEX IF NOT EXISTS units_serial ON units (serial)",
    // Added beside the units without a new version: older stations go on.
    "CREATE TABLE IF NOT EXISTS audit ("
    " id uuid PRIMARY KEY,"
    " station varchar(255),"
    " event varchar(64) NOT NULL,"
    " time timestamptz,"
    " account varchar(255),"
    " record jsonb NOT NULL)",
    "CREATE INDEX IF NOT EXISTS audit_station_time ON audit (station, time)",
    // The factory's serial numbers: each series, and every number's fate.
    "CREATE TABLE IF NOT EXISTS serial_series ("
    " name varchar(255) PRIMARY KEY,"
    " first bigint NOT NULL,"
    " step bigint NOT NULL,"
    " last bigint,"
    " next bigint NOT NULL)",
    "CREATE TABLE IF NOT EXISTS serials ("
    " series varchar(255) NOT NULL,"
    " number bigint NOT NULL,"
    " station varchar(255) NOT NULL,"
    " state varchar(16) NOT NULL,"
    " unit_id uuid,"
    " leased timestamptz NOT NULL DEFAULT now(),"
    " changed timestamptz NOT NULL DEFAULT now(),"
    " PRIMARY KEY (series, number))",
    // Which computer, and which of its state files, a number is leased to.
    "ALTER TABLE serials ADD COLUMN IF NOT EXISTS machine varchar(64)",
    "ALTER TABLE serials ADD COLUMN IF NOT EXISTS holder uuid",
    "INSERT INTO loader_schema (version) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM loader_schema)",
};

const QString insert = QStringLiteral(
    "INSERT INTO units (id, station, slot, device, file, sha256, result, reason, started, ended, "
    "seconds, lines, lines_sent, resends, serial, loader_version, record) VALUES (CAST(? AS "
    "uuid), ?, ?, ?, ?, ?, ?, ?, CAST(? AS timestamptz), CAST(? AS timestamptz), ?, ?, ?, ?, "
    "CAST(? AS bigint), ?, CAST(? AS jsonb)) ON CONFLICT (id) DO NOTHING");

const QString insertAudit = QStringLiteral(
    "INSERT INTO audit (id, station, event, time, account, record) VALUES (CAST(? AS uuid), ?, ?, "
    "CAST(? AS timestamptz), ?, CAST(? AS jsonb)) ON CONFLICT (id) DO NOTHING");

// The server said no to this line's values (too long, not a number, ...),
// as opposed to the connection failing: SQLSTATE classes 22 and 23.
bool refusedByTheServer(const QSqlError& e)
{
    const QString state = e.nativeErrorCode();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"));
}

QVariant text(const QJsonValue& v)
{
    return v.isUndefined() || v.isNull() ? QVariant(QMetaType::fromType<QString>()) : v.toVariant();
}

} // namespace

RecordDatabase::RecordDatabase(const DatabaseUrl& url, const QString& connectionName)
    : m_name(connectionName), m_url(url)
{
}

RecordDatabase::~RecordDatabase()
{
    close();
    QSqlDatabase::removeDatabase(m_name);
}

QString RecordDatabase::describe(const QSqlError& error) const
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    // libpq's "connection to server on socket ... failed: " says where; the
    // reason after it is what the operator needs.
    const int failed = int(text.indexOf(QLatin1String("failed: ")));
    if (failed >= 0)
        text = text.mid(failed + 8);
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

bool RecordDatabase::open(QString* error)
{
    close();
    QSqlDatabase db = QSqlDatabase::contains(m_name)
                          ? QSqlDatabase::database(m_name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!db.isValid()) {
        *error = QStringLiteral("Qt's PostgreSQL driver is missing (Debian's libqt6sql6-psql)");
        return false;
    }
    db.setHostName(m_url.host);
    if (m_url.port > 0)
        db.setPort(m_url.port);
    db.setDatabaseName(m_url.database);
    db.setUserName(m_url.user);
    db.setPassword(m_url.password);
    db.setConnectOptions(m_url.connectOptions());
    if (!db.open()) {
        *error = describe(db.lastError());
        return false;
    }
    // libpq prints the server's notices ("already exists, skipping") on
    // standard error; they are nothing an operator needs.
    return exec(QStringLiteral("SET client_min_messages TO warning"), error) && ensureSchema(error);
}

void RecordDatabase::close()
{
    m_prepared = false;
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
}

bool RecordDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

bool RecordDatabase::exec(const QString& statement, QString* error)
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (q.exec(statement))
        return true;
    *error = describe(q.lastError());
    return false;
}

bool RecordDatabase::ensureSchema(QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    // Several stations may start at once: one makes the tables, the others wait.
    if (!db.transaction()) {
        *error = describe(db.lastError());
        return false;
    }
    bool ok = exec(QStringLiteral("SELECT pg_advisory_xact_lock(7204151)"), error);
    for (const char* statement : schema) {
        if (ok)
            ok = exec(QString::fromLatin1(statement), error);
    }
    int version = 0;
    if (ok) {
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("SELECT max(version) FROM loader_schema")) && q.next();
        if (ok)
            version = q.value(0).toInt();
        else
            *error = describe(q.lastError());
    }
    if (ok && version > SchemaVersion) {
        *error = QStringLiteral("the database's tables are of a later version (%1) than this "
                                "program knows (%2)")
                     .arg(version)
                     .arg(SchemaVersion);
        ok = false;
    }
    if (ok && !db.commit()) {
        *error = describe(db.lastError());
        ok = false;
    }
    if (!ok)
        db.rollback();
    return ok;
}

QString RecordDatabase::idOf(const QJsonObject& record, const QByteArray& line)
{
    const QUuid id = QUuid::fromString(record.value(QLatin1String("id")).toString());
    return (id.isNull() ? QUuid::createUuidV5(oldLines, line) : id).toString(QUuid::WithoutBraces);
}

bool RecordDatabase::send(const QVector<QByteArray>& lines, Table table, Sent* sent, QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    // A batch in one transaction; only when the server refuses a line is it
    // sent again with a savepoint per line, so the rest still go in.
    for (const bool oneByOne : {false, true}) {
        *sent = Sent();
        if (!db.transaction()) {
            *error = describe(db.lastError());
            return false;
        }
        QSqlQuery q(db);
        if (!q.prepare(table == Table::Units ? insert : insertAudit)) {
            *error = describe(q.lastError());
            db.rollback();
            return false;
        }
        bool refusal = false;
        for (const QByteArray& line : lines) {
            QJsonParseError parsed{};
            const QJsonObject r = QJsonDocument::fromJson(line, &parsed).object();
            if (parsed.error != QJsonParseError::NoError) {
                sent->refused.append(
                    {line, QStringLiteral("not a JSON object: %1").arg(parsed.errorString())});
                continue;
            }
            const QJsonValue serial = r.value(QLatin1String("serial"))[QLatin1String("number")];
            const QVariantList values = table == Table::Audit ? QVariantList{
                idOf(r, line),
                text(r.value(QLatin1String("station"))),
                text(r.value(QLatin1String("event"))),
                text(r.value(QLatin1String("time"))),
                text(r.value(QLatin1String("account"))),
                QString::fromUtf8(line),
            } : QVariantList{
                idOf(r, line),
                text(r.value(QLatin1String("station"))),
                text(r.value(QLatin1String("slot"))),
                text(r.value(QLatin1String("device"))[QLatin1String("path")]),
                text(r.value(QLatin1String("file"))),
                text(r.value(QLatin1String("sha256"))),
                text(r.value(QLatin1String("result"))),
                text(r.value(QLatin1String("reason"))),
                text(r.value(QLatin1String("started"))),
                text(r.value(QLatin1String("ended"))),
                r.value(QLatin1String("seconds")).toDouble(),
                r.value(QLatin1String("lines")).toInt(),
                r.value(QLatin1String("lines_sent")).toInt(),
                r.value(QLatin1String("resends")).toInt(),
                serial.isDouble() ? QVariant(QString::number(serial.toInteger()))
                                  : QVariant(QMetaType::fromType<QString>()),
                text(r.value(QLatin1String("loader_version"))),
                QString::fromUtf8(line),
            };
            for (int i = 0; i < values.size(); ++i)
                q.bindValue(i, values[i]);
            if (oneByOne && !exec(QStringLiteral("SAVEPOINT line"), error)) {
                db.rollback();
                return false;
            }
            if (q.exec()) {
                (q.numRowsAffected() > 0 ? sent->inserted : sent->duplicates) += 1;
                if (oneByOne && !exec(QStringLiteral("RELEASE SAVEPOINT line"), error)) {
                    db.rollback();
                    return false;
                }
                continue;
            }
            const QSqlError e = q.lastError();
            if (!refusedByTheServer(e)) {
                *error = describe(e);
                db.rollback();
                return false;
            }
            if (!oneByOne) {
                refusal = true;
                break;
            }
            sent->refused.append({line, describe(e)});
            if (!exec(QStringLiteral("ROLLBACK TO SAVEPOINT line"), error)) {
                db.rollback();
                return false;
            }
        }
        if (refusal) {
            db.rollback();
            continue;
        }
        if (!db.commit()) {
            *error = describe(db.lastError());
            db.rollback();
            return false;
        }
        return true;
    }
    return true;
}

bool RecordDatabase::summarize(const QDateTime& since, const QString& station,
                               RecordSummary* summary, QString* error)
{
    *summary = RecordSummary();
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT station, slot, sha256, result, serial, ended, seconds, "
                                 "record->'job'->>'file', record->>'rework', "
                                 "record->'permit'->>'order', record->'permit'->>'units' FROM "
                                 "units WHERE true");
    if (since.isValid())
        sql += QStringLiteral(" AND ended >= CAST(? AS timestamptz)");
    if (!station.isEmpty())
        sql += QStringLiteral(" AND station = ?");
    sql += QStringLiteral(" ORDER BY ended, id");
    if (!q.prepare(sql)) {
        *error = describe(q.lastError());
        return false;
    }
    int i = 0;
    if (since.isValid())
        q.bindValue(i++, since.toString(Qt::ISODateWithMs));
    if (!station.isEmpty())
        q.bindValue(i++, station);
    if (!q.exec()) {
        *error = describe(q.lastError());
        return false;
    }
    while (q.next()) {
        const std::optional<UnitResult> result = RecordWords::resultOf(q.value(3).toString());
        if (!result) {
            ++summary->unreadable;
            continue;
        }
        RecordSummary::Entry e{
            q.value(0).toString(), q.value(1).toString(),   q.value(2).toString(), *result,
            std::nullopt,          q.value(5).toDateTime(), q.value(6).toDouble(),
            q.value(7).toString(), q.value(8).toString() == QLatin1String("true"),
            q.value(9).toString(),  q.value(10).toInt()};
        if (!q.value(4).isNull())
            e.serial = q.value(4).toULongLong();
        summary->add(e);
    }
    summary->sortRows();
    return true;
}
