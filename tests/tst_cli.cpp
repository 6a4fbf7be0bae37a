// The command-line uploader: its file check, and whole runs of the program
// against simulated units, judged by exit code, message, report and what
// the units received.

#include "coresupport.h"
#include "station/unitnumbering.h"
#include "upload/firmwarecheck.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QStandardPaths>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

const QByteArray good1 = "S00600004844521B";
const QByteArray good2 = "S1130000285F245F2212226A000424290008237C2A";
const QByteArray good3 = "S11300100002000800082629001853812341001813";
const QByteArray end9 = "S9030000FC";

struct Run {
    int exitCode = -1;
    QString errors;
    double seconds = 0;
};

Run upload(const QStringList& arguments, const std::function<void(QProcess&)>& meanwhile = {})
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(FIRMWARE_UPLOAD_PATH), arguments);
    p.waitForStarted();
    if (meanwhile)
        meanwhile(p);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError()), clock.elapsed() / 1000.0};
}

// The file's S-records from a real binary, with `damage` applied to its lines.
QString srecords(const QString& name, int records,
                 const std::function<void(QList<QByteArray>&)>& damage = {})
{
    const QString path = tempFolder() + QLatin1Char('/') + name;
    if (!makeSrecordFile(realBinaryBytes(16 * records), path))
        qFatal("objcopy failed");
    if (damage) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        QList<QByteArray> lines = f.readAll().split('\n');
        f.close();
        damage(lines);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(lines.join('\n'));
    }
    return path;
}

// The checksum byte of a record made wrong (a CR of its line ending kept).
void breakChecksum(QByteArray& record)
{
    char& last = record[record.size() - (record.endsWith('\r') ? 2 : 1)];
    last = last == '0' ? '1' : '0';
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void fileCheck_data();
    void fileCheck();
    void runs_data();
    void runs();
    void fourPortsAtOnce();
    void portsListedAndExamined();
    void stationUntilCtrlC();
    void thirtyTwoSlotsUntilSigterm();
    void repeatTakesUnitAfterUnit_data();
    void repeatTakesUnitAfterUnit();
    void stationEndsOnAReplacedFile();
    void interruptReleasesThePort();
    void recordOnAFullDisk();
    void serialNumberBurnedByAKill();
    void gangGetsANumberEach();
    void oneDeviceByTwoNames();
};

void CliTest::fileCheck_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("problems"); // "line: start of the text"
    QByteArray badSum = good2;
    breakChecksum(badSum);
    const QByteArray nl = "\n";
    QTest::newRow("sound, CR LF, blank lines at the end")
        << good1 + "\r\n" + good2 + "\r\n" + end9 + "\r\n\r\n"
        << QStringList();
    QTest::newRow("checksum") << good1 + nl + badSum + nl + end9 + nl
                              << QStringList{"2: checksum is 2A, the record says 20"};
    QTest::newRow("count and length")
        << good1 + nl + good2.left(40) + nl + end9 + nl
        << QStringList{"2: the record has 36 characters after its count"};
    QTest::newRow("not hexadecimal")
        << good1 + nl + "S1130000285F245F2212226A00042429000823XC2A\n" + end9 + nl
        << QStringList{"2: character 39"};
    QTest::newRow("record type") << good1 + nl + "S4030000FC\n" + end9 + nl
                                 << QStringList{"2: S4 is not a record type"};
    QTest::newRow("blank line in the middle")
        << good1 + "\n\n" + good2 + nl + end9 + nl << QStringList{"2: empty line"};
    QTest::newRow("no end record")
        << good1 + nl + good2 + nl << QStringList{"0: there is no end record"};
    QTest::newRow("end record not last") << good1 + nl + end9 + nl + good2 + nl
                                         << QStringList{"2: the end record is not the last record"};
    QTest::newRow("plain text is sent as it is") << QByteArray("hello\nworld\n") << QStringList();
}

void CliTest::fileCheck()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, problems);
    QString why;
    const auto check = FirmwareCheck::of(writeFile("check.s19", text), &why);
    QVERIFY2(check, qPrintable(why));
    const QString differ = problemsDiffer(*check, problems);
    QVERIFY2(differ.isEmpty(), qPrintable(differ));
}

void CliTest::runs_data()
{
    QTest::addColumn<QString>("file");      // which file: sound, badmiddle, badlast
    QTest::addColumn<QStringList>("unit");  // simulated unit options
    QTest::addColumn<QStringList>("extra"); // more arguments
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("withinSeconds");

    QTest::newRow("clean upload") << "sound" << QStringList{"--prompt-interval", "100"}
                                  << QStringList() << 0 << "done, 30 lines" << 30.0;
    QTest::newRow("check finds a bad checksum")
        << "badmiddle" << QStringList() << QStringList{"check"} << 3 << "bad.s19:11: checksum is"
        << 10.0;
    QTest::newRow("check alone sends nothing")
        << "sound" << QStringList() << QStringList{"check"} << 0 << "passes its check" << 10.0;
    // The old spelling checks as it did, and names the new one.
    QTest::newRow("the old --check") << "sound" << QStringList() << QStringList{"--check"} << 0
                                     << "--check is now: firmware-upload check FILE" << 10.0;
    // The final record is sent again after a "+", as any line is.
    QTest::newRow("final record rejected")
        << "badlast" << QStringList() << QStringList{"--force", "--max-resends", "4"} << 1
        << "failed at line 30 of 30: The unit rejected line 30 4 times" << 30.0;
    QTest::newRow("a '+' to the final record, then '*'")
        << "sound" << QStringList{"--reject-line", "30"} << QStringList() << 0
        << "done, 30 lines in" << 30.0;
    QTest::newRow("silent unit") << "sound" << QStringList{"--silent-after", "3"}
                                 << QStringList{"-t", "2"} << 1 << "the unit was silent for 2 s"
                                 << 2.0 + 1.0 + 1.5;
    QTest::newRow("a line rejected for ever")
        << "badmiddle" << QStringList() << QStringList{"--force", "--max-resends", "3"} << 1
        << "rejected line 11 3 times" << 30.0;
    QTest::newRow("no prompt") << "sound" << QStringList{"--prompt-interval", "0"}
                               << QStringList{"-t", "1"} << 1 << "no prompt from the unit in 1 s"
                               << 10.0;
    QTest::newRow("busy port") << "sound" << QStringList() << QStringList{"--lock"} << 4 << "in use"
                               << 10.0;
    QTest::newRow("no such port")
        << "sound" << QStringList() << QStringList{"-p", "/dev/no-such-tty"} << 4
        << "does not exist. Check that the adaptor is plugged in and that "
           "--port names it"
        << 10.0;
    QTest::newRow("report into a folder that cannot be written")
        << "sound" << QStringList() << QStringList{"--report", "/no-such-folder/run.json"} << 2
        << "the report /no-such-folder/run.json cannot be written" << 10.0;
    QTest::newRow("another build than the one pinned")
        << "sound" << QStringList() << QStringList{"--sha256", QString(64, 'a')} << 3
        << "this is not the build meant" << 10.0;
    QTest::newRow("data outside the address range")
        << "sound" << QStringList() << QStringList{"--address-range", "0-FF"} << 3
        << "sound.s19:18: data at 0100-010F lies outside the address range 0000-00FF" << 10.0;
    QTest::newRow("station with a record that cannot be written")
        << "sound" << QStringList() << QStringList{"station", "--record", "/no-such-folder/u.jsonl"}
        << 2 << "the record /no-such-folder/u.jsonl cannot be written" << 10.0;
    QTest::newRow("check names the data and the digest")
        << "sound" << QStringList() << QStringList{"check"} << 0 << "sound.s19: sha256 " << 10.0;
    QTest::newRow("check names the lines a serial number changes")
        << "sound" << QStringList()
        << QStringList{"check", "--serial", "0x1E:4:be", "--serial-start", "77"} << 0
        << "sound.s19: serial number at 0x001E (4 bytes, be) patches lines 3, 4; the next is 77 "
           "(0000004D)"
        << 10.0;
    QTest::newRow("a serial number outside the data")
        << "sound" << QStringList()
        << QStringList{"--serial", "0x8000:4", "--serial-state", "/tmp/never-written"} << 3
        << "no data record of" << 10.0;
    QTest::newRow("usage") << "sound" << QStringList() << QStringList{"-t", "soon"} << 2
                           << "--timeout takes whole seconds" << 10.0;
}

void CliTest::runs()
{
    QFETCH(QString, file);
    QFETCH(QStringList, unit);
    QFETCH(QStringList, extra);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(double, withinSeconds);

    const QString path = file == QLatin1String("sound") ? srecords("sound.s19", 28)
                         : file == QLatin1String("badmiddle")
                             ? srecords("bad.s19", 28, [](auto& l) { breakChecksum(l[10]); })
                             : srecords("badlast.s19", 28, [](auto& l) {
                                   breakChecksum(l[l.size() - 2]); // the S9
                               });
    VirtualUnit simulated;
    const QString device = simulated.start(1, unit);
    QVERIFY(!device.isEmpty());
    // A verb first, or none: "firmware-upload FILE -p 1" sends.
    const QString verb =
        !extra.isEmpty() && (extra.first() == "check" || extra.first() == "station")
            ? extra.takeFirst()
            : QString();
    QStringList arguments{path};
    if (!verb.isEmpty())
        arguments.prepend(verb);
    const bool checking = verb == "check" || extra.contains("--check");
    int holder = -1;
    if (extra.removeAll(QStringLiteral("--lock"))) {
        holder = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    if (!extra.contains(QStringLiteral("-p")) && !checking)
        arguments << QStringLiteral("-p") << QStringLiteral("1");
    arguments += extra;
    const Run run = upload(arguments);
    if (holder >= 0)
        ::close(holder);
    pump(150); // the unit writes its records every 50 ms
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.seconds <= withinSeconds, qPrintable(QString::number(run.seconds)));
    const QVector<QByteArray> received = simulated.receivedLines();
    if (QTest::currentDataTag() == QLatin1String("a '+' to the final record, then '*'")) {
        QCOMPARE(received, fileLines(path) << fileLines(path).last());
        QVERIFY2(run.errors.contains("1 sent again"), qPrintable(run.errors));
    } else if (exitCode == 0 && !checking) {
        QCOMPARE(received, fileLines(path)); // byte for byte, in order
    } else if (QTest::currentDataTag() == QLatin1String("a line rejected for ever")) {
        QCOMPARE(received.count(fileLines(path)[10]), 3);
    } else if (QTest::currentDataTag() == QLatin1String("final record rejected")) {
        QCOMPARE(received.count(fileLines(path).last()), 4);
    } else if (exitCode != 1) {
        QVERIFY(received.isEmpty());
    }
}

void CliTest::fourPortsAtOnce()
{
    const QString path = srecords("four.s19", 40);
    VirtualUnit units[4];
    QStringList arguments{path, "--report", tempFolder() + "/report.json", "-q"};
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!units[i]
                     .start(i + 1, {"--reject-rate", "0.05", "--seed", QString::number(i + 1)})
                     .isEmpty());
        arguments << "-p" << QString::number(i + 1);
    }
    const Run run = upload(arguments);
    QCOMPARE(run.exitCode, 0);
    pump(150); // the units write their records every 50 ms
    QFile file(tempFolder() + "/report.json");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonArray results = report["results"].toArray();
    QCOMPARE(results.size(), 4);
    for (const QJsonValue& r : results) {
        QCOMPARE(r["result"].toString(), QStringLiteral("done"));
        QCOMPARE(r["linesSent"].toInt(), 42);
    }
    QCOMPARE(report["file"]["lines"].toInt(), 42);
    QFile firmware(path);
    QVERIFY(firmware.open(QIODevice::ReadOnly));
    QCOMPARE(report["file"]["sha256"].toString(),
             QCryptographicHash::hash(firmware.readAll(), QCryptographicHash::Sha256).toHex());
    QCOMPARE(report["exitCode"].toInt(), 0);
    for (VirtualUnit& u : units) {
        const QVector<QByteArray> got = u.receivedLines();
        QCOMPARE(QSet<QByteArray>(got.begin(), got.end()).size(), 42);
    }
}

void CliTest::interruptReleasesThePort()
{
    const QString path = srecords("long.s19", 2000);
    VirtualUnit unit;
    const QString device = unit.start(1, {});
    const Run run = upload({path, "-p", "1", "-q"}, [&](QProcess& p) {
        QVERIFY(waitFor([&] { return unit.receivedLines().size() >= 10; }, 10000));
        signalProcess(p, SIGINT);
    });
    QCOMPARE(run.exitCode, 130);
    QVERIFY2(run.errors.contains("interrupted at line"), qPrintable(run.errors));
    // Free at once for the next program.
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
    const QString lockName = QStringLiteral("/LCK..") + QString(device).replace('/', '_');
    for (const char* folder : {"/var/lock", "/run/lock", "/tmp"})
        QVERIFY(!QFile::exists(QLatin1String(folder) + lockName));
}

// --list-ports and --doctor see the pinned ports, including one that leads
// nowhere, and open nothing but the port named to the doctor.
void CliTest::portsListedAndExamined()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    linkComPort(2, QStringLiteral("/dev/ttyUSB77"));
    QProcess list;
    list.start(QStringLiteral(FIRMWARE_UPLOAD_PATH), {"ports", "--json"});
    QVERIFY(list.waitForFinished(10000));
    QCOMPARE(list.exitCode(), 0);
    const QJsonArray ports = QJsonDocument::fromJson(list.readAllStandardOutput()).array();
    QJsonObject com1, com2;
    for (const QJsonValue& p : ports) {
        if (p["device"].toString() == pty.slavePath())
            com1 = p.toObject();
        if (p["device"].toString() == QLatin1String("/dev/ttyUSB77"))
            com2 = p.toObject();
    }
    QCOMPARE(com1["com"].toArray(), QJsonArray{1});
    QCOMPARE(com1["pinnedBy"].toArray().size(), 1);
    QVERIFY(com1["mayOpen"].toBool());
    QVERIFY(!com2["exists"].toBool());

    const Run everything = upload({"doctor"});
    QCOMPARE(everything.exitCode, 1);
    QVERIFY2(everything.errors.isEmpty(), qPrintable(everything.errors));
    QProcess doctor;
    doctor.start(QStringLiteral(FIRMWARE_UPLOAD_PATH), {"doctor", "-p", "1"});
    QVERIFY(doctor.waitForFinished(10000));
    const QString said = QString::fromLocal8Bit(doctor.readAllStandardOutput());
    QVERIFY2(said.contains(QStringLiteral("1: opened and closed with 38400,N,8,1")),
             qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("Com2 is pinned to /dev/ttyUSB77, which does not exist")),
             qPrintable(said));
    // Nothing was left locked.
    const int fd = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

// Started before its adaptor exists, the station flashes the unit once it
// is there, and ends on Ctrl+C with the port released.
void CliTest::stationUntilCtrlC()
{
    const QString path = srecords("station.s19", 20);
    const QString link = tempFolder() + "/usb-Tarvel_IR_adaptor-if00-port0";
    const QString record = tempFolder() + "/units.jsonl";
    VirtualUnit unit;
    const Run run =
        upload({"station", path, "-p", link, "--record", record, "-q"}, [&](QProcess& p) {
            pump(1500);
            const QString device = unit.start(0, {"--prompt-interval", "50"});
            QVERIFY(QFile::link(device, link));
            QVERIFY(waitFor([&] { return QFile(record).size() > 0; }, 10000));
            pump(500);
            signalProcess(p, SIGINT);
        });
    QCOMPARE(run.exitCode, 130);
    QVERIFY2(run.errors.contains(link + ": waiting for the adaptor: " + link + " does not exist"),
             qPrintable(run.errors));
    QVERIFY2(run.errors.contains(link + ": pass, 22 lines"), qPrintable(run.errors));
    QVERIFY2(run.errors.contains("1 passed, 0 failed"), qPrintable(run.errors));
    const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

// Thirty-two slots whose units come and go, the station ended by SIGTERM
// mid-run: every record line is whole and has an id of its own, every unit
// that began is recorded once, and every pass is a unit that got the file.
void CliTest::thirtyTwoSlotsUntilSigterm()
{
    const QString path = srecords("many.s19", 28);
    const QVector<QByteArray> lines = fileLines(path);
    const QString record = tempFolder() + "/many.jsonl";
    QFile::remove(record);
    std::vector<std::unique_ptr<VirtualUnit>> units;
    QStringList devices;
    QStringList arguments{"station", path, "--record", record, "--next-after", "0.3", "-q"};
    for (int i = 0; i < 32; ++i) {
        units.push_back(std::make_unique<VirtualUnit>());
        // Units placed at times of their own, so some are always under way.
        devices << units.back()->start(
            0, {"--prompt-interval", "50", "--next-unit-after", QString::number(400 + 23 * i)});
        QVERIFY(!devices.last().isEmpty());
        arguments << "-p" << devices.last();
    }
    const Run run = upload(arguments, [&](QProcess& p) {
        QVERIFY(waitFor([&] { return records(record).size() >= 64; }, 40000));
        signalProcess(p, SIGTERM);
    });
    QVERIFY2(run.exitCode == 143 || run.exitCode == 1, qPrintable(run.errors.right(2000)));
    pump(200); // the units write what they received every 50 ms

    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray all = file.readAll();
    QVERIFY(all.endsWith('\n'));
    QSet<QString> ids;
    QHash<QString, QVector<QJsonObject>> bySlot;
    for (const QByteArray& line : all.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonObject r = QJsonDocument::fromJson(line, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
        ids.insert(r["id"].toString());
        bySlot[r["slot"].toString()].append(r);
    }
    QCOMPARE(ids.size(), int(all.count('\n')));
    int interrupted = 0;
    for (int i = 0; i < 32; ++i) {
        const QVector<QJsonObject>& got = bySlot.value(devices[i]);
        const QVector<QByteArray> received = units[size_t(i)]->receivedLines();
        // Each unit begins with the file's first line.
        QCOMPARE(int(received.count(lines.first())), int(got.size()));
        for (const QJsonObject& r : got) {
            if (r["result"].toString() == "pass")
                QCOMPARE(r["lines_sent"].toInt(), int(lines.size()));
            interrupted += r["result"].toString() == "interrupted" ? 1 : 0;
            if (r["result"].toString() == "interrupted")
                QCOMPARE(r["reason"].toString(), QStringLiteral("SIGTERM"));
        }
    }
    QVERIFY(interrupted > 0); // some were under way
}

void CliTest::repeatTakesUnitAfterUnit_data()
{
    QTest::addColumn<QStringList>("unit");
    QTest::addColumn<int>("units"); // flashed within the run
    // Prompting on after its end record: the same unit, never flashed twice.
    QTest::newRow("a unit that keeps prompting") << QStringList{"--prompt-interval", "100"} << 1;
    QTest::newRow("units taken away and placed")
        << QStringList{"--prompt-interval", "100", "--next-unit-after", "1500"} << 2;
}

// --repeat takes units as a station does: the next prompt is a new unit
// only once the port has been quiet for --next-after seconds.
void CliTest::repeatTakesUnitAfterUnit()
{
    QFETCH(QStringList, unit);
    QFETCH(int, units);
    const QString path = srecords("repeat.s19", 20);
    VirtualUnit simulated;
    QVERIFY(!simulated.start(1, unit).isEmpty());
    const Run run = upload(
        {"send", path, "-p", "1", "--repeat", "--next-after", "0.8", "-q"}, [&](QProcess& p) {
            QVERIFY(waitFor(
                [&] { return simulated.receivedLines().size() >= units * fileLines(path).size(); },
                20000));
            // Long enough for a second unit, were it taken.
            pump(units == 1 ? 2500 : 300);
            signalProcess(p, SIGINT);
        });
    QCOMPARE(run.exitCode, 130);
    QVector<QByteArray> expected;
    for (int i = 0; i < units; ++i)
        expected += fileLines(path);
    if (units == 1) {
        QCOMPARE(run.errors.count(": done, 22 lines"), 1);
        QCOMPARE(simulated.receivedLines(), expected);
    } else {
        QVERIFY2(run.errors.count(": done, 22 lines") >= units, qPrintable(run.errors));
        QCOMPARE(simulated.receivedLines().mid(0, expected.size()), expected);
    }
}

// Another build put in the file's place ends the run with exit code 3 once
// the next unit comes, whatever the file or its folder is called.
void CliTest::stationEndsOnAReplacedFile()
{
    QVERIFY(QDir().mkpath(tempFolder() + "/records"));
    const QString path = srecords("records/record.s19", 20);
    const QString record = tempFolder() + "/replaced.jsonl";
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "1000"});
    const Run run =
        upload({"station", path, "-p", device, "--next-after", "0.6", "--record", record, "-q"},
               [&](QProcess&) {
                   QVERIFY(waitFor([&] { return QFile(record).size() > 0; }, 10000));
                   QFile f(path);
                   QVERIFY(f.open(QIODevice::Append));
                   f.write("S5030001FB\n");
               });
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.errors.contains("changed on disk"), qPrintable(run.errors));
    QVERIFY2(run.errors.contains("1 passed, 0 failed"), qPrintable(run.errors));
}

// A record on a small filesystem that fills up: the line that does not fit
// is taken back whole and printed on standard error, new units stop, and
// the file holds whole lines only, one for every unit but the last.
void CliTest::recordOnAFullDisk()
{
    if (QStandardPaths::findExecutable("unshare").isEmpty() || ::geteuid() != 0)
        QSKIP("needs unshare and root for a tmpfs of its own");
    const QString path = srecords("full.s19", 20);
    const QString small = tempFolder() + "/small";
    QVERIFY(QDir().mkpath(small));
    const QString copy = tempFolder() + "/full-copy.jsonl";
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "1000"});
    // The filesystem exists in the station's mount namespace only; its
    // record is copied out once the station has ended.
    const QString script = QStringLiteral(
        "mount -t tmpfs -o size=8k tmpfs \"$1\" || exit 99; shift; out=\"$1\"; shift; "
        "\"$@\"; code=$?; cp \"$(dirname \"$out\")/small/units.jsonl\" \"$out\"; exit $code");
    QProcess p;
    p.start("unshare",
            {"-m", "sh", "-c", script, "sh", small, copy, FIRMWARE_UPLOAD_PATH, "station", path,
             "-p", device, "--next-after", "0.6", "--record", small + "/units.jsonl", "-q"});
    QVERIFY(p.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(p.readAllStandardError());
    if (p.exitCode() == 99)
        QSKIP("no tmpfs could be mounted here");
    QCOMPARE(p.exitCode(), 2);
    QVERIFY2(errors.contains("could not be written: the disk is full"), qPrintable(errors));
    QFile record(copy);
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QByteArray text = record.readAll();
    QVERIFY(text.endsWith('\n'));
    const QVector<QJsonObject> kept = records(copy);
    QCOMPARE(kept.size(), text.count('\n'));
    // The unit whose line did not fit: printed whole.
    QJsonObject printed;
    for (const QString& line : errors.split('\n')) {
        if (line.startsWith('{'))
            printed = QJsonDocument::fromJson(line.toUtf8()).object();
    }
    QCOMPARE(printed["result"].toString(), QStringLiteral("pass"));
    QCOMPARE(printed["lines_sent"].toInt(), 22);
    QVERIFY2(errors.contains(QStringLiteral("%1 passed, 0 failed").arg(kept.size() + 1)),
             qPrintable(errors));
}

// A link and its device are one adaptor: refused at the start.
void CliTest::oneDeviceByTwoNames()
{
    Pty pty;
    const QString link = tempFolder() + "/usb-Tarvel_IR-twice";
    QVERIFY(QFile::link(pty.slavePath(), link));
    linkComPort(1, pty.slavePath());
    const QString path = srecords("twice.s19", 4);
    for (const QStringList& ports :
         {QStringList{"-p", pty.slavePath(), "-p", "1"}, QStringList{"-p", link, "-p", "1"}}) {
        const Run run = upload(QStringList{"station", path, "-q"} + ports);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errors.contains(QStringLiteral("%1 and Com1 are the same device (%2)")
                                         .arg(ports[1], pty.slavePath())),
                 qPrintable(run.errors));
    }
}

// A station killed mid-unit has used up that unit's number: started again
// on the same record and state, the next unit gets the next number, and the
// record and the summary say which.
void CliTest::serialNumberBurnedByAKill()
{
    const QString path = srecords("serial.s19", 300);
    const QString record = tempFolder() + "/serial.jsonl";
    QFile::remove(record);
    QFile::remove(record + ".serial");
    const QStringList station{"station",        path,   "--record", record, "--serial", "0x40E:4",
                              "--serial-start", "1000", "-q"};
    {
        VirtualUnit unit;
        const QString device = unit.start(0, {"--prompt-interval", "50"});
        const Run killed = upload(station + QStringList{"-p", device}, [&](QProcess& p) {
            QVERIFY(waitFor([&] { return unit.receivedLines().size() >= 20; }, 10000));
            signalProcess(p, SIGKILL);
        });
        QCOMPARE(killed.exitCode, -1);
        QCOMPARE(records(record).size(), 0);
    }
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50"});
    const Run again = upload(station + QStringList{"-p", device}, [&](QProcess& p) {
        QVERIFY(waitFor([&] { return QFile(record).size() > 0; }, 20000));
        signalProcess(p, SIGTERM);
    });
    QCOMPARE(again.exitCode, 143);
    const QVector<QJsonObject> got = records(record);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0]["result"].toString(), QStringLiteral("pass"));
    QCOMPARE(got[0]["serial"]["number"].toInteger(), 1001);
    QCOMPARE(got[0]["serial"]["address"].toString(), QStringLiteral("0x040E"));
    QCOMPARE(got[0]["serial"]["bytes"].toString(), QStringLiteral("E9030000"));
    // What the unit got, put together, is the file with 1001 put in as srecord puts it.
    if (!QStandardPaths::findExecutable("srec_cmp").isEmpty()) {
        pump(200); // the unit writes what it received every 50 ms
        QByteArray sent;
        for (const QByteArray& line : unit.receivedLines())
            sent += line + '\n';
        const QString expected = tempFolder() + "/serial-1001.srec";
        QCOMPARE(QProcess::execute("srec_cat", {"(", path, "-exclude", "0x40E", "0x412", ")",
                                                "-generate", "0x40E", "0x412", "-constant-l-e",
                                                "1001", "4", "-o", expected}),
                 0);
        QCOMPARE(QProcess::execute("srec_cmp", {writeFile("serial-sent.s19", sent), expected}), 0);
    }
    QProcess summary;
    summary.start(QStringLiteral(FIRMWARE_UPLOAD_PATH), {"summary", record});
    QVERIFY(summary.waitForFinished(10000));
    const QString text = QString::fromUtf8(summary.readAllStandardOutput());
    QVERIFY2(text.contains(": 1001 to 1001, 1 used"), qPrintable(text));
}

// Units flashed at once each get a number of their own.
void CliTest::gangGetsANumberEach()
{
    const QString path = srecords("gang.s19", 60);
    const QString state = tempFolder() + "/gang.serial";
    QFile::remove(state);
    VirtualUnit units[3];
    QStringList arguments{path, "--serial", "0x10:2:be", "--serial-state", state, "-q"};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!units[i].start(i + 1, {}).isEmpty());
        arguments << "-p" << QString::number(i + 1);
    }
    const Run run = upload(arguments);
    QCOMPARE(run.exitCode, 0);
    pump(150);
    QSet<QByteArray> numbers;
    for (VirtualUnit& u : units) {
        const QVector<QByteArray> got = u.receivedLines();
        QCOMPARE(got.size(), 62);
        numbers.insert(got[2].mid(8, 4)); // bytes 0x10 and 0x11, in the second data record
    }
    QCOMPARE(numbers, (QSet<QByteArray>{"0001", "0002", "0003"}));
    QVERIFY2(run.errors.contains(", serial 3"), qPrintable(run.errors));
    QString why;
    QCOMPARE(UnitNumbering::readNextSerial(state, &why), std::optional<quint64>(4));
}

CORE_TEST_MAIN(CliTest)
#include "tst_cli.moc"
