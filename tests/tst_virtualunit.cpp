// The simulated unit: how it frames lines, what it answers, and that it
// survives the port being closed and opened again.

#include "coresupport.h"
#include "serial/portresolver.h"
#include "unitprotocol.h"

#include <QFileInfo>

#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// The loader's end of the unit's pseudo-terminal, opened like a serial port.
class Terminal
{
public:
    explicit Terminal(const QString& device)
    {
        m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios raw{};
        ::tcgetattr(m_fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_fd, TCSANOW, &raw);
    }
    ~Terminal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void send(const QByteArray& bytes)
    {
        QCOMPARE(::write(m_fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray readFor(int count, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && timer.elapsed() < timeoutMs) {
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            else
                QTest::qSleep(2);
        }
        return got;
    }
    void drain() { readFor(1 << 20, 50); }

private:
    int m_fd = -1;
};

// A valid S1 record with `data` at `address`.
QByteArray srecord(quint16 address, const QByteArray& data, bool breakChecksum = false)
{
    QByteArray body;
    body.append(char(data.size() + 3));
    body.append(char(address >> 8));
    body.append(char(address & 0xff));
    body.append(data);
    unsigned sum = 0;
    for (char c : body)
        sum += uchar(c);
    quint8 checksum = quint8(~sum & 0xff);
    if (breakChecksum)
        checksum ^= 0x01;
    body.append(char(checksum));
    return "S1" + body.toHex().toUpper();
}

} // namespace

class VirtualUnitTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void srecordChecks_data();
    void srecordChecks();
    void framerCutsRecordsAndText();

    void answersByChecksum();
    void promptsWhileWaiting();
    void silentAfterLines();
    void rejectsAtRandomWithSeed();
    void survivesReopen();
    void linksAsComPort();
};

void VirtualUnitTest::srecordChecks_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("looks");
    QTest::addColumn<bool>("valid");
    QTest::newRow("good S1") << srecord(0x1000, "\x01\x02\x03") << true << true;
    QTest::newRow("bad checksum") << srecord(0x1000, "\x01\x02\x03", true) << true << false;
    QTest::newRow("objcopy header") << QByteArray("S0090000742E73726563A7") << true << true;
    QTest::newRow("end record") << QByteArray("S90323D009") << true << true;
    QTest::newRow("lower-case hex")
        << srecord(0x2000, "\xAB").toLower().replace("s1", "S1") << true << true;
    QTest::newRow("short") << srecord(0x1000, "\x01\x02").left(10) << true << false;
    QTest::newRow("not hex") << QByteArray("S1050000ZZ00") << true << false;
    QTest::newRow("plain text") << QByteArray("hello") << false << false;
    QTest::newRow("S without count") << QByteArray("Sx12") << false << false;
}

void VirtualUnitTest::srecordChecks()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, looks);
    QFETCH(bool, valid);
    const std::string s = line.toStdString();
    QCOMPARE(unit::looksLikeSrecord(s), looks);
    QCOMPARE(unit::srecordValid(s), valid);
}

void VirtualUnitTest::framerCutsRecordsAndText()
{
    unit::LineFramer framer(30);
    const QByteArray a = srecord(0x10, "abc"), b = srecord(0x20, "defg");
    const QByteArray both = a + b;
    framer.feed(both.constData(), 5, 0);
    QVERIFY(!framer.take(1));
    framer.feed(both.constData() + 5, size_t(both.size() - 5), 2);
    QCOMPARE(QByteArray::fromStdString(*framer.take(3)), a);
    QCOMPARE(QByteArray::fromStdString(*framer.take(3)), b);
    QVERIFY(framer.empty());

    // Other text ends only after the silence.
    framer.feed("hel", 3, 100);
    framer.feed("lo\xff", 3, 110);
    QVERIFY(!framer.take(139));
    QCOMPARE(framer.silenceDeadline(), 140.0);
    QCOMPARE(QByteArray::fromStdString(*framer.take(140)), QByteArray("hello\xff"));
}

void VirtualUnitTest::answersByChecksum()
{
    VirtualUnit unit;
    const QString device = unit.start(1, {"--prompt-interval", "0"});
    QVERIFY(!device.isEmpty());
    Terminal port(device);
    QVERIFY(port.isOpen());

    const QByteArray good = srecord(0x100, "\x10\x20\x30\x40");
    port.send(good.left(7));
    QTest::qSleep(5);
    port.send(good.mid(7)); // one record in two writes
    QCOMPARE(port.readFor(1, 2000), QByteArray("*"));

    port.send(srecord(0x104, "\x50", true));
    QCOMPARE(port.readFor(1, 2000), QByteArray("+"));

    port.send("plain text line");
    QCOMPARE(port.readFor(1, 2000), QByteArray("*"));

    QByteArray eightBit;
    for (int b = 0x80; b < 0x100; ++b)
        eightBit.append(char(b));
    eightBit.append('\x1a');
    port.send(eightBit);
    QCOMPARE(port.readFor(1, 2000), QByteArray("*"));

    // Two records in one write get two answers.
    port.send(srecord(0x200, "\x01") + srecord(0x201, "\x02"));
    QCOMPARE(port.readFor(2, 2000), QByteArray("**"));

    QTRY_COMPARE(unit.receivedLines().size(), 6);
    const QVector<QByteArray> lines = unit.receivedLines();
    QCOMPARE(lines[0], good);
    QCOMPARE(lines[2], QByteArray("plain text line"));
    QCOMPARE(lines[3], eightBit);
    QCOMPARE(unit.answers(), (QVector<QByteArray>{"*", "+", "*", "*", "*", "*"}));
}

void VirtualUnitTest::promptsWhileWaiting()
{
    VirtualUnit unit;
    const QString device = unit.start(1, {"--prompt-interval", "40"});
    Terminal port(device);
    port.drain();
    const QByteArray prompts = port.readFor(4, 2000);
    QCOMPARE(prompts, QByteArray("++++"));
    // A line in progress holds the prompts back until it is answered.
    port.drain();
    port.send("no end yet");
    const QByteArray answer = port.readFor(1, 2000);
    QCOMPARE(answer, QByteArray("*"));
}

void VirtualUnitTest::silentAfterLines()
{
    VirtualUnit unit;
    const QString device = unit.start(1, {"--prompt-interval", "30", "--silent-after", "2"});
    Terminal port(device);
    port.drain();
    port.send(srecord(1, "a"));
    QVERIFY(port.readFor(1, 1000).endsWith('*'));
    port.send(srecord(2, "b"));
    QVERIFY(port.readFor(1, 1000).endsWith('*'));
    port.send(srecord(3, "c"));
    port.drain();
    QCOMPARE(port.readFor(1, 400), QByteArray()); // neither answers nor prompts
    QTRY_COMPARE(unit.receivedLines().size(), 3);
}

void VirtualUnitTest::rejectsAtRandomWithSeed()
{
    auto run = [](const QStringList& options) {
        VirtualUnit unit;
        Terminal port(unit.start(1, options));
        QByteArray answers;
        for (int i = 0; i < 40; ++i) {
            port.send(srecord(quint16(i), "x"));
            answers += port.readFor(1, 1000);
        }
        return answers;
    };
    const QStringList options = {"--prompt-interval", "0", "--reject-rate", "0.5", "--seed", "7"};
    const QByteArray first = run(options);
    QCOMPARE(first.size(), 40);
    QVERIFY(first.count('+') > 5 && first.count('*') > 5);
    QCOMPARE(run(options), first);

    const QByteArray bursts = run({"--prompt-interval", "0", "--burst", "*+", "--burst-rate", "1"});
    QCOMPARE(bursts, QByteArray("*+").repeated(40));
}

void VirtualUnitTest::survivesReopen()
{
    VirtualUnit unit;
    const QString device = unit.start(1, {"--prompt-interval", "0"});
    for (int round = 0; round < 5; ++round) {
        Terminal port(device);
        port.send(srecord(quint16(round), "r"));
        QCOMPARE(port.readFor(1, 2000), QByteArray("*"));
    }
    QTRY_COMPARE(unit.receivedLines().size(), 5);
}

void VirtualUnitTest::linksAsComPort()
{
    VirtualUnit unit;
    const QString device = unit.start(3, {});
    QCOMPARE(QFileInfo(PortResolver::linkPath(3)).symLinkTarget(), device);
    unit.stop();
    QVERIFY(!QFileInfo(PortResolver::linkPath(3)).isSymLink()); // removed on exit
}

CORE_TEST_MAIN(VirtualUnitTest)
#include "tst_virtualunit.moc"
