// The production station against simulated units on pseudo-terminals whose
// stable names (links, as under /dev/serial/by-id) appear and disappear:
// what each slot does, and what the record says of every unit.

#include "coresupport.h"
#include "records/recordsummary.h"
#include "station/station.h"

#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>

using namespace TestSupport;

class StationTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void unitsComeAndGo_data();
    void unitsComeAndGo();
    void recordCannotBeOpened();
    void pinnedDigest();
    void summaryOfARecord();
    void hungWorkerIsAHungStation();
    void labelsFromAScanner();
    void reworks_data();
    void reworks();
};

void StationTest::unitsComeAndGo_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QStringList>("unit"); // the simulated unit's options
    QTest::addColumn<int>("records");      // `records` lines, then
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QString>("reason"); // of the first record that has one

    QTest::newRow("adaptor plugged in after the start")
        << "late" << QStringList() << 1 << QStringList{"pass"} << QString();
    QTest::newRow("a unit that keeps prompting after it passed")
        << "stays" << QStringList() << 1 << QStringList{"pass"} << QString();
    QTest::newRow("two units in a row") << "two" << QStringList{"--next-unit-after", "1200"} << 2
                                        << QStringList{"pass", "pass"} << QString();
    QTest::newRow("adaptor unplugged mid-upload, then back")
        << "unplug" << QStringList{"--next-unit-after", "1200"} << 2 << QStringList{"fail", "pass"}
        << "adaptor unplugged";
    QTest::newRow("many resends") << "resends" << QStringList{"--reject-rate", "0.3", "--seed", "7"}
                                  << 1 << QStringList{"pass"} << QString();
    QTest::newRow("the file replaced on disk after the first unit")
        << "replaced" << QStringList{"--next-unit-after", "1200"} << 1 << QStringList{"pass"}
        << QString();
    QTest::newRow("interrupted mid-upload")
        << "interrupt" << QStringList() << 1 << QStringList{"interrupted"} << "SIGTERM";
    // The final record (line 32) answered "+": sent again, then taken.
    QTest::newRow("a '+' to the final record")
        << "final" << QStringList{"--reject-line", "32"} << 1 << QStringList{"pass"} << QString();
    QTest::newRow("a unit taken away at line 100, the next one placed")
        << "away" << QStringList{"--leave-after", "100:1500"} << 2 << QStringList{"fail", "pass"}
        << "the unit went away at line 101 of 402";
    QTest::newRow("the file replaced on disk mid-upload")
        << "swapped" << QStringList{"--next-unit-after", "1200"} << 1 << QStringList{"pass"}
        << QString();
}

void StationTest::unitsComeAndGo()
{
    QFETCH(QString, story);
    QFETCH(QStringList, unit);
    QFETCH(int, records);
    QFETCH(QStringList, results);
    QFETCH(QString, reason);

    const bool longFile =
        story == "unplug" || story == "interrupt" || story == "away" || story == "swapped";
    const QString firmware = tempFolder() + "/fw.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * (longFile ? 400 : 30)), firmware));
    const QVector<QByteArray> sent = fileLines(firmware);
    const QString recordPath = tempFolder() + "/" + story + ".jsonl";
    Station station;
    Adaptor adaptor(tempFolder() + "/usb-Tarvel_IR-" + story);
    BenchConfig bench;
    bench.name = "bench-7";
    bench.nextAfterSeconds = 0.5;
    bench.file = firmware;
    bench.ports = QStringList{adaptor.name};
    bench.record = recordPath;
    QString why;
    const auto file = FirmwareFile::read(firmware, {}, &why);
    QVERIFY2(file, qPrintable(why));
    const auto refusal = station.configure(bench, *file);
    QVERIFY2(!refusal, qPrintable(refusal ? refusal->why : QString()));
    const auto slot = [&station] { return station.view(0); };
    QSignalSpy refused(&station, &Station::newUnitsRefused);
    QStringList reasons; // as the slot said them, each once
    bool askedToRemove = false;
    connect(&station, &Station::slotChanged, this, [&] {
        reasons << slot().reason;
        askedToRemove = askedToRemove || slot().unitStillPrompting();
    });

    if (story != "late")
        QVERIFY(adaptor.plugIn(unit));
    station.start();
    if (story == "late") {
        QVERIFY(waitFor([&] { return slot().state == SlotState::WaitingForAdaptor; }, 1000));
        QVERIFY(slot().reason.contains("does not exist"));
        pump(2500); // the slot looks every second, and says so once
        QCOMPARE(reasons.count(slot().reason), 1);
        QVERIFY(adaptor.plugIn(unit));
    }
    const auto recorded = [&](int n) {
        return waitFor([&] { return station.passed() + station.failed() >= n; }, 20000);
    };

    if (story == "swapped") {
        // Another build of the same length, put in place at line 40.
        QVERIFY(waitFor([&] { return adaptor.unit.receivedLines().size() >= 40; }, 10000));
        QFile f(firmware);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray other = f.readAll();
        other.replace("S1", "S2");
        QVERIFY(f.seek(0) && f.write(other) == other.size());
        f.close();
        QVERIFY(recorded(1));
        QVERIFY(refused.count() == 1 || refused.wait(5000));
        QVERIFY(refused.first().first().toString().contains("changed on disk"));
        pump(500);
        QCOMPARE(adaptor.unit.receivedLines(), sent); // the old build, exact
    } else if (story == "away") {
        QVERIFY(recorded(2));
        pump(300);
        // The second unit has the whole file from its first line.
        const QVector<QByteArray> got = adaptor.unit.receivedLines();
        QCOMPARE(got.mid(0, 100), sent.mid(0, 100));
        QCOMPARE(got.mid(100), sent);
    } else if (story == "unplug" || story == "interrupt") {
        QVERIFY(waitFor([&] { return adaptor.unit.receivedLines().size() >= 40; }, 10000));
        if (story == "interrupt") {
            QSignalSpy stopped(&station, &Station::stopped);
            station.interrupt("SIGTERM");
            QVERIFY(stopped.count() == 1 || stopped.wait(2000));
            QVERIFY(portIsFree(adaptor.device)); // released at once
        } else {
            adaptor.unplug();
            QVERIFY(recorded(1));
            QCOMPARE(slot().state, SlotState::WaitingForAdaptor);
            pump(1200);
            // Back: its first prompt is a new unit, no quiet wait.
            Adaptor back(adaptor.name);
            QVERIFY(back.plugIn(unit));
            QVERIFY(recorded(2));
            pump(500);
            QCOMPARE(back.unit.receivedLines(), fileLines(firmware));
        }
    } else {
        QVERIFY(recorded(1));
        if (story == "replaced") {
            QFile f(firmware);
            QVERIFY(f.open(QIODevice::Append));
            f.write("S9030000FC\n");
            f.close();
            // Said as it happens, and kept in the audit trail beside the record.
            QVERIFY(refused.count() == 1 || refused.wait(2000));
            QVERIFY(refused.first().first().toString().contains("changed on disk"));
            const QVector<QJsonObject> trail = ::records(recordPath + ".audit");
            QVERIFY(!trail.isEmpty());
            QCOMPARE(trail.last()["event"].toString(), QStringLiteral("firmware-changed"));
            QCOMPARE(trail.last()["was"].toString(), file->sha256);
        }
        QVERIFY(recorded(records));
        pump(story == "two" ? 500 : 3000); // no unit flashed twice, none left out
    }

    const QVector<QJsonObject> got = ::records(recordPath);
    QCOMPARE(got.size(), records);
    for (int i = 0; i < got.size(); ++i) {
        const QJsonObject& r = got[i];
        QCOMPARE(r["result"].toString(), results[i]);
        QCOMPARE(r["schema"].toInt(), 1);
        QCOMPARE(r["station"].toString(), QStringLiteral("bench-7"));
        QCOMPARE(r["slot"].toString(), adaptor.name);
        QVERIFY(r["device"]["path"].toString().startsWith("/dev/pts/"));
        QCOMPARE(r["file"].toString(), firmware);
        QCOMPARE(r["sha256"].toString(), file->sha256);
        QCOMPARE(r["bytes"].toInteger(), file->facts.size);
        QCOMPARE(r["lines"].toInt(), file->facts.lines);
        const QDateTime started = QDateTime::fromString(r["started"].toString(), Qt::ISODateWithMs);
        const QDateTime ended = QDateTime::fromString(r["ended"].toString(), Qt::ISODateWithMs);
        QVERIFY(started.isValid() && started <= ended);
        QVERIFY(r["seconds"].toDouble() > 0);
        QVERIFY(!r["loader_version"].toString().isEmpty());
        if (results[i] == "pass")
            QCOMPARE(r["lines_sent"].toInt(), file->facts.lines);
    }
    if (!reason.isEmpty())
        QCOMPARE(got.first()["reason"].toString(), reason);
    if (story == "stays")
        QVERIFY(reasons.contains("remove the unit") && askedToRemove);
    if (story == "resends") {
        const QJsonObject& r = got.first();
        QVERIFY(r["resends"].toInt() > 0);
        QCOMPARE(r["resend_percent"].toDouble(),
                 qRound(10000.0 * r["resends"].toInt() / r["lines"].toInt()) / 100.0);
        QVERIFY(r["worst_line"]["resends"].toInt() >= 1);
        QCOMPARE(r["warning"].toString(),
                 QStringLiteral("many resends: clean and align the adaptor"));
    }
    if (story == "interrupt") {
        // Every line counted left the port; the unit logs what it got every 50 ms.
        const int sentLines = got.first()["lines_sent"].toInt();
        QVERIFY(waitFor([&] { return adaptor.unit.receivedLines().size() >= sentLines; }, 1000));
        QCOMPARE(adaptor.unit.receivedLines().size(), sentLines);
    }
    if (story == "final") {
        QCOMPARE(got.first()["resends"].toInt(), 1);
        QCOMPARE(got.first()["worst_line"]["line"].toInt(), 32);
        QCOMPARE(adaptor.unit.receivedLines().mid(31), (QVector<QByteArray>{sent[31], sent[31]}));
    }
    if (story == "away")
        QCOMPARE(got.first()["lines_sent"].toInt(), 101);
}

// A record that cannot be written stops the station before any unit.
void StationTest::recordCannotBeOpened()
{
    const QString path = writeFile("record.s19", "S00600004844521B\nS9030000FC\n");
    QString why;
    const auto file = FirmwareFile::read(path, {}, &why);
    QVERIFY(file);
    BenchConfig bench;
    bench.file = path;
    bench.ports = QStringList{"/dev/pts/9999"};
    bench.record = "/no-such-folder/units.jsonl";
    Station station;
    const auto refusal = station.configure(bench, *file);
    QVERIFY(refusal);
    QCOMPARE(refusal->field, BenchField::Record);
    QCOMPARE(refusal->kind, BenchRefusal::Kind::Output);
    QVERIFY2(refusal->why.contains("/no-such-folder/units.jsonl cannot be written"),
             qPrintable(refusal->why));
    QCOMPARE(station.slotCount(), 0); // nothing started, nothing opened
}

void StationTest::pinnedDigest()
{
    const QString path = writeFile("pinned.s19", "S00600004844521B\nS9030000FC\n");
    QString why;
    const auto file = FirmwareFile::read(path, {}, &why);
    QVERIFY(file);
    BenchConfig bench;
    bench.file = path;
    bench.ports = QStringList{"/dev/pts/9999"};
    QVERIFY(bench.set(BenchField::Sha256, QString(64, 'a'), &why));
    Station station;
    auto refusal = station.configure(bench, *file);
    QVERIFY(refusal && refusal->field == BenchField::Sha256);
    QVERIFY2(refusal->why.contains("not the build meant"), qPrintable(refusal->why));
    QVERIFY(bench.set(BenchField::Sha256, file->sha256.toUpper(), &why));
    refusal = station.configure(bench, *file);
    QVERIFY2(!refusal, qPrintable(refusal ? refusal->why : QString()));
}

// Counts per station, slot and file; lines that are no record are counted
// and left out.
void StationTest::summaryOfARecord()
{
    UnitRecord r;
    r.station = "bench-1";
    r.sha256 = QString(64, 'b');
    const QDateTime start =
        QDateTime::fromString("2026-12-08T10:00:00.000+01:00", Qt::ISODateWithMs);
    QByteArray text;
    for (int i = 0; i < 12; ++i) {
        // ttyUSB10 before ttyUSB2 in the file; the summary puts 2 first.
        r.slot = i % 3 == 0 ? "/dev/ttyUSB10" : "/dev/ttyUSB2";
        r.result = i % 4 == 0 ? UnitResult::Fail : UnitResult::Pass;
        r.seconds = 20;
        r.ended = start.addSecs(60 * (i + 1)); // a unit a minute, each 20 s long
        r.started = r.ended.addSecs(-20);
        // Numbers 100 to 110, and 105 once more: two passes name one unit.
        r.own.hasSerial = true;
        r.own.serial = i == 11 ? 105 : 100 + quint64(i);
        r.own.serialPatch = {0x40E, QByteArray(4, '\0')};
        text += r.toJsonLine();
    }
    r.own = UnitValues();
    r.slot = QStringLiteral("/dev/ttyUSB2"); // the same slot, its name written with an escape
    r.result = UnitResult::Interrupted;
    text += r.toJsonLine().replace("\"slot\":\"/dev/ttyUSB2\"", "\"slot\":\"/dev/tty\\u0055SB2\"");
    text += "{\"schema\":1,\"result\":\"pa"; // a line cut short
    text += "\nnot json\n";
    RecordSummary s;
    QString why;
    QVERIFY(RecordSummary::read(writeFile("summary.jsonl", text), &s, &why));
    QCOMPARE(s.rows.size(), 2);
    QCOMPARE(s.rows[0].first.slot, QStringLiteral("/dev/ttyUSB2"));
    QCOMPARE(s.rows[0].second.pass + s.rows[0].second.fail, 8);
    QCOMPARE(s.rows[0].second.interrupted, 1);
    QCOMPARE(s.rows[1].first.slot, QStringLiteral("/dev/ttyUSB10"));
    QCOMPARE(s.total.pass + s.total.fail, 12);
    QCOMPARE(s.total.fail, 3);
    QCOMPARE(s.unreadable, 2);
    const QString shown = s.toText();
    // Yield of passes and fails, interrupted units left out: 9 of 12.
    QVERIFY2(QRegularExpression("\nall +9 +3 +1 +75.0 %\n").match(shown).hasMatch(),
             qPrintable(shown));
    // From the first start to the last end: 10:00:40 to 10:12:00, 12 units.
    QVERIFY2(shown.contains("(0:11:20): 63.5 units per hour, 20.0 s per unit"), qPrintable(shown));
    QVERIFY(shown.contains("2 lines are no record"));
    QVERIFY2(shown.contains("serial numbers of bbbbbbbbbbbb: 100 to 110, 11 used\n"
                            "  named by more than one pass: 105 (2 passes)"),
             qPrintable(shown));

    // Grouped by released job; reworks counted apart from the first passes.
    QByteArray jobs;
    r.job = {"/etc/firmware-station/b.conf", QString(64, 'e'), "carol"};
    for (int i = 0; i < 4; ++i) {
        r.result = i == 3 ? UnitResult::Fail : UnitResult::Pass;
        r.rework = i == 1 || i == 3;
        jobs += r.toJsonLine();
    }
    r.job = JobIdentity();
    r.rework = false;
    r.result = UnitResult::Pass;
    jobs += r.toJsonLine();
    RecordSummary j;
    QVERIFY(RecordSummary::read(writeFile("jobs.jsonl", jobs), &j, &why));
    const QString byJob = j.toText();
    QVERIFY2(byJob.contains("\njob /etc/firmware-station/b.conf:\n") &&
                 byJob.contains("\nno released job:\n"),
             qPrintable(byJob));
    // Two reworks (one passed); the first passes: 3 of 3.
    QVERIFY2(byJob.contains("reworks: 2 (1 passed); first-pass yield 100.0 %"), qPrintable(byJob));
}

// What the watchdog asks before each ping: a thread of the slots held up
// is a station held up, and once it answers again, so does the station.
void StationTest::hungWorkerIsAHungStation()
{
    Station station;
    QVERIFY(!station.workerHomes().isEmpty());
    QVERIFY(station.workersAnswering());
    pump(50);
    QVERIFY(station.workersAnswering());
    QSemaphore hold;
    QMetaObject::invokeMethod(
        station.workerHomes().first(), [&hold] { hold.acquire(); }, Qt::QueuedConnection);
    pump(50);
    (void)station.workersAnswering(); // asked while it is held
    pump(50);
    QVERIFY(!station.workersAnswering());
    hold.release();
    pump(50);
    (void)station.workersAnswering();
    pump(50);
    QVERIFY(station.workersAnswering());
}

// A barcode scanner on a pseudo-terminal: a slot's name, then a label for
// it; a label that is no label of these units; the same label twice; and a
// unit that waits for its label.
void StationTest::labelsFromAScanner()
{
    const QString firmware = tempFolder() + "/labels.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), firmware));
    const QString record = tempFolder() + "/labels.jsonl";
    QFile::remove(record);
    Adaptor a(tempFolder() + "/usb-L1"), b(tempFolder() + "/usb-L2");
    QVERIFY(a.plugIn({"--next-unit-after", "1500"}));
    QVERIFY(b.plugIn({"--next-unit-after", "1500"}));
    Pty scanner;
    BenchConfig bench;
    bench.file = firmware;
    bench.ports = QStringList{a.name, b.name};
    bench.slotNames = QStringList{"Bench L1", "Bench L2"};
    bench.record = record;
    bench.nextAfterSeconds = 0.5;
    bench.scanner = scanner.slavePath();
    bench.requireLabel = true;
    QString why;
    QVERIFY(bench.set(BenchField::LabelPattern, "LBL-[0-9]{4}", &why));
    const auto file = FirmwareFile::read(firmware, {}, &why);
    Station station;
    QVERIFY(!station.configure(bench, *file));
    QStringList said;
    connect(&station, &Station::noticed, this,
            [&](const QString& port, const QString& text, bool) { said << port + ": " + text; });
    station.start();
    // Without a label, a prompting unit waits, and says so.
    QVERIFY(waitFor([&] { return station.view(0).reason == "scan the unit's label"; }, 5000));
    QCOMPARE(a.unit.receivedLines().size(), 0);
    // CR LF, CR alone and LF alone each end a label.
    scanner.write("Bench L2\r\nLBL-0002\rBench L1\nLBL-12\r\n");
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 10000));
    QCOMPARE(records(record).first()["label"].toString(), QStringLiteral("LBL-0002"));
    QCOMPARE(records(record).first()["slot"].toString(), b.name);
    QVERIFY2(said.contains(a.name + ": LBL-12 is no label of these units (they match "
                                    "LBL-[0-9]{4})"),
             qPrintable(said.join('\n')));
    QCOMPARE(a.unit.receivedLines().size(), 0); // refused: nothing sent
    scanner.write("Bench L1\nLBL-0001\nBench L1\nLBL-0001\n");
    QVERIFY(waitFor(
        [&] {
            return said.contains(a.name + ": LBL-0001 was scanned twice: scan "
                                          "the next unit's label");
        },
        5000));
    QVERIFY(waitFor([&] { return records(record).size() >= 2; }, 10000));
    QCOMPARE(records(record)[1]["label"].toString(), QStringLiteral("LBL-0001"));
    // Labels without a slot's name, with two slots: the name comes first.
    scanner.write("LBL-0003\n");
    QVERIFY(waitFor(
        [&] {
            return said.contains(": LBL-0003: scan the slot's name first, then the "
                                 "unit's label");
        },
        5000));
    station.interrupt("the station was stopped");
}

void StationTest::reworks_data()
{
    QTest::addColumn<QString>("rework");
    QTest::newRow("keep its number") << "keep";
    QTest::newRow("a new number") << "new";
    QTest::newRow("refused") << "refuse";
}

// A label whose unit passed before: its number kept, or a new one, or the
// unit refused and nothing sent.
void StationTest::reworks()
{
    QFETCH(QString, rework);
    const QString firmware = tempFolder() + "/rework.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), firmware));
    const QString record = tempFolder() + "/rework-" + rework + ".jsonl";
    QFile::remove(record);
    QFile::remove(record + ".serial");
    Adaptor a(tempFolder() + "/usb-R-" + rework);
    QVERIFY(a.plugIn({"--next-unit-after", "1200"}));
    BenchConfig bench;
    bench.name = "bench-7";
    bench.file = firmware;
    bench.ports = QStringList{a.name};
    bench.record = record;
    bench.nextAfterSeconds = 0.5;
    bench.requireLabel = true;
    QString why;
    QVERIFY(bench.set(BenchField::Serial, "0x20:4:be", &why));
    bench.serialStart = 500;
    QVERIFY(bench.set(BenchField::Rework, rework, &why));
    const auto file = FirmwareFile::read(firmware, {}, &why);
    Station station;
    QVERIFY(!station.configure(bench, *file));
    QStringList said;
    connect(&station, &Station::noticed, this,
            [&](const QString&, const QString& text, bool) { said << text; });
    station.start();
    station.scan("LBL-7");
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 10000));
    const QJsonObject first = records(record).first();
    QCOMPARE(first["serial"]["number"].toInteger(), 500);
    QVERIFY(!first.contains("rework"));
    pump(200); // the unit logs what it got every 50 ms
    const int lines = a.unit.receivedLines().size();
    station.scan("LBL-7"); // the same unit, back from repair
    if (rework == "refuse") {
        const QString why =
            QStringLiteral("LBL-7 was flashed on bench-7 at %1")
                .arg(QDateTime::fromString(first["ended"].toString(), Qt::ISODateWithMs)
                         .toLocalTime()
                         .toString("HH:mm"));
        QVERIFY2(waitFor([&] { return said.contains(why); }, 5000), qPrintable(said.join('\n')));
        pump(2500);
        QCOMPARE(records(record).size(), 1);
        QCOMPARE(a.unit.receivedLines().size(), lines); // nothing sent
        station.interrupt("the station was stopped");
        return;
    }
    QVERIFY(waitFor([&] { return records(record).size() >= 2; }, 10000));
    const QJsonObject again = records(record)[1];
    QCOMPARE(again["label"].toString(), QStringLiteral("LBL-7"));
    QCOMPARE(again["rework"].toBool(), true);
    QCOMPARE(again["rework_of"].toString(), first["id"].toString());
    QCOMPARE(again["serial"]["number"].toInteger(), rework == "keep" ? 500 : 501);
    station.interrupt("the station was stopped");
}

CORE_TEST_MAIN(StationTest)
#include "tst_station.moc"
