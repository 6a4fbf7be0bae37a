// Whole uploads against the simulated unit on a pseudo-terminal, through the
// real serial control: every line must reach the unit byte for byte, in
// order, and every line the unit rejects must be sent again.

#include "terminal/firmwareupload.h"
#include "terminal/frmcancelsend.h"
#include "terminal/frmterminal.h"
#include "testsupport.h"
#include "ui/formtimer.h"
#include "ui/terminaltext.h"
#include "upload/transcript.h"

#include <QPushButton>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <memory>

using namespace TestSupport;

namespace {

struct Rig {
    VirtualUnit unit;
    ScriptedBoxes boxes;
    ScriptedFileDialog files;
    FakeClock clock;
    std::unique_ptr<frmTerminal> form;

    explicit Rig(const QStringList& unitOptions)
    {
        const QString device = unit.start(1, unitOptions);
        if (device.isEmpty())
            qFatal("the simulated unit did not start");
        form = std::make_unique<frmTerminal>();
        form->mnuOpen_Click();
    }
    ~Rig()
    {
        for (FormTimer* t : {form->Timer1, form->Timer2, form->Timer3, form->Timer4})
            t->stop();
    }
    FirmwareUpload& upload() { return form->upload(); }

    // Runs one upload of `path` to its end; false if it did not end in time.
    bool upload(const QString& path, int timeoutMs)
    {
        files.choices << path;
        form->mnuSendText_Click();
        return waitFor([&] { return !form->upload().sending(); }, timeoutMs);
    }
};

// The unit's record must replay the handshake: the loader sends the file's
// lines in order, the same line again after every "+", the next after "*".
// The last line is complete once sent, so its answer does not matter.
void checkReplay(const QVector<QByteArray>& file, VirtualUnit& unit, int expectedRejections = -1)
{
    QVERIFY(!file.isEmpty());
    QVERIFY2(waitFor(
                 [&] {
                     const auto got = unit.receivedLines();
                     return !got.isEmpty() && got.last() == file.last() &&
                            unit.answers().size() == got.size();
                 },
                 5000),
             "the last line never reached the unit");
    const QVector<QByteArray> got = unit.receivedLines();
    const QVector<QByteArray> answers = unit.answers();
    int index = 0, rejections = 0;
    for (int k = 0; k < got.size(); ++k) {
        QVERIFY2(index < file.size(),
                 qPrintable(QStringLiteral("line %1 sent after the last").arg(k)));
        if (got[k] != file[index]) {
            QFAIL(qPrintable(QStringLiteral("received line %1 is not line %2 of the file: %3 / %4")
                                 .arg(k)
                                 .arg(index)
                                 .arg(QString::fromLatin1(got[k].toHex()),
                                      QString::fromLatin1(file[index].toHex()))));
        }
        const char last = answers[k].isEmpty() ? '\0' : answers[k].back();
        if (last == '*') {
            ++index;
        } else {
            QCOMPARE(last, '+');
            if (k + 1 < got.size()) // a rejected line goes again, unless it was the last
                QCOMPARE(got[k + 1], got[k]);
            ++rejections;
        }
    }
    QVERIFY(index == file.size() || (index == file.size() - 1 && got.last() == file.last()));
    if (expectedRejections >= 0)
        QCOMPARE(rejections > 0, expectedRejections > 0);
}

QString srecordFile(const QString& name, int bytes)
{
    const QString path = tempFolder() + QLatin1Char('/') + name;
    if (!makeSrecordFile(realBinaryBytes(bytes), path))
        qFatal("objcopy could not make %s", qPrintable(name));
    return path;
}

QByteArray eightBitLines(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        QByteArray line;
        line.append(char(0x80 + random.bounded(0x80))); // never "S": framed by silence
        for (int j = 0; j < 40; ++j) {
            char c = char(random.bounded(256));
            if (c == '\n')
                c = '\x1a';
            line.append(c);
        }
        if (line.endsWith('\r'))
            line.back() = '\xff';
        text += line + "\n";
    }
    return text;
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetSeams(); }

    void randomRejectionsAreSentAgain();
    void burstsInOneRead_data();
    void burstsInOneRead();
    void noiseBeforeAnswers();
    void smallFiles_data();
    void smallFiles();
    void twoUploadsInARow();
    void stalePromptsBeforeTheFirstLine();
    void silentUnitThenCancel();
    void largeFileFromARealBinary();
};

void EndToEndTest::randomRejectionsAreSentAgain()
{
    Rig rig({"--prompt-only-before-upload", "--reject-rate", "0.3", "--seed", "11"});
    const QString path = srecordFile("rejects.s19", 16 * 400);
    QVERIFY(rig.upload(path, 60000));
    QVERIFY(rig.form->txtTerm->text().endsWith("\r\nDone.\r\n"));
    checkReplay(fileLines(path), rig.unit, 1);
    QCOMPARE(rig.boxes.requests.size(), 0);
}

void EndToEndTest::burstsInOneRead_data()
{
    QTest::addColumn<QString>("burst");
    QTest::newRow("+*") << "+*";
    QTest::newRow("*+") << "*+";
}

void EndToEndTest::burstsInOneRead()
{
    QFETCH(QString, burst);
    Rig rig(
        {"--prompt-only-before-upload", "--burst", burst, "--burst-rate", "0.3", "--seed", "5"});
    const QString path = srecordFile("bursts.s19", 16 * 300);
    QVERIFY(rig.upload(path, 60000));
    checkReplay(fileLines(path), rig.unit);
    const QVector<QByteArray> answers = rig.unit.answers();
    QVERIFY(answers.contains(burst.toLatin1()));
}

void EndToEndTest::noiseBeforeAnswers()
{
    Rig rig({"--prompt-only-before-upload", "--noise", "#?~\x01", "--noise-rate", "0.4",
             "--reject-rate", "0.1", "--seed", "9"});
    const QString path = srecordFile("noise.s19", 16 * 300);
    QVERIFY(rig.upload(path, 60000));
    checkReplay(fileLines(path), rig.unit);
    // Noise is shown nowhere.
    QVERIFY(!rig.form->txtTerm->text().contains('#'));
}

void EndToEndTest::smallFiles_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("one line") << QByteArray("S00600004844521B\n");
    QTest::newRow("one line without LF") << QByteArray("S00600004844521B");
    QTest::newRow("CR LF") << QByteArray(
        "S00600004844521B\r\nS1130000285F245F2212226A000424290008237C2A\r\n"
        "S5030001FB\r\nS9030000FC\r\n");
    QTest::newRow("eight-bit") << eightBitLines(20, 3);
    QTest::newRow("empty last line") << QByteArray("first\nlast\n\n");
    QTest::newRow("empty file") << QByteArray();
}

void EndToEndTest::smallFiles()
{
    QFETCH(QByteArray, contents);
    Rig rig({"--prompt-only-before-upload"});
    const QString path = writeFile(
        QStringLiteral("small-%1.txt").arg(QTest::currentDataTag()).replace(' ', '_'), contents);
    const QVector<QByteArray> file = fileLines(path);
    QVERIFY(rig.upload(path, 30000));
    if (file.isEmpty()) {
        // Nothing to send: said once, and the upload is over.
        QCOMPARE(rig.boxes.requests.size(), 1);
        QVERIFY(rig.boxes.texts().first().contains(QStringLiteral("is empty")));
        pump(300);
        QVERIFY(rig.unit.receivedLines().isEmpty());
        QVERIFY(!rig.form->txtTerm->text().contains("Done."));
        QVERIFY(rig.form->mnuSendText->isEnabled());
        return;
    }
    QCOMPARE(rig.boxes.requests.size(), 0);
    if (file.last().isEmpty()) {
        // An empty line is an empty send: nothing reaches the unit.
        QVERIFY(waitFor([&] { return rig.unit.receivedLines().size() == 2; }, 5000));
        QCOMPARE(rig.unit.receivedLines(), (QVector<QByteArray>{"first", "last"}));
    } else {
        checkReplay(file, rig.unit);
    }
    const QString transcript = rig.form->txtTerm->text();
    QVERIFY(transcript.endsWith("\r\nDone.\r\n"));
    for (const QByteArray& line : file)
        QVERIFY(transcript.contains(Transcript::fromBytes(line) + "\r\n"));
}

void EndToEndTest::twoUploadsInARow()
{
    Rig rig({"--prompt-interval", "400", "--reject-rate", "0.05", "--seed", "2"});
    const QString first = srecordFile("first.s19", 16 * 100);
    const QString second = writeFile("second.txt", "alpha\nbeta\ngamma\n");
    QVERIFY(rig.upload(first, 30000));
    checkReplay(fileLines(first), rig.unit);
    const int before = rig.unit.receivedLines().size();
    QVERIFY(rig.upload(second, 30000));
    QVERIFY(waitFor([&] { return rig.unit.receivedLines().size() >= before + 3; }, 5000));
    const QVector<QByteArray> got = rig.unit.receivedLines().mid(before);
    QCOMPARE(got.first(), QByteArray("alpha")); // nothing of the first file
    QCOMPARE(got.last(), QByteArray("gamma"));
    QCOMPARE(rig.form->txtTerm->text().count("Done."), 2);
}

// Prompts pile up while the file dialog is open and during the deaf second;
// read as replies they would put the loader one reply ahead, and a rejected
// line would never be sent again.
void EndToEndTest::stalePromptsBeforeTheFirstLine()
{
    Rig rig({"--prompt-interval", "50", "--prompt-only-before-upload", "--reject-rate", "0.3",
             "--seed", "21"});
    rig.clock.realPause = true;
    rig.files.whileOpen = [] { pump(300); };
    const QString path = srecordFile("stale.s19", 16 * 200);
    QVERIFY(rig.upload(path, 60000));
    checkReplay(fileLines(path), rig.unit, 1);
    QCOMPARE(fileLines(path).first(), rig.unit.receivedLines().first());
}

void EndToEndTest::silentUnitThenCancel()
{
    Rig rig({"--prompt-only-before-upload", "--silent-after", "5"});
    const QString path = srecordFile("silent.s19", 16 * 50);
    rig.files.choices << path;
    rig.form->mnuSendText_Click();
    QVERIFY(waitFor([&] { return rig.unit.receivedLines().size() == 6; }, 5000));
    // The unit says nothing more: the port-reset timer closes and reopens the
    // port every half second, and the upload waits without failing.
    pump(1300);
    QVERIFY(rig.upload().sending());
    QVERIFY(rig.form->MSComm1->PortOpen());
    QVERIFY(rig.form->Timer4->Enabled());
    QCOMPARE(rig.boxes.requests.size(), 0);
    QCOMPARE(rig.unit.receivedLines().size(), 6);

    rig.upload().cancelDialog()->Command1->click();
    QVERIFY(!rig.upload().sending());
    QVERIFY(!rig.form->Timer4->Enabled());
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QVERIFY(!rig.form->txtTerm->text().contains("Done."));
}

void EndToEndTest::largeFileFromARealBinary()
{
    Rig rig({"--prompt-only-before-upload", "--reject-rate", "0.01", "--seed", "4"});
    const QString path = srecordFile("large.s19", 16 * 20000);
    const QVector<QByteArray> file = fileLines(path);
    QVERIFY(file.size() >= 20000);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(rig.upload(path, 900000));
    const double seconds = timer.elapsed() / 1000.0;
    qInfo("%d lines in %.1f s (%.0f lines/s)", int(file.size()), seconds, file.size() / seconds);
    checkReplay(file, rig.unit, 1);
    QVERIFY(rig.form->txtTerm->length() < 16000 + 200); // bounded
    QVERIFY(rig.form->txtTerm->text().endsWith("\r\nDone.\r\n"));
}

LOADER_TEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
