// Records forwarded to a real PostgreSQL server of the test's own: a server
// that is down, that goes away mid-run, a kill between the commit and the
// cursor, a line the server refuses, three stations at once. Each ends with
// exactly one row per record line.

#include "coresupport.h"
#include "records/databaseurl.h"
#include "records/recordforwarder.h"
#include "station/unitrecord.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSignalSpy>
#include <csignal>

using namespace TestSupport;

namespace {

PostgresServer& server()
{
    static PostgresServer instance;
    return instance;
}

// Units of a station, `count` of them, appended to `path` as a station does.
void appendUnits(const QString& path, int count, const QString& station = "bench-1")
{
    RecordFile file;
    QString why;
    QVERIFY2(file.open(path, &why), qPrintable(why));
    for (int i = 0; i < count; ++i) {
        UnitRecord r;
        r.id = QUuid::createUuid();
        r.station = station;
        r.slot = "/dev/serial/by-id/usb-Tarvel_IR-if00-port0";
        r.device = "/dev/ttyUSB0";
        r.file = "/srv/firmware/unit-4.2.s19";
        r.sha256 = QString(64, 'c');
        r.lines = 61;
        r.linesSent = 61;
        r.started = r.ended = QDateTime::currentDateTime();
        r.result = i % 5 == 4 ? UnitResult::Fail : UnitResult::Pass;
        r.own.hasSerial = true;
        r.own.serial = 1000 + quint64(i);
        r.own.serialPatch = {0x40E, QByteArray(4, '\0')};
        QVERIFY(file.appendLine(r.toJsonLine(), &why));
    }
}

QSet<QString> idsIn(const QStringList& records)
{
    QSet<QString> ids;
    for (const QString& path : records) {
        for (const QJsonObject& r : TestSupport::records(path))
            ids.insert(r["id"].toString());
    }
    return ids;
}

// The ids in the table, each as often as it is there.
QStringList idsInTable(const QString& database)
{
    return server().query(database, "SELECT id FROM units ORDER BY id");
}

bool oneRowEach(const QString& database, const QStringList& records)
{
    const QStringList rows = idsInTable(database);
    const QSet<QString> distinct(rows.begin(), rows.end());
    return rows.size() == distinct.size() && distinct == idsIn(records);
}

DatabaseUrl urlOf(const QString& text)
{
    QString why;
    return *DatabaseUrl::parse(text, &why);
}

} // namespace

class DatabaseTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString why;
        if (!server().prepare(&why))
            QSKIP(qPrintable(why));
    }
    void init() { resetCoreSeams(); }

    void serverDownThenUp();
    void serverGoneMidRunAndBack();
    void killBetweenCommitAndCursor();
    void refusedLineHoldsUpNothing();
    void threeStationsOneDatabase();
    void threeStationsOneSeries();
    void aStationOnItsBlock();
};

// Down when the station starts: the lines wait, and go once it is up.
void DatabaseTest::serverDownThenUp()
{
    if (server().running())
        QVERIFY(server().stop());
    const QString record = tempFolder() + "/down.jsonl";
    appendUnits(record, 3);
    RecordForwarder forwarder;
    QStringList said;
    connect(&forwarder, &RecordForwarder::stateChanged, this,
            [&](RecordForwarder::Health, const QString& text) { said << text; });
    forwarder.start(record, urlOf(server().url()));
    QVERIFY(waitFor([&] { return !said.isEmpty(); }, 5000));
    QVERIFY2(said.first().startsWith("database: 3 records waiting ("), qPrintable(said.first()));
    appendUnits(record, 2);
    forwarder.recordWritten();
    forwarder.recordWritten();
    QVERIFY(server().start());
    QVERIFY(waitFor([&] { return forwarder.upToDate(); }, 15000));
    QCOMPARE(said.last(), QStringLiteral("database: up to date"));
    QVERIFY(oneRowEach("postgres", {record}));
    QCOMPARE(forwarder.pending(), 0);
    // The serial number has a column of its own.
    QCOMPARE(server().query("postgres", "SELECT min(serial), max(serial) FROM units"),
             QStringList{"1000|1002"});
}

// The server goes away mid-run and comes back: the driver does not
// reconnect by itself; the forwarder does.
void DatabaseTest::serverGoneMidRunAndBack()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("gone");
    const QString record = tempFolder() + "/gone.jsonl";
    appendUnits(record, 2);
    RecordForwarder forwarder;
    forwarder.start(record, urlOf(url));
    QVERIFY(waitFor([&] { return forwarder.upToDate(); }, 10000));
    QVERIFY(server().stop());
    for (int i = 0; i < 4; ++i) {
        appendUnits(record, 1);
        forwarder.recordWritten();
        pump(200);
    }
    QVERIFY(waitFor([&] { return forwarder.state().contains("records waiting"); }, 5000));
    QVERIFY(server().start());
    QVERIFY(waitFor([&] { return forwarder.upToDate(); }, 15000));
    QVERIFY(oneRowEach("gone", {record}));
    QCOMPARE(idsInTable("gone").size(), 6);
}

// Killed after the commit and before the cursor moved: the lines go again,
// and the table keeps one row each.
void DatabaseTest::killBetweenCommitAndCursor()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("killed");
    const QString record = tempFolder() + "/killed.jsonl";
    appendUnits(record, 6);
    QProcess forward;
    forward.start(FIRMWARE_UPLOAD_PATH, {"forward", record, "--database", url});
    QVERIFY(forward.waitForFinished(20000));
    QCOMPARE(forward.exitCode(), 0);
    QVERIFY2(forward.readAllStandardError().contains(": 6 sent, 0 there already; up to date"),
             "first catch-up");
    // What a kill right after the commit leaves: the cursor where it was.
    writeFile("killed.jsonl.forwarded", "0\n");
    appendUnits(record, 1);
    forward.start(FIRMWARE_UPLOAD_PATH, {"forward", record, "--database", url});
    QVERIFY(forward.waitForFinished(20000));
    const QByteArray said = forward.readAllStandardError();
    QCOMPARE(forward.exitCode(), 0);
    QVERIFY2(said.contains(": 1 sent, 6 there already; up to date"), said.constData());
    QVERIFY(oneRowEach("killed", {record}));

    // A server that cannot be reached: exit status 1, and the password
    // written into the URI is never shown.
    forward.start(FIRMWARE_UPLOAD_PATH, {"forward", record, "--database",
                                         "postgresql://tester:s3cret@/killed?host=/nonexistent"});
    QVERIFY(forward.waitForFinished(20000));
    const QByteArray failed = forward.readAllStandardError();
    QCOMPARE(forward.exitCode(), 1);
    QVERIFY2(failed.contains("the database postgresql://tester@/killed?host=/nonexistent: "),
             failed.constData());
    QVERIFY(!failed.contains("s3cret"));
}

// A line the server refuses (a station name too long for its column) goes
// to .rejected with the server's message; the lines after it go in.
void DatabaseTest::refusedLineHoldsUpNothing()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("refused");
    const QString record = tempFolder() + "/refused.jsonl";
    appendUnits(record, 2);
    appendUnits(record, 1, QString(300, 'x'));
    appendUnits(record, 3);
    RecordForwarder forwarder;
    forwarder.start(record, urlOf(url));
    QVERIFY(waitFor([&] { return forwarder.upToDate(); }, 10000));
    const QVector<QJsonObject> rejected = records(RecordForwarder::rejectedPath(record));
    QCOMPARE(rejected.size(), 1);
    QVERIFY2(rejected[0]["error"].toString().contains("too long"),
             qPrintable(rejected[0]["error"].toString()));
    QCOMPARE(rejected[0]["record"]["station"].toString().size(), 300);
    QStringList expected = idsIn({record}).values();
    expected.removeOne(rejected[0]["record"]["id"].toString());
    expected.sort();
    QCOMPARE(idsInTable("refused"), expected);
}

// Three stations flash units into one database; the summary across them
// counts each unit once, and names the serial numbers.
void DatabaseTest::threeStationsOneDatabase()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("factory");
    const QString firmware = tempFolder() + "/three.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), firmware));
    VirtualUnit units[3];
    QProcess stations[3];
    QStringList records;
    for (int i = 0; i < 3; ++i) {
        const QString device =
            units[i].start(0, {"--prompt-interval", "50", "--next-unit-after", "1000"});
        records << tempFolder() + QStringLiteral("/station%1.jsonl").arg(i);
        stations[i].start(FIRMWARE_UPLOAD_PATH,
                          {"station", firmware, "-q", "-p", device, "--next-after", "0.6",
                           "--station-name", QStringLiteral("bench-%1").arg(i), "--record",
                           records[i], "--serial", "0x20:4", "--serial-start",
                           QString::number(100 * (i + 1)), "--database", url});
    }
    QVERIFY(waitFor(
        [&] {
            return std::all_of(records.begin(), records.end(), [](const QString& r) {
                return TestSupport::records(r).size() >= 3;
            });
        },
        30000));
    for (QProcess& p : stations) {
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(10000));
        QVERIFY2(p.exitCode() == 143, p.readAllStandardError().constData());
    }
    // Lines the stations had no time for go with a catch-up.
    QStringList trails;
    for (const QString& r : records)
        trails << r + ".audit";
    QProcess forward;
    forward.start(FIRMWARE_UPLOAD_PATH,
                  QStringList{"forward"} + records + trails + QStringList{"--database", url});
    QVERIFY(forward.waitForFinished(20000));
    QCOMPARE(forward.exitCode(), 0);
    QVERIFY(oneRowEach("factory", records));
    // Each audit trail in a table of its own, a row each: started and stopped.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(server().query("factory", QStringLiteral("SELECT string_agg(event, ',' ORDER BY "
                                                          "time) FROM audit WHERE station = "
                                                          "'bench-%1'")
                                               .arg(i)),
                 QStringList{"station-started,station-stopped"});

    QProcess summary;
    summary.start(FIRMWARE_UPLOAD_PATH, {"summary", url, "--since", "2000-01-01"});
    QVERIFY(summary.waitForFinished(20000));
    const QString text = QString::fromUtf8(summary.readAllStandardOutput());
    for (int i = 0; i < 3; ++i)
        QVERIFY2(text.contains(QStringLiteral("bench-%1 ").arg(i)), qPrintable(text));
    QVERIFY2(text.contains("serial numbers of "), qPrintable(text));
    summary.start(FIRMWARE_UPLOAD_PATH, {"summary", url, "--station", "bench-1"});
    QVERIFY(summary.waitForFinished(20000));
    const QString one = QString::fromUtf8(summary.readAllStandardOutput());
    QVERIFY2(one.contains("bench-1 ") && !one.contains("bench-0 ") && one.contains(": 200 to 20"),
             qPrintable(one));
}

// Three stations take one series at once, the server stopped and started
// under them, one station killed and started again on its record: no
// number goes to two units, every number used has its unit's record, and
// every unit's number is a row.
void DatabaseTest::threeStationsOneSeries()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("series");
    const QString firmware = tempFolder() + "/series.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 12), firmware));
    VirtualUnit units[3];
    QString devices[3];
    QStringList records;
    for (int i = 0; i < 3; ++i) {
        devices[i] = units[i].start(0, {"--prompt-interval", "50", "--next-unit-after",
                                        QString::number(300 + 40 * i)});
        records << tempFolder() + QStringLiteral("/series%1.jsonl").arg(i);
        QFile::remove(records[i]);
        QFile::remove(records[i] + ".serial");
    }
    const auto arguments = [&](int i) {
        return QStringList{"station", firmware, "-q", "-p", devices[i], "--next-after", "0.25",
                           "--station-name", QStringLiteral("bench-%1").arg(i), "--record",
                           records[i], "--serial", "0x20:4", "--serial-series", "unit-4",
                           "--serial-start", QString::number(1000 * (i + 1)), "--serial-block",
                           "4", "--database", url};
    };
    QProcess stations[3];
    for (int i = 0; i < 3; ++i)
        stations[i].start(FIRMWARE_UPLOAD_PATH, arguments(i));
    const auto total = [&] {
        int n = 0;
        for (const QString& r : records)
            n += TestSupport::records(r).size();
        return n;
    };
    QVERIFY(waitFor([&] { return total() >= 12; }, 30000));
    // The server away for a while: the stations go on from their blocks.
    QVERIFY(server().stop());
    pump(2500);
    QVERIFY(server().start());
    ::kill(pid_t(stations[0].processId()), SIGKILL);
    stations[0].waitForFinished(5000);
    const int before = total();
    stations[0].start(FIRMWARE_UPLOAD_PATH, arguments(0));
    QVERIFY(waitFor([&] { return total() >= before + 12; }, 30000));
    for (QProcess& p : stations) {
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
    }

    // Every number once, across the three records; the series' own, not the options'.
    QHash<qint64, QString> used; // number -> record id
    for (const QString& r : records) {
        for (const QJsonObject& o : TestSupport::records(r)) {
            QVERIFY2(o["serial"].isObject(), QJsonDocument(o).toJson().constData());
            const qint64 n = o["serial"]["number"].toInteger();
            QVERIFY2(!used.contains(n), qPrintable(QStringLiteral("%1 given twice").arg(n)));
            used.insert(n, o["id"].toString());
        }
    }
    // The first station to ask made the series; the others' --serial-start counted for nothing.
    const qint64 first = *std::min_element(used.keyBegin(), used.keyEnd());
    QVERIFY2(first == 1000 || first == 2000 || first == 3000, qPrintable(QString::number(first)));
    for (auto it = used.keyBegin(); it != used.keyEnd(); ++it)
        QVERIFY(*it >= first && *it < first + 1000);
    // The table: one row a number, each used number a unit's.
    const QStringList rows = server().query(
        "series", "SELECT number, state, coalesce(CAST(unit_id AS text), '') FROM serials "
                  "WHERE series = 'unit-4' ORDER BY number");
    QSet<qint64> numbers;
    for (const QString& row : rows) {
        const QStringList c = row.split('|');
        const qint64 n = c[0].toLongLong();
        QVERIFY(!numbers.contains(n));
        numbers.insert(n);
        if (c[1] == "used") {
            QVERIFY2(used.value(n) == c[2], qPrintable(row));
        } else {
            QVERIFY2(!used.contains(n) || c[1] == "leased", qPrintable(row));
            QVERIFY2(c[1] == "void" || c[1] == "returned" || c[1] == "leased", qPrintable(row));
        }
    }
    for (auto it = used.begin(); it != used.end(); ++it)
        QVERIFY2(numbers.contains(it.key()), qPrintable(QString::number(it.key())));
    // Stopped cleanly, no station holds a number any more.
    const QStringList held = server().query(
        "series", "SELECT count(*) FROM serials WHERE series = 'unit-4' AND state = 'leased'");
    QCOMPARE(held, QStringList{"0"});
}

// A station holds the next block before this one ends: with the server up
// no unit waits; with it down the station goes on from what it holds, then
// waits for the database (never a number of its own), and goes on once the
// server is back.
void DatabaseTest::aStationOnItsBlock()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("block");
    const QString firmware = tempFolder() + "/block.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 10), firmware));
    const QString record = tempFolder() + "/block.jsonl";
    QFile::remove(record);
    QFile::remove(record + ".serial");
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "250"});
    QProcess station;
    station.setProcessChannelMode(QProcess::MergedChannels);
    station.start(FIRMWARE_UPLOAD_PATH,
                  {"station", firmware, "-q", "-p", device, "--next-after", "0.2", "--record",
                   record, "--serial", "0x20:4", "--serial-series", "kit", "--serial-block", "4",
                   "--database", url});
    QString said;
    QVERIFY(waitFor(
        [&] {
            said += QString::fromLocal8Bit(station.readAll());
            return records(record).size() >= 10;
        },
        30000));
    // No unit waited with the server up, but perhaps for the first block.
    const int leased = said.indexOf("leased from the series");
    QVERIFY(leased > 0);
    QVERIFY2(!said.mid(leased).contains("waiting for serial numbers"), qPrintable(said));
    QVERIFY(server().stop());
    const int before = records(record).size();
    said.clear();
    QVERIFY(waitFor(
        [&] {
            said += QString::fromLocal8Bit(station.readAll());
            return said.contains("waiting for serial numbers from the database");
        },
        30000));
    const int offline = records(record).size() - before;
    QVERIFY2(offline >= 1, "no unit went on from the block held");
    QVERIFY(server().start());
    QVERIFY(waitFor([&] { return records(record).size() >= before + offline + 3; }, 30000));
    ::kill(pid_t(station.processId()), SIGTERM);
    QVERIFY(station.waitForFinished(15000));
    said += QString::fromLocal8Bit(station.readAll());
    QCOMPARE(said.count("waiting for serial numbers from the database"), 1);
    QVector<qint64> numbers;
    for (const QJsonObject& o : records(record))
        numbers << o["serial"]["number"].toInteger();
    QCOMPARE(QSet<qint64>(numbers.begin(), numbers.end()).size(), numbers.size());
}

CORE_TEST_MAIN(DatabaseTest)
#include "tst_database.moc"
