// The serial control against pseudo-terminals, the port-number resolution and
// the settings store.

#include "coresupport.h"
#include "serial/applicationtitle.h"
#include "serial/commsettings.h"
#include "serial/doctor.h"
#include "serial/mscomm.h"
#include "serial/portresolver.h"
#include "serial/portsettingsstore.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

class FakeCounters : public LineCounterSource
{
public:
    explicit FakeCounters(LineCounters* counters) : m_counters(counters) {}
    std::optional<LineCounters> read(qintptr) override { return *m_counters; }

private:
    LineCounters* m_counters;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class SerialTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void settingsAccepted_data();
    void settingsAccepted();
    void settingsRefused_data();
    void settingsRefused();
    void settingsWhileOpen();
    void openRefusesWhatTheDeviceCannotDo();
    void openAndClose();
    void missingDevice();
    void deviceInUse();
    void permissionAndBusyTexts_data();
    void permissionAndBusyTexts();
    void staleLockFileFound();
    void lockedUnderTheDeviceName();
    void portNumberRange();
    void everyByteValueArrivesUnaltered();
    void receiveThresholdHoldsAndReleasesEvents();
    void outBufferCountDrains();
    void modemLinesOnPseudoTerminal();
    void lineErrorCountersRaiseEvents();
    void hangUpClosesOnceWithoutSpinning();

    void doctorFindings_data();
    void doctorFindings();
    void resolverLinksAndFiles();
    void resolverEnumerationOrder();
    void heldDeviceIsOpenedAgain_data();
    void heldDeviceIsOpenedAgain();

    void storeRoundTrip();
    void storeHandEditedValues();
    void integerConversions_data();
    void integerConversions();
    void booleanConversion_data();
    void booleanConversion();
};

void SerialTest::settingsAccepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reported");
    QTest::newRow("default") << "38400,N,8,1"
                             << "38400,n,8,1";
    QTest::newRow("lowest speed, even, 7, 2") << "110,E,7,2"
                                              << "110,e,7,2";
    QTest::newRow("highest speed, mark, 5, 1.5") << "256000,M,5,1.5"
                                                 << "256000,m,5,1.5";
    QTest::newRow("non-standard 14400 space") << "14400,s,8,1"
                                              << "14400,s,8,1";
    QTest::newRow("56000 odd, 4 data bits") << "56000,o,4,1"
                                            << "56000,o,4,1";
    QTest::newRow("128000") << "128000,n,6,2"
                            << "128000,n,6,2";
    QTest::newRow("blanks around fields") << " 9600 , n , 8 , 1 "
                                          << "9600,n,8,1";
}

void SerialTest::settingsAccepted()
{
    QFETCH(QString, text);
    QFETCH(QString, reported);
    MSComm port;
    const Status s = port.setSettings(text);
    QVERIFY2(s.isOk(), qPrintable(s.description()));
    QCOMPARE(port.Settings(), reported);
}

void SerialTest::settingsRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("speed too low") << "109,n,8,1"
                                   << "\"109\"";
    QTest::newRow("speed too high") << "256001,n,8,1"
                                    << "\"256001\"";
    QTest::newRow("speed not a number") << "fast,n,8,1"
                                        << "\"fast\"";
    QTest::newRow("fractional speed") << "9600.5,n,8,1"
                                      << "\"9600.5\"";
    QTest::newRow("parity letter") << "38400,x,8,1"
                                   << "\"x\"";
    QTest::newRow("parity word") << "38400,none,8,1"
                                 << "\"none\"";
    QTest::newRow("data bits 3") << "38400,n,3,1"
                                 << "\"3\"";
    QTest::newRow("data bits 9") << "38400,n,9,1"
                                 << "\"9\"";
    QTest::newRow("stop bits 3") << "38400,n,8,3"
                                 << "\"3\"";
    QTest::newRow("stop bits 1.0") << "38400,n,8,1.0"
                                   << "\"1.0\"";
    QTest::newRow("three fields") << "38400,n,8"
                                  << "\"38400,n,8\"";
    QTest::newRow("five fields") << "38400,n,8,1,1"
                                 << "\"38400,n,8,1,1\"";
    QTest::newRow("empty") << ""
                           << "\"\"";
}

void SerialTest::settingsRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, named);
    MSComm port;
    const Status s = port.setSettings(text);
    QVERIFY(s.failed());
    QVERIFY2(s.description().contains(named), qPrintable(s.description()));
    QCOMPARE(port.Settings(), QStringLiteral("9600,n,8,1")); // unchanged
}

// A pseudo-terminal takes speed and stop-bit changes while open, but refuses
// parity and data-bit changes; a refusal must be reported and leave the
// reported settings as they were.
void SerialTest::settingsWhileOpen()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.setSettings(QStringLiteral("38400,N,8,1")).isOk());
    QVERIFY(port.setPortOpen(true).isOk());

    QVERIFY(port.setSettings(QStringLiteral("19200,n,8,2")).isOk());
    QCOMPARE(port.Settings(), QStringLiteral("19200,n,8,2"));

    Status s = port.setSettings(QStringLiteral("19200,E,8,2"));
    QVERIFY(s.failed());
    QVERIFY2(s.description().contains(QStringLiteral("even parity")), qPrintable(s.description()));
    QVERIFY(s.description().contains(pty.slavePath()));
    QCOMPARE(port.Settings(), QStringLiteral("19200,n,8,2"));

    s = port.setSettings(QStringLiteral("19200,n,7,2"));
    QVERIFY(s.failed());
    QVERIFY(s.description().contains(QStringLiteral("7 data bits")));
    QCOMPARE(port.Settings(), QStringLiteral("19200,n,8,2"));
    QVERIFY(port.PortOpen());

    // Still usable after the refusals.
    QVERIFY(port.Output("ok").isOk());
    QCOMPARE(pty.readFor(2, 2000), QByteArray("ok"));
}

void SerialTest::openRefusesWhatTheDeviceCannotDo()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.setSettings(QStringLiteral("9600,n,4,1")).isOk()); // a valid string
    Status s = port.setPortOpen(true);
    QVERIFY(s.failed());
    QVERIFY2(s.description().contains(QStringLiteral("4 data bits")), qPrintable(s.description()));
    QVERIFY(!port.PortOpen());

    QVERIFY(port.setSettings(QStringLiteral("9600,n,8,1.5")).isOk());
    s = port.setPortOpen(true);
    QVERIFY(s.failed());
    QVERIFY(s.description().contains(QStringLiteral("1.5 stop bits")));
    QVERIFY(!port.PortOpen());

    QVERIFY(port.setSettings(QStringLiteral("9600,n,8,1")).isOk());
    QVERIFY(port.setPortOpen(true).isOk());
}

void SerialTest::openAndClose()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(!port.PortOpen());
    for (int round = 0; round < 3; ++round) {
        const Status s = port.setPortOpen(true);
        QVERIFY2(s.isOk(), qPrintable(s.description()));
        QVERIFY(port.PortOpen());
        QCOMPARE(port.device(), pty.slavePath());
        QVERIFY(port.setPortOpen(false).isOk());
        QVERIFY(!port.PortOpen());
    }
    // A closed port sends nothing and says so.
    const Status s = port.Output("x");
    QVERIFY(s.failed());
    QVERIFY(s.description().contains(QStringLiteral("not open")));
}

void SerialTest::missingDevice()
{
    linkComPort(2, QStringLiteral("/nonexistent/ttyGone"));
    MSComm port;
    QVERIFY(port.setCommPort(2).isOk());
    Status s = port.setPortOpen(true);
    QVERIFY(s.failed());
    QVERIFY2(s.description().contains(QStringLiteral("Com2")), qPrintable(s.description()));
    QVERIFY(s.description().contains(QStringLiteral("/nonexistent/ttyGone")));
    QVERIFY(s.description().contains(QStringLiteral("does not exist")));
    QVERIFY(!port.PortOpen());

    QVERIFY(port.setCommPort(3).isOk());
    s = port.setPortOpen(true);
    QVERIFY(s.failed());
    QVERIFY2(s.description().contains(QStringLiteral("No serial device is known for Com3")),
             qPrintable(s.description()));
    QVERIFY(!port.PortOpen());
}

void SerialTest::deviceInUse()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm first, second;
    QVERIFY(first.setPortOpen(true).isOk());
    Status s = second.setPortOpen(true);
    QVERIFY(s.failed());
    QVERIFY2(s.description().contains(QStringLiteral("in use by another program")),
             qPrintable(s.description()));
    QVERIFY(!second.PortOpen());
    QVERIFY(first.PortOpen());
    QVERIFY(first.setPortOpen(false).isOk());

    // A program that only takes flock() on the device holds it too.
    const int other = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
    s = second.setPortOpen(true);
    QVERIFY(s.failed());
    QVERIFY(s.description().contains(QStringLiteral("in use")));
    QVERIFY(!second.PortOpen());
    ::close(other);
    QVERIFY(second.setPortOpen(true).isOk());

    // And our own lock keeps such programs out.
    const int late = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(::flock(late, LOCK_EX | LOCK_NB) != 0);
    QCOMPARE(errno, EWOULDBLOCK);
    ::close(late);
}

void SerialTest::permissionAndBusyTexts_data()
{
    QTest::addColumn<int>("probe");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("staleLock");
    QTest::addColumn<QStringList>("says");
    QTest::addColumn<QString>("neverSays");
    QTest::newRow("group may read and write")
        << EACCES << 0660u << "uucp" << QString()
        << QStringList{"Permission denied", "sudo usermod -aG uucp $USER", "log in again"}
        << "udev";
    QTest::newRow("owner only") << EACCES << 0600u << "uucp" << QString()
                                << QStringList{"let only its owner",
                                               "owner root, group uucp, mode 0600", "udev rule"}
                                << "usermod";
    QTest::newRow("group may only write (a terminal)")
        << EACCES << 0620u << "uucp" << QString() << QStringList{"let only its owner", "mode 0620"}
        << "usermod";
    QTest::newRow("a bench service's adaptor")
        << EACCES << 0660u << "firmware-station" << QString()
        << QStringList{"station service (firmware-station)"} << "usermod";
    QTest::newRow("in use") << 0 << 0660u << "uucp" << QString()
                            << QStringList{"in use by another program"} << "Permission";
    QTest::newRow("stale lock file")
        << 0 << 0660u << "uucp"
        << "/run/lock/LCK..ttyUSB0"
        << QStringList{"left behind by a program that has ended", "sudo rm /run/lock/LCK..ttyUSB0"}
        << "in use";
    QTest::newRow("gone") << ENOENT << 0u << "uucp" << QString() << QStringList{"does not exist"}
                          << "Permission";
}

void SerialTest::permissionAndBusyTexts()
{
    QFETCH(int, probe);
    QFETCH(uint, mode);
    QFETCH(QString, group);
    QFETCH(QString, staleLock);
    QFETCH(QStringList, says);
    QFETCH(QString, neverSays);
    const QString label = QStringLiteral("Com1 (/dev/ttyUSB0)");
    DeviceAccess access;
    access.probeErrno = probe;
    access.owner = QStringLiteral("root");
    access.group = group;
    access.mode = mode;
    access.staleLock = staleLock;
    const QString text = PortDiagnosis::lockedOrForbidden(label, access, PortAdvice::Window);
    QVERIFY(text.contains(label));
    for (const QString& part : says)
        QVERIFY2(text.contains(part), qPrintable(text));
    QVERIFY2(!text.contains(neverSays), qPrintable(text));
}

void SerialTest::staleLockFileFound()
{
    if (!QFileInfo(QStringLiteral("/run/lock")).isWritable())
        QSKIP("/run/lock cannot be written here");
    Pty pty;
    // A lock file in the form the terminal programs write, by a process
    // that has ended.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForStarted());
    const qint64 pid = ended.processId();
    QVERIFY(ended.waitForFinished());
    const QString name =
        QStringLiteral("/run/lock/LCK..") + pty.slavePath().mid(5).replace('/', '_');
    QFile lock(name);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid).rightJustified(10) + "\n");
    lock.close();
    QCOMPARE(inspectDevice(pty.slavePath()).staleLock, name);
    // Opening removes it, and leaves no lock behind on closing.
    linkComPort(1, pty.slavePath());
    {
        MSComm port;
        QVERIFY(port.setPortOpen(true).isOk());
        QVERIFY(port.setPortOpen(false).isOk());
    }
    QVERIFY(!QFile::exists(name));
    // One whose process runs is no stale lock.
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(QByteArray::number(QCoreApplication::applicationPid()) + "\n");
    lock.close();
    QCOMPARE(inspectDevice(pty.slavePath()).staleLock, QString());
    QFile::remove(name);
}

// Two programs that name one adaptor differently (a by-id link, the
// device) must see each other's lock file.
void SerialTest::lockedUnderTheDeviceName()
{
    if (!QFileInfo(QStringLiteral("/run/lock")).isWritable())
        QSKIP("/run/lock cannot be written here");
    Pty pty;
    const QString link = tempFolder() + QStringLiteral("/usb-Tarvel_IR_adaptor-if00-port0");
    QVERIFY(QFile::link(pty.slavePath(), link));
    MSComm byLink;
    byLink.setDevicePath(link);
    QVERIFY(byLink.setPortOpen(true).isOk());
    QCOMPARE(byLink.device(), pty.slavePath());
    QVERIFY(QFile::exists(QStringLiteral("/run/lock/LCK..") +
                          pty.slavePath().mid(5).replace('/', '_')));
    MSComm byDevice;
    byDevice.setDevicePath(pty.slavePath());
    const Status refused = byDevice.setPortOpen(true);
    QVERIFY(refused.failed());
    QVERIFY2(refused.description().contains(QStringLiteral("in use")),
             qPrintable(refused.description()));
}

void SerialTest::portNumberRange()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.setCommPort(0).failed());
    QVERIFY(port.setCommPort(-3).failed());
    QVERIFY(port.setCommPort(256).failed());
    QVERIFY(port.setCommPort(16).isOk());
    QVERIFY(port.setCommPort(1).isOk());
    QVERIFY(port.setHandshaking(4).failed());
    QVERIFY(port.setHandshaking(-1).failed());
    QCOMPARE(port.Handshaking(), 0);
    QVERIFY(port.setPortOpen(true).isOk());
    const Status s = port.setCommPort(2);
    QVERIFY(s.failed());
    QVERIFY(s.description().contains(QStringLiteral("while")));
    QCOMPARE(port.CommPort(), 1);
    for (int code = 0; code <= 3; ++code) {
        QVERIFY(port.setHandshaking(code).isOk());
        QCOMPARE(port.Handshaking(), code);
    }
}

void SerialTest::everyByteValueArrivesUnaltered()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.setPortOpen(true).isOk());
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QVERIFY(port.Output(all).isOk());
    QCOMPARE(pty.readFor(256, 3000), all);

    // And the other way.
    QSignalSpy events(&port, &MSComm::OnComm);
    pty.write(all);
    QByteArray got;
    QVERIFY(waitFor(
        [&] {
            got += port.Input();
            return got.size() >= 256;
        },
        3000));
    QCOMPARE(got, all);
}

void SerialTest::receiveThresholdHoldsAndReleasesEvents()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QCOMPARE(port.RThreshold(), 1);
    QVERIFY(port.setPortOpen(true).isOk());
    QVERIFY(port.setRThreshold(0).isOk());
    QVector<int> codes;
    connect(&port, &MSComm::OnComm, this, [&] { codes << port.CommEvent(); });

    pty.write("+*");
    pump(300);
    QVERIFY(codes.isEmpty());
    QCOMPARE(port.InBufferCount(), 2);

    // Switching events on raises one for what is already waiting.
    QVERIFY(port.setRThreshold(1).isOk());
    QVERIFY(waitFor([&] { return !codes.isEmpty(); }, 2000));
    QCOMPARE(codes.first(), int(MSComm::comEvReceive));
    QCOMPARE(port.Input(), QByteArray("+*"));

    // Emptying the receive buffer drops what waits, unseen.
    QVERIFY(port.setRThreshold(0).isOk());
    pty.write("+++");
    QVERIFY(waitFor([&] { return port.InBufferCount() == 3; }, 2000));
    QVERIFY(port.setInBufferCount(0).isOk());
    QCOMPARE(port.InBufferCount(), 0);
    codes.clear();
    QVERIFY(port.setRThreshold(1).isOk());
    pump(200);
    QVERIFY(codes.isEmpty());
}

void SerialTest::outBufferCountDrains()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.setPortOpen(true).isOk());
    const QByteArray block(200000, 'S');
    QVERIFY(port.Output(block).isOk());
    QVERIFY(port.OutBufferCount() > 0);
    QByteArray got;
    QVERIFY(waitFor(
        [&] {
            got += pty.readAvailable();
            return port.OutBufferCount() == 0;
        },
        10000));
    got += pty.readFor(int(block.size() - got.size()), 3000);
    QCOMPARE(got.size(), block.size());
}

void SerialTest::modemLinesOnPseudoTerminal()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.DTREnable());
    QVERIFY(port.RTSEnable());
    QVERIFY(port.setDTREnable(false).isOk()); // kept while closed
    QVERIFY(port.setPortOpen(true).isOk());   // and applied on open, without failing
    QVERIFY(!port.DTREnable());
    QVERIFY(port.setRTSEnable(false).isOk());
    QVERIFY(port.setDTREnable(true).isOk());
    QVERIFY(port.DTREnable());
    QVERIFY(!port.RTSEnable());
    QVERIFY(port.PortOpen());
}

void SerialTest::lineErrorCountersRaiseEvents()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    MSComm port;
    LineCounters counters;
    port.setLineCounterSource(std::make_unique<FakeCounters>(&counters));
    QVERIFY(port.setPortOpen(true).isOk());
    QVector<int> codes;
    connect(&port, &MSComm::OnComm, this, [&] {
        codes << port.CommEvent();
        if (port.CommEvent() == MSComm::comEvReceive)
            port.Input();
    });

    counters.parity = 2;
    counters.breaks = 1;
    counters.bufferOverrun = 4;
    pty.write("x");
    QVERIFY(waitFor([&] { return codes.contains(MSComm::comEvReceive); }, 2000));
    QCOMPARE(codes, (QVector<int>{1001, 1009, 1008, 2}));

    codes.clear();
    counters.framing = 1;
    counters.overrun = 1;
    pty.write("y");
    QVERIFY(waitFor([&] { return codes.contains(MSComm::comEvReceive); }, 2000));
    QCOMPARE(codes, (QVector<int>{1004, 1006, 2}));

    // Unchanged counters raise nothing but the receive event.
    codes.clear();
    pty.write("z");
    QVERIFY(waitFor([&] { return codes.contains(MSComm::comEvReceive); }, 2000));
    QCOMPARE(codes, (QVector<int>{2}));
}

void SerialTest::hangUpClosesOnceWithoutSpinning()
{
    Pty pty(false);
    linkComPort(1, pty.slavePath());
    MSComm port;
    QVERIFY(port.setPortOpen(true).isOk());
    QSignalSpy lost(&port, &MSComm::portLost);
    QVERIFY(port.Output("before").isOk());
    pty.readFor(6, 2000);

    pty.closeMaster();
    const double cpuBefore = cpuSeconds();
    QVERIFY(waitFor([&] { return !port.PortOpen(); }, 3000));
    pump(500);
    const double cpuUsed = cpuSeconds() - cpuBefore;
    QCOMPARE(lost.count(), 1);
    QVERIFY2(lost.first().first().toString().contains(QStringLiteral("Com1")),
             qPrintable(lost.first().first().toString()));
    QVERIFY2(cpuUsed < 0.4,
             qPrintable(QStringLiteral("%1 s of CPU after the hang-up").arg(cpuUsed)));
    QVERIFY(port.Output("after").failed());
    QCOMPARE(port.OutBufferCount(), 0);
}

void SerialTest::doctorFindings_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("mayOpen");
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QStringList>("says"); // empty: nothing found
    QTest::newRow("a healthy adaptor") << 0660u << true << QString() << QStringList();
    QTest::newRow("added to the group, not logged in again")
        << 0660u << false << "new group" << QStringList{"log in again", "dialout"};
    QTest::newRow("not in the group")
        << 0660u << false << QString() << QStringList{"sudo usermod -aG dialout $USER"};
    QTest::newRow("only its owner may use it")
        << 0600u << false << QString()
        << QStringList{"let only its owner use it", "ATTRS{idVendor}==", "udevadm"};
    QTest::newRow("stale lock file") << 0660u << true << "stale lock" << QStringList{"sudo rm"};
    QTest::newRow("pin leading nowhere")
        << 0660u << true << "dangling pin" << QStringList{"Com2 is pinned to /dev/ttyUSB77"};
    QTest::newRow("ModemManager") << 0660u << true << "ModemManager"
                                  << QStringList{"ENV{ID_MM_DEVICE_IGNORE}=\"1\""};
    QTest::newRow("brltty") << 0660u << true << "brltty"
                            << QStringList{"sudo apt-get remove brltty"};
}

void SerialTest::doctorFindings()
{
    QFETCH(uint, mode);
    QFETCH(bool, mayOpen);
    QFETCH(QString, trouble);
    QFETCH(QStringList, says);
    Pty pty;
    const group* dialout = ::getgrnam("dialout");
    if (!dialout)
        QSKIP("no dialout group here");
    QCOMPARE(::chown(pty.slavePath().toLocal8Bit().constData(), ::geteuid(), dialout->gr_gid), 0);
    QCOMPARE(::chmod(pty.slavePath().toLocal8Bit().constData(), mode), 0);
    linkComPort(1, pty.slavePath());
    if (trouble == "dangling pin")
        linkComPort(2, QStringLiteral("/dev/ttyUSB77"));
    const QString lock =
        QStringLiteral("/run/lock/LCK..") + pty.slavePath().mid(5).replace('/', '_');
    if (trouble == "stale lock") {
        if (!QFileInfo(QStringLiteral("/run/lock")).isWritable())
            QSKIP("/run/lock cannot be written here");
        QFile l(lock);
        QVERIFY(l.open(QIODevice::WriteOnly));
        l.write("  99999999\n"); // no such process
    }
    PortEntry entry = PortListing::describe(pty.slavePath());
    entry.mayOpen = mayOpen; // as an unprivileged user would find it
    Doctor::System system;
    system.runningCommands = [&] {
        return trouble == "ModemManager" ? QStringList{"systemd", "ModemManager"}
                                         : QStringList{"systemd"};
    };
    system.brlttyInstalled = [&] { return trouble == "brltty"; };
    system.sessionGroups = [] { return QStringList{"users"}; };
    system.accountGroups = [&] {
        return trouble == "new group" ? QStringList{"users", "dialout"} : QStringList{"users"};
    };
    const QVector<Doctor::Finding> findings = Doctor::examine({entry}, system);
    QFile::remove(lock);
    QStringList lines;
    for (const Doctor::Finding& f : findings)
        lines << f.subject + QStringLiteral(": ") + f.text;
    const QString all = lines.join('\n');
    QCOMPARE(findings.isEmpty(), says.isEmpty());
    QCOMPARE(findings.size(), says.isEmpty() ? 0 : 1);
    for (const QString& part : says)
        QVERIFY2(all.contains(part), qPrintable(all));
}

void SerialTest::resolverLinksAndFiles()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    PortResolver::Resolution r = PortResolver::resolve(1);
    QCOMPARE(r.device, pty.slavePath());
    QCOMPARE(r.origin, QStringLiteral("link"));

    // A dangling link still names the device it points at.
    linkComPort(2, QStringLiteral("/dev/ttyUSB77"));
    QCOMPARE(PortResolver::resolve(2).device, QStringLiteral("/dev/ttyUSB77"));

    // A plain file naming the device.
    QFile file(PortResolver::linkPath(3));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("  /dev/ttyACM3  \n");
    file.close();
    r = PortResolver::resolve(3);
    QCOMPARE(r.device, QStringLiteral("/dev/ttyACM3"));
    QCOMPARE(r.origin, QStringLiteral("file"));

    QVERIFY(!PortResolver::resolve(4).known());
    QVERIFY(!PortResolver::resolve(0).known());
    QVERIFY(PortResolver::describe(4).contains(QStringLiteral("no device known")));
    QVERIFY(PortResolver::describe(1).contains(pty.slavePath()));
    QVERIFY(PortResolver::linkPath(1).startsWith(configFolder() + QLatin1Char('/') +
                                                 applicationTitle() + QStringLiteral("/ports/")));
}

// An adaptor comes and goes while the port is held: without a pin link the
// system's list may name another device first by then, which must not be
// opened; a pin link is followed wherever it points.
void SerialTest::heldDeviceIsOpenedAgain_data()
{
    QTest::addColumn<bool>("pinLink");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<int>("opens"); // 0: the first device, 1: the second
    QTest::newRow("system's list, held") << false << true << 0;
    QTest::newRow("system's list, not held") << false << false << 1;
    QTest::newRow("pin link, held and moved") << true << true << 1;
}

void SerialTest::heldDeviceIsOpenedAgain()
{
    QFETCH(bool, pinLink);
    QFETCH(bool, hold);
    QFETCH(int, opens);
    Pty first, second;
    const QStringList devices = {first.slavePath(), second.slavePath()};
    QStringList listed = {devices[0]};
    PortResolver::setEnumerator([&] { return listed; });
    if (pinLink)
        linkComPort(1, devices[0]);
    MSComm port;
    QVERIFY(port.setPortOpen(true).isOk());
    QCOMPARE(port.device(), devices[0]);
    if (hold)
        port.holdDevice();
    port.closeQuietly();

    // Meanwhile Com1 has come to mean the other device.
    listed = {devices[1]};
    if (pinLink)
        linkComPort(1, devices[1]);
    const Status reopened = port.setPortOpen(true);
    QVERIFY2(reopened.isOk(), qPrintable(reopened.description()));
    QCOMPARE(port.device(), devices[opens]);

    // A change of port number lets go of the held device.
    port.closeQuietly();
    QVERIFY(port.setCommPort(2).isOk());
    QVERIFY(!port.holdsDevice());
}

void SerialTest::resolverEnumerationOrder()
{
    PortResolver::setEnumerator([] {
        return QStringList{"/dev/ttyS1",   "/dev/ttyUSB10", "/dev/ttyS0",   "/dev/ttyACM0",
                           "/dev/ttyUSB2", "/dev/ttyS10",   "/dev/ttyAMA0", "/dev/ttyS2"};
    });
    const QStringList expected = {"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyAMA0",
                                  "/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",    "/dev/ttyS10"};
    QCOMPARE(PortResolver::orderForNumbering(PortResolver::systemDevices()), expected);
    for (int n = 1; n <= expected.size(); ++n)
        QCOMPARE(PortResolver::resolve(n).device, expected[n - 1]);
    QVERIFY(!PortResolver::resolve(9).known());
    QCOMPARE(PortResolver::resolve(1).origin, QStringLiteral("system"));

    // A link wins over the enumeration.
    linkComPort(1, QStringLiteral("/dev/ttyS1"));
    QCOMPARE(PortResolver::resolve(1).device, QStringLiteral("/dev/ttyS1"));
    QCOMPARE(PortResolver::resolve(2).device, QStringLiteral("/dev/ttyUSB2"));

    QVERIFY(PortResolver::naturalLess(QStringLiteral("ttyUSB2"), QStringLiteral("ttyUSB10")));
    QVERIFY(!PortResolver::naturalLess(QStringLiteral("ttyUSB10"), QStringLiteral("ttyUSB2")));
    QVERIFY(PortResolver::naturalLess(QStringLiteral("ttyS"), QStringLiteral("ttyS0")));
    PortResolver::setEnumerator([] { return QStringList(); });
}

void SerialTest::storeRoundTrip()
{
    const QString app = applicationTitle();
    QCOMPARE(PortSettingsStore::read(app, PortSetting::Settings), QString());
    QCOMPARE(PortSettingsStore::read(app, QStringLiteral("Properties"), QStringLiteral("Echo"),
                                     QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QVERIFY(
        PortSettingsStore::write(app, PortSetting::Settings, QStringLiteral("38400,n,8,1")).isOk());
    QVERIFY(PortSettingsStore::write(app, PortSetting::CommPort, QStringLiteral("1")).isOk());
    QVERIFY(PortSettingsStore::write(app, PortSetting::Handshaking, QStringLiteral("0")).isOk());
    QVERIFY(PortSettingsStore::write(app, PortSetting::Echo, booleanText(true)).isOk());

    QCOMPARE(PortSettingsStore::filePath(app),
             configFolder() + QStringLiteral("/Tarvel Labs Firmware Loader.conf"));
    QVERIFY(QFile::exists(PortSettingsStore::filePath(app)));
    QCOMPARE(PortSettingsStore::read(app, PortSetting::Settings), QStringLiteral("38400,n,8,1"));
    QCOMPARE(PortSettingsStore::read(app, PortSetting::CommPort), QStringLiteral("1"));
    QCOMPARE(PortSettingsStore::read(app, PortSetting::Handshaking), QStringLiteral("0"));
    QCOMPARE(PortSettingsStore::read(app, PortSetting::Echo), QStringLiteral("True"));

    QFile file(PortSettingsStore::filePath(app));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray ini = file.readAll();
    QVERIFY(ini.contains("[Properties]"));
    QVERIFY(ini.contains("Echo=True"));

    // Another application name is another store.
    QCOMPARE(PortSettingsStore::read(QStringLiteral("Other"), PortSetting::Echo), QString());
}

void SerialTest::storeHandEditedValues()
{
    const QString app = applicationTitle();
    QFile file(PortSettingsStore::filePath(app));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Properties]\nSettings=9600,E,7,2\nCommPort= 3 \n");
    file.close();
    QCOMPARE(PortSettingsStore::read(app, PortSetting::Settings), QStringLiteral("9600,E,7,2"));
    QCOMPARE(PortSettingsStore::read(app, PortSetting::CommPort).trimmed(), QStringLiteral("3"));
}

void SerialTest::integerConversions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok16");
    QTest::addColumn<int>("value16");
    QTest::addColumn<bool>("ok32");
    QTest::newRow("plain") << "1" << true << 1 << true;
    QTest::newRow("blanks") << "  7 " << true << 7 << true;
    QTest::newRow("negative") << "-5" << true << -5 << true;
    QTest::newRow("plus sign") << "+12" << true << 12 << true;
    QTest::newRow("16-bit top") << "32767" << true << 32767 << true;
    QTest::newRow("16-bit overflow") << "32768" << false << 0 << true;
    QTest::newRow("32-bit overflow") << "2147483648" << false << 0 << false;
    QTest::newRow("fraction") << "1.5" << false << 0 << false;
    QTest::newRow("word") << "abc" << false << 0 << false;
    QTest::newRow("sign alone") << "-" << false << 0 << false;
    QTest::newRow("hex") << "0x10" << false << 0 << false;
}

void SerialTest::integerConversions()
{
    QFETCH(QString, text);
    QFETCH(bool, ok16);
    QFETCH(int, value16);
    QFETCH(bool, ok32);
    qint16 v16 = 0;
    const Status s16 = convertToInt16(text, QStringLiteral("port number"), &v16);
    QCOMPARE(s16.isOk(), ok16);
    if (ok16)
        QCOMPARE(int(v16), value16);
    else
        QVERIFY2(s16.description().contains(QStringLiteral("port number")) &&
                     s16.description().contains(text),
                 qPrintable(s16.description()));
    qint32 v32 = 0;
    QCOMPARE(convertToInt32(text, QStringLiteral("code"), &v32).isOk(), ok32);
}

void SerialTest::booleanConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: does not convert
    QTest::newRow("True") << "True" << 1;
    QTest::newRow("false") << "false" << 0;
    QTest::newRow("TRUE") << "TRUE" << 1;
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("minus one") << "-1" << 1;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("fraction") << "0.5" << 1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("word") << "abc" << -1;
    QTest::newRow("yes") << "yes" << -1;
}

void SerialTest::booleanConversion()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    const std::optional<bool> b = convertToBoolean(text);
    if (expected < 0)
        QVERIFY(!b.has_value());
    else
        QCOMPARE(b, std::optional<bool>(expected == 1));
}

CORE_TEST_MAIN(SerialTest)
#include "tst_serial.moc"
