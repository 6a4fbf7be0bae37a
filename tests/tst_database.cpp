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
    void heldNumbersOfAnotherAreRefused_data();
    void heldNumbersOfAnotherAreRefused();
    void refusedFatesHoldUpNoLease();
    void aHeldSeriesRowIsSaid();
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
    QVERIFY(server().running() || server().start());
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
    QVERIFY(server().running() || server().start());
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
        signalProcess(p, SIGTERM);
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
    for (int i = 0; i < 3; ++i) {
        stations[i].setProcessChannelMode(QProcess::MergedChannels);
        stations[i].start(FIRMWARE_UPLOAD_PATH, arguments(i));
    }
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
    QVERIFY(server().running() || server().start());
    signalProcess(stations[0], SIGKILL);
    stations[0].waitForFinished(5000);
    const int before = total();
    stations[0].start(FIRMWARE_UPLOAD_PATH, arguments(0));
    QVERIFY(waitFor([&] { return total() >= before + 12; }, 30000));
    for (QProcess& p : stations) {
        QVERIFY2(p.state() == QProcess::Running, p.readAll().right(2000).constData());
        signalProcess(p, SIGTERM);
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
    QVERIFY(server().running() || server().start());
    QVERIFY(waitFor([&] { return records(record).size() >= before + offline + 3; }, 30000));
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(15000));
    said += QString::fromLocal8Bit(station.readAll());
    QCOMPARE(said.count("waiting for serial numbers from the database"), 1);
    QVector<qint64> numbers;
    for (const QJsonObject& o : records(record))
        numbers << o["serial"]["number"].toInteger();
    QCOMPARE(QSet<qint64>(numbers.begin(), numbers.end()).size(), numbers.size());
}

namespace {

// A station on the series `series` of `url`, its numbers from blocks of 4.
void startOnSeries(QProcess& station, const QString& firmware, const QString& device,
                   const QString& record, const QString& url, const QString& series,
                   const QString& machine = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!machine.isEmpty())
        env.insert("FIRMWARE_STATION_MACHINE_ID", machine);
    station.setProcessEnvironment(env);
    station.setProcessChannelMode(QProcess::MergedChannels);
    station.start(FIRMWARE_UPLOAD_PATH,
                  {"station", firmware, "-q", "-p", device, "--next-after", "0.2", "--record",
                   record, "--serial", "0x20:4", "--serial-series", series, "--serial-block", "4",
                   "--database", url, "--station-name", "bench-c"});
}

} // namespace

void DatabaseTest::heldNumbersOfAnotherAreRefused_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QString>("said");
    QTest::newRow("the state copied to another computer") << "copied" << "leased to another computer";
    QTest::newRow("a backup of the state restored") << "restored" << "does not give this station";
}

// A state file that holds numbers the database gives to another (another
// computer, or an earlier run of its own since used) is refused: no number
// of it goes into a unit, none twice.
void DatabaseTest::heldNumbersOfAnotherAreRefused()
{
    QVERIFY(server().running() || server().start());
    QFETCH(QString, story);
    QFETCH(QString, said);
    const QString url = server().url("held_" + story);
    const QString firmware = tempFolder() + "/held.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 10), firmware));
    const QString first = tempFolder() + "/held-a-" + story + ".jsonl";
    const QString second = tempFolder() + "/held-b-" + story + ".jsonl";
    for (const QString& r : {first, second}) {
        QFile::remove(r);
        QFile::remove(r + ".serial");
    }
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "250"});
    QProcess a;
    startOnSeries(a, firmware, device, first, url, story);
    QVERIFY(waitFor([&] { return records(first).size() >= 1; }, 30000));
    // What it holds now, as a copy or a backup keeps it.
    QFile state(first + ".serial");
    QVERIFY(state.open(QIODevice::ReadOnly));
    const QByteArray copy = state.readAll();
    QVERIFY2(copy.contains("block=") && copy.contains("machine=") && copy.contains("holder="),
             copy.constData());
    if (story == "restored")
        QVERIFY2(waitFor([&] { return records(first).size() >= 6; }, 30000),
                 a.peek(1 << 16).constData()); // past that block
    QCOMPARE(a.state(), QProcess::Running);
    signalProcess(a, SIGTERM);
    QVERIFY(a.waitForFinished(15000));
    QFile restored(story == "copied" ? second + ".serial" : first + ".serial");
    QVERIFY(restored.open(QIODevice::WriteOnly | QIODevice::Truncate));
    restored.write(copy);
    restored.close();
    QProcess b;
    const QString record = story == "copied" ? second : first;
    const int before = int(records(record).size());
    startOnSeries(b, firmware, device, record, url, story,
                  story == "copied" ? QStringLiteral("another-computer") : QString());
    QVERIFY(b.waitForStarted());
    QString out;
    QVERIFY2(waitFor(
                 [&] {
                     out += QString::fromLocal8Bit(b.readAll());
                     return out.contains(said);
                 },
                 20000),
             qPrintable(out));
    if (story == "copied") {
        QVERIFY(b.state() == QProcess::NotRunning || b.waitForFinished(10000));
        QCOMPARE(b.exitCode(), 2); // refused at its start
    } else {
        // New units are stopped: it ends once it has none under way.
        QVERIFY(b.state() == QProcess::NotRunning || b.waitForFinished(15000));
    }
    QCOMPARE(int(records(record).size()), before); // no unit flashed from what it held
    const QStringList twice = server().query(
        "held_" + story, "SELECT number FROM serials GROUP BY series, number HAVING count(*) > 1");
    QVERIFY(twice.isEmpty());
}

// A fate the server refuses (here a rule of the factory's own) is tried a
// few times and set aside, said; leases go on, and so do the units.
void DatabaseTest::refusedFatesHoldUpNoLease()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("fates");
    const QString firmware = tempFolder() + "/fates.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 10), firmware));
    const QString record = tempFolder() + "/fates.jsonl";
    QFile::remove(record);
    QFile::remove(record + ".serial");
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "250"});
    QProcess station;
    startOnSeries(station, firmware, device, record, url, "fates");
    QVERIFY2(waitFor([&] { return records(record).size() >= 1; }, 30000),
             station.peek(1 << 16).constData());
    server().query("fates", "CREATE FUNCTION no_use() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION "
                            "'uses are counted elsewhere'; END $$ LANGUAGE plpgsql");
    server().query("fates", "CREATE TRIGGER no_use BEFORE UPDATE ON serials FOR EACH ROW WHEN "
                            "(NEW.state = 'used') EXECUTE FUNCTION no_use()");
    QString out;
    const int units = int(records(record).size());
    QVERIFY2(waitFor(
                 [&] {
                     out += QString::fromLocal8Bit(station.readAll());
                     return out.contains("set aside") && records(record).size() >= units + 9;
                 },
                 60000),
             qPrintable(out));
    QVERIFY(out.contains("uses are counted elsewhere"));
    // Blocks went on being leased past the refusals.
    QVERIFY(server().query("fates", "SELECT count(*) FROM serials").value(0).toInt() >= units + 9);
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(15000));
}

// A lease that waits on a row another session holds is said after a second.
void DatabaseTest::aHeldSeriesRowIsSaid()
{
    QVERIFY(server().running() || server().start());
    const QString url = server().url("heldrow");
    const QString firmware = tempFolder() + "/heldrow.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 10), firmware));
    const QString record = tempFolder() + "/heldrow.jsonl";
    QFile::remove(record);
    QFile::remove(record + ".serial");
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "250"});
    QProcess station;
    startOnSeries(station, firmware, device, record, url, "heldrow");
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 30000));
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {"-c", QStringLiteral("printf 'BEGIN; SELECT 1 FROM serial_series FOR UPDATE; "
                                       "SELECT pg_sleep(6); COMMIT;' | psql '%1' -q > /dev/null")
                            .arg(url)});
    QString out;
    QVERIFY2(waitFor(
                 [&] {
                     out += QString::fromLocal8Bit(station.readAll());
                     return out.contains("the lease is not answered");
                 },
                 20000),
             qPrintable(out));
    QVERIFY(holder.waitForFinished(20000));
    const int after = int(records(record).size());
    QVERIFY(waitFor([&] { return records(record).size() >= after + 2; }, 20000));
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(15000));
}

CORE_TEST_MAIN(DatabaseTest)
#include "tst_database.moc"
