// The firmware file check, judged against srecord's srec_cat on damaged
// copies of real S19, S28, S37 and Intel HEX files: every damage srecord
// calls an error must be an error here, on the same line.

#include "coresupport.h"
#include "upload/firmwarecheck.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <random>

using namespace TestSupport;

namespace {

QByteArray hex2(int value)
{
    return QByteArray::number(value & 0xff, 16).rightJustified(2, '0').toUpper();
}

// The record with its checksum made right again, for damage that must not
// show as a checksum error.
QByteArray withChecksum(QByteArray record, bool intel)
{
    record.chop(2);
    int sum = 0;
    for (int i = intel ? 1 : 2; i + 1 < record.size(); i += 2)
        sum += record.mid(i, 2).toInt(nullptr, 16);
    return record + hex2(intel ? -sum : ~sum);
}

bool isData(const QByteArray& r, bool intel)
{
    return intel ? r.startsWith(":") && r.mid(7, 2) == "00" && r.size() > 13
                 : r.size() > 12 && r[0] == 'S' && r[1] >= '1' && r[1] <= '3';
}

// The lines on which srec_cat finds errors, warnings left aside; nothing
// when it cannot be run.
std::optional<QSet<int>> judge(const QString& path, bool intel)
{
    QProcess p;
    QStringList arguments{path};
    if (intel)
        arguments << "-Intel";
    arguments << "-o"
              << "/dev/null";
    p.start("srec_cat", arguments);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    QSet<int> lines;
    static const QRegularExpression at(QStringLiteral(": (\\d+): (.*)$"));
    const auto errors = QString::fromLocal8Bit(p.readAllStandardError()).split('\n');
    for (const QString& e : errors) {
        const QRegularExpressionMatch m = at.match(e);
        if (m.hasMatch() && !m.captured(2).startsWith("warning"))
            lines << m.captured(1).toInt();
    }
    if (p.exitCode() != 0 && lines.isEmpty())
        lines << -1; // an error without a line: never matched here
    return lines;
}

QSet<int> ourErrors(const QString& path)
{
    QString why;
    const auto check = FirmwareCheck::of(path, &why);
    QSet<int> lines;
    if (check) {
        for (const FirmwareCheck::Problem& p : check->problems)
            lines << p.line;
    }
    return lines;
}

QString describe(const QSet<int>& lines)
{
    QList<int> sorted(lines.begin(), lines.end());
    std::sort(sorted.begin(), sorted.end());
    QStringList parts;
    for (int l : sorted)
        parts << QString::number(l);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

} // namespace

class FileCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void agreesWithSrecord_data();
    void agreesWithSrecord();
    void findings_data();
    void findings();
};

void FileCheckTest::agreesWithSrecord_data()
{
    QTest::addColumn<QStringList>("objcopy");
    QTest::addColumn<bool>("intel");
    QTest::newRow("S19") << QStringList{"-O", "srec"} << false;
    QTest::newRow("S28") << QStringList{"-O", "srec", "--change-addresses", "0x10000"} << false;
    QTest::newRow("S37") << QStringList{"-O", "srec", "--srec-forceS3"} << false;
    QTest::newRow("Intel HEX") << QStringList{"-O", "ihex", "--change-addresses", "0x10000"}
                               << true;
}

void FileCheckTest::agreesWithSrecord()
{
    QFETCH(QStringList, objcopy);
    QFETCH(bool, intel);
    if (QStandardPaths::findExecutable("srec_cat").isEmpty())
        QSKIP("needs srecord's srec_cat (scripts/test.sh installs it)");
    const QString original = tempFolder() + "/real." + (intel ? "hex" : "srec");
    QVERIFY(makeRecordFile(realBinaryBytes(16 * 300), original, objcopy));
    QFile f(original);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = f.readAll().split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1); // objcopy ends its lines with CR LF; the mutants with LF
    }
    QCOMPARE(judge(original, intel), QSet<int>());
    QCOMPARE(ourErrors(original), QSet<int>());

    std::mt19937 random(QTest::currentDataTag()[1]);
    QVector<int> data;
    for (int i = 0; i < lines.size(); ++i) {
        if (isData(lines[i], intel))
            data << i;
    }
    auto anyData = [&] { return data[int(random() % data.size())]; };
    const int first = intel ? 9 : 4 + 2 * (lines[data[0]][1] - '0' + 1); // first data digit

    // Each kind of damage, three times at places chosen by the seed.
    const QStringList kinds = {"flipped data digit",
                               "wrong checksum",
                               "count too high",
                               "short record",
                               "not hexadecimal",
                               "unknown type",
                               "different bytes written twice",
                               "same bytes written twice",
                               intel ? "end-of-file record in the middle" : "wrong S5 count"};
    int agreed = 0;
    for (const QString& kind : kinds) {
        for (int round = 0; round < 3; ++round) {
            QList<QByteArray> mutant = lines;
            const int at = anyData();
            QByteArray& r = mutant[at];
            if (kind == "flipped data digit") {
                char& c = r[first + int(random() % (r.size() - first - 2))];
                c = c == '0' ? '1' : '0';
            } else if (kind == "wrong checksum") {
                r = r.left(r.size() - 2) + hex2(r.right(2).toInt(nullptr, 16) + 1);
            } else if (kind == "count too high") {
                const int pos = intel ? 1 : 2;
                r = withChecksum(r.left(pos) + hex2(r.mid(pos, 2).toInt(nullptr, 16) + 1) +
                                     r.mid(pos + 2),
                                 intel);
            } else if (kind == "short record") {
                r.chop(2);
            } else if (kind == "not hexadecimal") {
                r[first + int(random() % (r.size() - first))] = 'G';
            } else if (kind == "unknown type") {
                r = intel ? withChecksum(r.left(7) + "06" + r.mid(9), true) : "S4" + r.mid(2);
            } else if (kind.endsWith("written twice")) {
                QByteArray copy = r;
                if (kind.startsWith("different")) {
                    char& c = copy[first];
                    c = c == '0' ? '1' : '0';
                    copy = withChecksum(copy, intel);
                }
                // Later in the file, beyond any other extended address record.
                mutant.insert(at + 1, copy);
            } else if (kind == "wrong S5 count") {
                mutant.insert(at + 1, "S5030000FC"); // counts none
            } else {
                mutant.insert(at + 1, ":00000001FF");
            }
            const QString path = tempFolder() + "/mutant";
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(mutant.join('\n'));
            out.close();
            const auto theirs = judge(path, intel);
            QVERIFY(theirs);
            const QSet<int> ours = ourErrors(path);
            for (int line : *theirs) {
                QVERIFY2(ours.contains(line),
                         qPrintable(QStringLiteral("%1, round %2: srecord finds line %3, we find "
                                                   "%4")
                                        .arg(kind)
                                        .arg(round)
                                        .arg(line)
                                        .arg(describe(ours))));
            }
            if (kind == "same bytes written twice")
                QCOMPARE(ours, QSet<int>());
            // srecord stops reading at the end-of-file record; the unit would not.
            if (kind == "end-of-file record in the middle")
                QVERIFY(ours.contains(at + 2));
            agreed += theirs->isEmpty() ? 0 : 1;
        }
    }
    // Every other kind is an error to srecord as well.
    QCOMPARE(agreed, 3 * (kinds.size() - (intel ? 2 : 1)));
}

void FileCheckTest::findings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QStringList>("problems"); // "line: start of the text"
    QTest::addColumn<QString>("covers");
    const QByteArray s1a = "S1130000285F245F2212226A000424290008237C2A\n"; // 0000-000F
    const QByteArray s1b = "S11300100002000800082629001853812341001813\n"; // 0010-001F
    QTest::newRow("S5 counts the data records")
        << "S00600004844521B\n" + s1a + s1b + "S5030002FA\nS9030000FC\n"
        << QString() << QStringList() << "0000-001F";
    QTest::newRow("S5 count wrong")
        << s1a + "S5030002FA\nS9030000FC\n"
        << QString() << QStringList{"2: the record counts 2 data records, the file has 1"}
        << "0000-000F";
    QTest::newRow("S6 count wrong")
        << s1a + s1b + "S604000003F8\nS9030000FC\n"
        << QString() << QStringList{"3: the record counts 3 data records"} << "0000-001F";
    QTest::newRow("data outside the range")
        << s1a + s1b + "S9030000FC\n"
        << "0-0F" << QStringList{"2: data at 0010-001F lies outside the address range 0000-000F"}
        << "0000-001F";
    QTest::newRow("a different byte written twice")
        << s1a + "S1130000295F245F2212226A000424290008237C29\nS9030000FC\n"
        << QString() << QStringList{"2: writes 29 to address 0000, where line 1 wrote 28"}
        << "0000-000F";
    QTest::newRow("Intel HEX with an extended address")
        << QByteArray(":020000040001F9\n:0400000001020304F2\n:00000001FF\n") << QString()
        << QStringList() << "010000-010003";
    QTest::newRow("Intel HEX, type 04 of the wrong length")
        << QByteArray(":03000004000100F8\n:00000001FF\n") << QString()
        << QStringList{"1: a type 04 record has 2 bytes of data, not 3"} << QString();
    QTest::newRow("Intel HEX without its end")
        << QByteArray(":0400000001020304F2\n") << QString()
        << QStringList{"0: there is no end-of-file record"} << "0000-0003";
}

void FileCheckTest::findings()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, range);
    QFETCH(QStringList, problems);
    QFETCH(QString, covers);
    FirmwareCheck::Options options;
    if (!range.isEmpty())
        options.allowed = FirmwareCheck::parseRange(range);
    QString why;
    const auto check = FirmwareCheck::of(writeFile("findings", text), &why, options);
    QVERIFY2(check, qPrintable(why));
    const QString differ = problemsDiffer(*check, problems);
    QVERIFY2(differ.isEmpty(), qPrintable(differ));
    if (!covers.isEmpty())
        QCOMPARE(FirmwareCheck::describeRanges(check->ranges), covers);
}

CORE_TEST_MAIN(FileCheckTest)
#include "tst_filecheck.moc"
