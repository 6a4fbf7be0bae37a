// The upload protocol without a window or a port: scripts of the unit's
// replies and of what happens to the port, against the exact lines that go
// out and the exact transcript.

#include "coresupport.h"
#include "upload/uploadengine.h"

#include <QFile>

using namespace TestSupport;

namespace {

// Plays the port and the timers. Bytes the unit sends while receive events
// are off wait, as in a real port, and are read as one when they come back on.
struct Harness : UploadHost {
    UploadEngine engine{*this};
    QString transcript;
    QByteArrayList wire;
    QStringList problems;
    std::optional<UploadOutcome> outcome;
    UploadProgress last;
    QByteArray unread;
    bool receiveOn = true;
    bool pacingArmed = false;
    bool portResetRunning = false;
    bool portOpen = true;
    bool holding = false; // sends stay in the transmit buffer until drained
    bool queued = false;

    void showTraffic(const QString& text) override { transcript += text; }
    Status send(const QByteArray& line) override
    {
        if (!portOpen)
            return Status::failure(QStringLiteral("The port is not open."));
        wire << line;
        queued = holding;
        return Status::ok();
    }
    bool transmitBufferEmpty() override { return !queued; }
    void setReceiveEvents(bool on) override { receiveOn = on; }
    void discardInput() override { unread.clear(); }
    void armPacing() override { pacingArmed = true; }
    void restartPortReset() override { portResetRunning = true; }
    void stopPortReset() override { portResetRunning = false; }
    void progress(const UploadProgress& p) override { last = p; }
    void sendProblem(const QString& description) override { problems << description; }
    void ended(const UploadOutcome& o) override { outcome = o; }

    void deliver()
    {
        while (receiveOn && !unread.isEmpty()) {
            const int lastByte = uchar(unread.back());
            unread.clear();
            engine.HandshakeStep(lastByte);
        }
    }
    Status start(const QString& path, const QByteArray& before, const QByteArray& waiting)
    {
        engine.choose();
        for (char c : before) {
            unread = QByteArray(1, c);
            deliver();
        }
        unread = waiting; // came during the deaf pause
        QString why;
        const auto image = FirmwareImage::read(path, &why);
        if (!image)
            return Status::failure(why);
        const Status status = engine.sendFirstLine(*image);
        deliver();
        return status;
    }
    // Tokens: t pacing tick, d the line left, x the port dropped it, h hold
    // later lines in the buffer, o / O port closed / open, c Cancel; anything
    // else is one read of those bytes.
    void play(const QString& script)
    {
        const QStringList tokens = script.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& token : tokens) {
            if (token == QLatin1String("t")) {
                if (pacingArmed) {
                    pacingArmed = false;
                    engine.pacingTick();
                }
            } else if (token == QLatin1String("d") || token == QLatin1String("x")) {
                if (queued) {
                    queued = false;
                    engine.transmitSettled(token == QLatin1String("d"),
                                           QStringLiteral("closed before it was sent"));
                }
            } else if (token == QLatin1String("h")) {
                holding = true;
            } else if (token == QLatin1String("o") || token == QLatin1String("O")) {
                portOpen = token == QLatin1String("O");
            } else if (token == QLatin1String("c")) {
                engine.Cancel();
            } else {
                unread += token.toLatin1();
            }
            deliver();
        }
    }
    QString end() const
    {
        if (!outcome)
            return QString();
        switch (outcome->kind) {
        case UploadOutcome::Kind::Done:
            return QStringLiteral("done");
        case UploadOutcome::Kind::Cancelled:
            return QStringLiteral("cancelled");
        case UploadOutcome::Kind::Failed:
            return QStringLiteral("failed");
        }
        return QString();
    }
};

QString crlf(QString text)
{
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace

class EngineTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void scripts_data();
    void scripts();
    void fileChangedOnDiskMidUpload();
    void lineLengthLimit_data();
    void lineLengthLimit();
};

void EngineTest::scripts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("before");  // replies while the file is being chosen
    QTest::addColumn<QByteArray>("waiting"); // came during the pause before the first line
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("wire");       // lines sent, joined by "|"
    QTest::addColumn<QString>("transcript"); // "\n" stands for CR LF
    QTest::addColumn<QString>("end");        // empty: still running

    const QByteArray three = "L1\nL2\nL3\n";
    QTest::newRow("acknowledge, resend, one read")
        << three << QByteArray() << QByteArray() << "* t + t *+ t +* t"
        << "L1|L2|L2|L2|L3"
        << "L1\n*L2\n+L2\n+L2\n*L3\n\nDone.\n"
        << "done";
    QTest::newRow("prompt before any acknowledgement")
        << three << QByteArray() << QByteArray() << "+ t"
        << "L1|L1"
        << "L1\n+L1\n"
        << "";
    QTest::newRow("tick already came: sent at once")
        << three << QByteArray() << QByteArray() << "t *"
        << "L1|L2"
        << "L1\n*L2\n"
        << "";
    QTest::newRow("newest reply in the pacing wait: +")
        << three << QByteArray() << QByteArray() << "* + t"
        << "L1|L1"
        << "L1\n*+L1\n"
        << "";
    QTest::newRow("newest reply in the pacing wait: *")
        << three << QByteArray() << QByteArray() << "+ * t"
        << "L1|L2"
        << "L1\n+*L2\n"
        << "";
    QTest::newRow("other characters send nothing")
        << three << QByteArray() << QByteArray() << "# t ~ * ?"
        << "L1|L2"
        << "L1\n*L2\n"
        << "";
    QTest::newRow("replies while choosing") << three << QByteArray("*+*") << QByteArray() << ""
                                            << "L1"
                                            << "+L1\n"
                                            << "";
    QTest::newRow("stale prompts dropped") << three << QByteArray() << QByteArray("+++") << "t"
                                           << "L1"
                                           << "L1\n"
                                           << "";
    QTest::newRow("one-line file")
        << QByteArray("only\n") << QByteArray() << QByteArray() << "* t + t"
        << "only"
        << "only\n\nDone.\n"
        << "done";
    QTest::newRow("last line still leaving")
        << QByteArray("L1\nL2\n") << QByteArray() << QByteArray() << "h * t + t"
        << "L1|L2"
        << "L1\n*L2\n"
        << "";
    QTest::newRow("last line left")
        << QByteArray("L1\nL2\n") << QByteArray() << QByteArray() << "h * t d"
        << "L1|L2"
        << "L1\n*L2\n\nDone.\n"
        << "done";
    QTest::newRow("last line dropped")
        << QByteArray("L1\nL2\n") << QByteArray() << QByteArray() << "h * t x"
        << "L1|L2"
        << "L1\n*L2\n"
        << "failed";
    QTest::newRow("dropped line goes again")
        << three << QByteArray() << QByteArray() << "h * t x + t"
        << "L1|L2|L2"
        << "L1\n*L2\n+L2\n"
        << "";
    QTest::newRow("reply waits while its line leaves")
        << three << QByteArray() << QByteArray() << "h * t + d t"
        << "L1|L2|L2"
        << "L1\n*L2\n+L2\n"
        << "";
    QTest::newRow("empty line is an empty send")
        << QByteArray("A\n\nB\n") << QByteArray() << QByteArray() << "* t * t"
        << "A||B"
        << "A\n*\n*B\n\nDone.\n"
        << "done";
    QTest::newRow("cancel in the pacing wait")
        << three << QByteArray() << QByteArray() << "* c t * t"
        << "L1"
        << "L1\n*"
        << "cancelled";
    QTest::newRow("cancel while a line leaves")
        << three << QByteArray() << QByteArray() << "h * t c d + t"
        << "L1|L2"
        << "L1\n*L2\n"
        << "cancelled";
    QTest::newRow("closed port: the prompt brings it")
        << three << QByteArray() << QByteArray() << "o * t O + t"
        << "L1|L2"
        << "L1\n*L2\n+L2\n"
        << "";
    QTest::newRow("closed port for the last line")
        << QByteArray("L1\nL2\n") << QByteArray() << QByteArray() << "o * t"
        << "L1"
        << "L1\n*L2\n"
        << "failed";
    QTest::newRow("empty file") << QByteArray() << QByteArray() << QByteArray() << "* t"
                                << ""
                                << ""
                                << "cancelled";
}

void EngineTest::scripts()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, waiting);
    QFETCH(QString, script);
    QFETCH(QString, wire);
    QFETCH(QString, transcript);
    QFETCH(QString, end);

    Harness h;
    const QString path = writeFile(QStringLiteral("script.txt"), file);
    const Status started = h.start(path, before, waiting);
    QCOMPARE(started.failed(), file.isEmpty());
    h.play(script);

    QCOMPARE(QString::fromLatin1(h.wire.join('|')), wire);
    QCOMPARE(h.transcript, crlf(transcript));
    QCOMPARE(h.end(), end);
    // Whatever the end, nothing is left switched off or running.
    if (!end.isEmpty()) {
        QVERIFY(h.receiveOn);
        QVERIFY(!h.portResetRunning);
        QVERIFY(!h.engine.bSending);
        QVERIFY(h.engine.bStopSending);
        QVERIFY(!h.engine.tsFirmware.isOpen());
    } else {
        QVERIFY(h.engine.bSending);
        QVERIFY(h.portResetRunning);
    }
    if (end == QLatin1String("cancelled") && !file.isEmpty())
        QCOMPARE(h.engine.sCurrentLine, QByteArray("L3")); // the rest was read, not sent
    if (end == QLatin1String("failed"))
        QVERIFY(!h.outcome->message.isEmpty());
}

// What was read before the first line is what goes out, whatever happens
// to the file on disk meanwhile.
void EngineTest::fileChangedOnDiskMidUpload()
{
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "S1130000" + QByteArray::number(i).rightJustified(8, '0') + "\n";
    const QString path = writeFile(QStringLiteral("shrinking.s19"), text);
    Harness h;
    QVERIFY(h.start(path, {}, {}).isOk());
    h.play(QStringLiteral("* t * t"));
    QVERIFY(QFile::resize(path, 1000));
    writeFile(QStringLiteral("shrinking.s19"), QByteArray(text).replace('0', '7'));
    for (int i = 0; i < 3000 && !h.outcome; ++i)
        h.play(QStringLiteral("* t"));
    QCOMPARE(h.end(), QStringLiteral("done"));
    QVERIFY(h.transcript.endsWith(QStringLiteral("Done.\r\n")));
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(h.wire.size(), 3000);
    for (int i = 0; i < h.wire.size(); ++i)
        QCOMPARE(h.wire[i], lines[i]);
}

void EngineTest::lineLengthLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("examined");
    QTest::newRow("65,536 bytes is a line") << FirmwareStream::MaximumLineLength << true;
    QTest::newRow("one more is not") << FirmwareStream::MaximumLineLength + 1 << false;
}

void EngineTest::lineLengthLimit()
{
    QFETCH(int, length);
    QFETCH(bool, examined);
    const QByteArray line(length, 'A');
    const QString path = writeFile(QStringLiteral("long.txt"), "S0\r\n" + line + "\r\nS9\n");
    QString why;
    const auto image = FirmwareImage::read(path, &why);
    QVERIFY(image);
    const FirmwareImage::Facts* facts = &image->facts;
    QCOMPARE(facts->lines, 3);
    QCOMPARE(facts->longestLine, length);
    QCOMPARE(facts->longestLineNumber, 2);
    QCOMPARE(facts->longestLine <= FirmwareStream::MaximumLineLength, examined);
    if (!examined)
        return;
    Harness h;
    QVERIFY(h.start(path, {}, {}).isOk());
    h.play(QStringLiteral("* t"));
    QCOMPARE(h.wire.size(), 2);
    QCOMPARE(h.wire[1], line);
}

CORE_TEST_MAIN(EngineTest)
#include "tst_engine.moc"
