// Serial numbers and per-unit data put into the image as it is sent, judged
// by srecord: the patched image must be the file with the same bytes put in
// by srec_cat, record for record; and the numbers handed out, never twice.

#include "coresupport.h"
#include "station/unitnumbering.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace TestSupport;

namespace {

bool haveSrecord()
{
    return !QStandardPaths::findExecutable("srec_cat").isEmpty();
}

// srec_cat `source` with `arguments` after it, written to `path` in the
// form `output` names (Motorola S-records when empty).
bool srecCat(const QString& source, const QStringList& arguments, const QString& path,
             const QStringList& output)
{
    QProcess p;
    p.start("srec_cat", QStringList{source} + arguments + QStringList{"-o", path} + output);
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

} // namespace

class NumberingTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void patchedAsSrecordPutsIt_data();
    void patchedAsSrecordPutsIt();
    void refusedAtTheStart_data();
    void refusedAtTheStart();
    void neverTheSameNumberTwice();
};

void NumberingTest::patchedAsSrecordPutsIt_data()
{
    QTest::addColumn<QString>("layout");  // srec_cat's output options for the file
    QTest::addColumn<QString>("serial");  // --serial
    QTest::addColumn<quint64>("number");  // the unit's number
    QTest::addColumn<QStringList>("put"); // srec_cat's generators of the same bytes
    QTest::addColumn<QString>("unitData");

    QTest::newRow("little-endian, across two records")
        << ""
        << "0x040E:4:le" << quint64(1000)
        << QStringList{"-generate", "0x40E", "0x412", "-constant-l-e", "1000", "4"} << QString();
    QTest::newRow("big-endian, S2 records")
        << "-address-length=3"
        << "0x0101:3:be" << quint64(0xABCDEF)
        << QStringList{"-generate", "0x101", "0x104", "-constant-b-e", "0xABCDEF", "3"}
        << QString();
    QTest::newRow("packed BCD, S3 records")
        << "-address-length=4"
        << "0x7F0:4:bcd" << quint64(12345678)
        << QStringList{"-generate", "0x7F0", "0x7F4", "-repeat-data",
                       "0x12",      "0x34",  "0x56",  "0x78"}
        << QString();
    QTest::newRow("ASCII digits, Intel HEX")
        << "-intel"
        << "0x20:6:ascii" << quint64(4711)
        << QStringList{"-generate", "0x20", "0x26", "-repeat-string", "004711"} << QString();
    QTest::newRow("a serial number and a line of unit data")
        << ""
        << "0x10:2:le" << quint64(7) << QStringList{"-generate", "0x10",
                                                    "0x12",      "-constant-l-e",
                                                    "7",         "2",
                                                    "-generate", "0x300",
                                                    "0x302",     "-repeat-data",
                                                    "0xC0",      "0xDE",
                                                    "-generate", "0x5FE",
                                                    "0x606",     "-repeat-data",
                                                    "1",         "2",
                                                    "3",         "4",
                                                    "5",         "6",
                                                    "7",         "8"}
        << "# keys made elsewhere\n\n0x300:C0DE 0x5FE:0102030405060708\n";
}

void NumberingTest::patchedAsSrecordPutsIt()
{
    QFETCH(QString, layout);
    QFETCH(QString, serial);
    QFETCH(quint64, number);
    QFETCH(QStringList, put);
    QFETCH(QString, unitData);
    if (!haveSrecord())
        QSKIP("needs srecord (scripts/test.sh installs it)");

    const QString plain = tempFolder() + "/plain.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(2048), plain));
    const bool intel = layout == "-intel";
    const QStringList format = intel ? QStringList{"-intel"} : QStringList();
    const QString file = tempFolder() + "/firmware" + (intel ? ".hex" : ".srec");
    QVERIFY(srecCat(plain, {}, file, QStringList{layout}.filter(QRegularExpression("."))));

    QString why;
    const auto firmware = FirmwareFile::read(file, {}, &why);
    QVERIFY2(firmware && firmware->check.passed(), qPrintable(why));
    UnitNumbering::Options o;
    o.serial = SerialFormat::parse(serial, &why);
    QVERIFY2(o.serial, qPrintable(why));
    o.start = number;
    o.statePath = tempFolder() + "/state";
    QFile::remove(o.statePath);
    if (!unitData.isEmpty())
        o.unitDataPath = writeFile("unit-data.txt", unitData.toUtf8());
    UnitNumbering numbering;
    QCOMPARE(numbering.open(o, *firmware, &why), UnitNumbering::Refusal::None);
    UnitValues own;
    QCOMPARE(numbering.take(&own, &why), UnitNumbering::Take::Taken);
    QCOMPARE(own.serial, number);
    const FirmwareImage unit = numbering.imageFor(own);

    // Every line keeps its length, and only the lines holding the bytes change.
    const QList<QByteArray> was = firmware->bytes.split('\n');
    const QList<QByteArray> now = unit.bytes.split('\n');
    QCOMPARE(now.size(), was.size());
    int changed = 0;
    for (int i = 0; i < was.size(); ++i) {
        QCOMPARE(now[i].size(), was[i].size());
        // Type, length and address as they were.
        const int kept = intel ? 9 : was[i].size() > 1 ? 4 + (was[i][1] - '0' + 1) * 2 : 0;
        QCOMPARE(now[i].left(kept), was[i].left(kept));
        changed += now[i] != was[i] ? 1 : 0;
    }
    QVERIFY(changed >= 1);
    QCOMPARE(FirmwareCheck::of(unit.bytes).problemCount, 0);

    const QString sent = writeFile("sent" + QString(intel ? ".hex" : ".srec"), unit.bytes);
    const QString expected = tempFolder() + "/expected.srec";
    // srec_cat's way: the file without those bytes, and the bytes made anew.
    QStringList excluded;
    for (int i = 0; i + 2 < put.size(); ++i) {
        if (put[i] == "-generate")
            excluded << "-exclude" << put[i + 1] << put[i + 2];
    }
    QVERIFY(
        srecCat("(", QStringList{file} + format + excluded + QStringList{")"} + put, expected, {}));
    QProcess compare;
    compare.start("srec_cmp", QStringList{sent} + format + QStringList{expected});
    QVERIFY(compare.waitForFinished(10000));
    QVERIFY2(compare.exitCode() == 0, compare.readAll().constData());
}

void NumberingTest::refusedAtTheStart_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("unitData");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("message");
    const int data = int(UnitNumbering::Refusal::Data);
    QTest::newRow("an address no record holds")
        << "0x9000:4" << QString() << data << "no data record of";
    QTest::newRow("a number one byte past the data")
        << "0x7FE:4" << QString() << data << "holds address 0x0800";
    QTest::newRow("a patch over the serial number")
        << "0x100:4"
        << "0x102:00FF\n"
        << data
        << "unit-data.txt:1: the patch at 0x0102 overlaps "
           "the serial number";
    QTest::newRow("five patches on one line") << ""
                                              << "0x10:00 0x20:00 0x30:00 0x40:00 0x50:00\n"
                                              << data << "5 patches, at most 4";
    QTest::newRow("not hexadecimal bytes") << ""
                                           << "# fine\n0x10:0G\n"
                                           << data << "unit-data.txt:2: \"0x10:0G\" is not";
    QTest::newRow("a state file that is no state")
        << "0x10:2" << QString() << int(UnitNumbering::Refusal::State) << "not next-serial=N";
}

void NumberingTest::refusedAtTheStart()
{
    QFETCH(QString, serial);
    QFETCH(QString, unitData);
    QFETCH(int, refusal);
    QFETCH(QString, message);
    const QString path = tempFolder() + "/refused.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(2048), path));
    QString why;
    const auto firmware = FirmwareFile::read(path, {}, &why);
    QVERIFY(firmware);
    UnitNumbering::Options o;
    if (!serial.isEmpty())
        o.serial = SerialFormat::parse(serial, &why);
    if (!unitData.isEmpty())
        o.unitDataPath = writeFile("unit-data.txt", unitData.toUtf8());
    o.statePath = refusal == int(UnitNumbering::Refusal::State)
                      ? writeFile("bad-state", "next-serial=twelve\n")
                      : tempFolder() + "/unused-state";
    QFile::remove(tempFolder() + "/unused-state");
    UnitNumbering numbering;
    QCOMPARE(int(numbering.open(o, *firmware, &why)), refusal);
    QVERIFY2(why.contains(message), qPrintable(why));
    // Nothing was kept for a run that never began.
    QVERIFY(!QFile::exists(tempFolder() + "/unused-state"));
}

// Each number once, across a run that ends and one that begins again from
// the state; the end stops new units; a window may raise the next number
// but never lower it.
void NumberingTest::neverTheSameNumberTwice()
{
    const QString path = tempFolder() + "/twice.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(512), path));
    QString why;
    const auto firmware = FirmwareFile::read(path, {}, &why);
    QVERIFY(firmware);
    UnitNumbering::Options o;
    o.serial = SerialFormat::parse("0x20:2:be", &why);
    o.start = 10;
    o.step = 5;
    o.end = 40;
    o.unitDataPath = writeFile("list.txt", "0x40:01\n#\n0x40:02\n0x40:03\n0x40:04\n0x40:05\n");
    o.statePath = tempFolder() + "/twice.serial";
    QFile::remove(o.statePath);
    QVector<quint64> numbers;
    QVector<int> lines;
    UnitValues own;
    {
        UnitNumbering first;
        QCOMPARE(first.open(o, *firmware, &why), UnitNumbering::Refusal::None);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(first.take(&own, &why), UnitNumbering::Take::Taken);
            numbers << own.serial;
            lines << own.unitDataLine;
        }
    }
    // Started again, even with a lower start: on from where the state is.
    o.start = 1;
    UnitNumbering again;
    QCOMPARE(again.open(o, *firmware, &why), UnitNumbering::Refusal::None);
    QCOMPARE(again.serialsLeft(), std::optional<quint64>(5));
    UnitNumbering::Take taken;
    while ((taken = again.take(&own, &why)) == UnitNumbering::Take::Taken) {
        numbers << own.serial;
        lines << own.unitDataLine;
    }
    QCOMPARE(taken, UnitNumbering::Take::UsedUp);
    QVERIFY2(why.contains("every line of the unit data list"), qPrintable(why));
    QCOMPARE(numbers, (QVector<quint64>{10, 15, 20, 25, 30}));
    QCOMPARE(lines, (QVector<int>{1, 3, 4, 5, 6}));

    QVERIFY(UnitNumbering::raiseNextSerial(o.statePath, 20, &why));
    QCOMPARE(UnitNumbering::readNextSerial(o.statePath, &why), std::optional<quint64>(35));
    QVERIFY(UnitNumbering::raiseNextSerial(o.statePath, 100, &why));
    QCOMPARE(UnitNumbering::readNextSerial(o.statePath, &why), std::optional<quint64>(100));
}

CORE_TEST_MAIN(NumberingTest)
#include "tst_numbering.moc"
