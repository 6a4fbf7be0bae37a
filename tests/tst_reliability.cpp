// The programs in a hostile world: ended by signals or by their X server
// going away, and refused a device by its permissions or a stale lock.
// What must hold: the port is released and the advice is right.

#include "coresupport.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

QString lockFileOf(const QString& device)
{
    return QStringLiteral("/run/lock/LCK..") + device.mid(5).replace('/', '_');
}

// Neither a lock on the device nor a lock file left.
bool portReleased(const QString& device)
{
    return portIsFree(device) && !QFile::exists(lockFileOf(device));
}

} // namespace

class ReliabilityTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void windowEndsCleanly_data();
    void windowEndsCleanly();
    void stationEndsCleanly();
    void permissionAdvice_data();
    void permissionAdvice();
};

void ReliabilityTest::windowEndsCleanly_data()
{
    QTest::addColumn<int>("signal"); // 0: the X server goes away
    QTest::newRow("SIGTERM, mid-upload") << int(SIGTERM);
    QTest::newRow("SIGINT, mid-upload") << int(SIGINT);
    QTest::newRow("SIGHUP (logout), mid-upload") << int(SIGHUP);
    QTest::newRow("X server gone, mid-upload") << 0;
}

void ReliabilityTest::windowEndsCleanly()
{
    QFETCH(int, signal);
    XSession x;
    if (!x.start())
        QSKIP("needs Xvfb, openbox, xprop and xdotool (scripts/test.sh installs them)");
    VirtualUnit unit;
    const QString device = unit.start(1, {"--prompt-interval", "50"});
    const QString firmware = tempFolder() + "/signal.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 2000), firmware));

    QProcess loader;
    QVERIFY(x.startLoader(loader, QStringLiteral(LOADER_PATH)));
    QVERIFY(waitFor([&] { return !portReleased(device); }, 5000));
    QVERIFY(x.loadFirmwareByKeys(firmware));
    QVERIFY(waitFor([&] { return unit.receivedLines().size() >= 5; }, 30000));

    if (signal)
        signalProcess(loader, signal);
    else
        x.stop();
    QVERIFY(loader.waitForFinished(2000));
    if (signal) {
        QCOMPARE(loader.exitStatus(), QProcess::NormalExit);
        QCOMPARE(loader.exitCode(), 0);
    }
    QVERIFY(portReleased(device)); // no lock left for the next program or user
}

// The station window on SIGTERM mid-upload: the unit recorded as
// interrupted, the port released, exit status 0.
void ReliabilityTest::stationEndsCleanly()
{
    XSession x;
    if (!x.start())
        QSKIP("needs Xvfb, openbox, xprop and xdotool (scripts/test.sh installs them)");
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50"});
    const QString firmware = tempFolder() + "/station.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 2000), firmware));
    const QString record = tempFolder() + "/station.jsonl";
    QProcess station;
    station.setProcessEnvironment(x.environment());
    station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    station.start(QStringLiteral(STATION_PATH),
                  {"--start", "-p", device, "--record", record, firmware});
    QVERIFY(waitFor([&] { return unit.receivedLines().size() >= 10; }, 15000));
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(2000));
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QCOMPARE(station.exitCode(), 0);
    QVERIFY(portReleased(device));
    QFile f(record);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("\"result\":\"interrupted\""));
}

void ReliabilityTest::permissionAdvice_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("staleLock");
    QTest::addColumn<bool>("doctor"); // firmware-upload --doctor -p, not an upload
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("neverSays");
    QTest::newRow("owner only")
        << 0600u << false << false
        << "let only its owner use it (owner root, group dialout, mode 0600)"
        << "usermod";
    QTest::newRow("group may only write") << 0620u << false << false << "let only its owner"
                                          << "usermod";
    QTest::newRow("group may read and write")
        << 0660u << false << false << "sudo usermod -aG dialout $USER"
        << "udev";
    QTest::newRow("another user's stale lock")
        << 0666u << true << false << "left behind by a program that has ended"
        << "in use";
    QTest::newRow("doctor: owner only") << 0600u << false << true << "udevadm control --reload"
                                        << "usermod";
    QTest::newRow("doctor: group may read and write")
        << 0660u << false << true << "sudo usermod -aG dialout $USER"
        << "opened and closed";
}

void ReliabilityTest::permissionAdvice()
{
    QFETCH(uint, mode);
    QFETCH(bool, staleLock);
    QFETCH(bool, doctor);
    QFETCH(QString, says);
    QFETCH(QString, neverSays);
    if (::geteuid() != 0)
        QSKIP("needs root to make an unprivileged test user");
    const QString user = QStringLiteral("fwloadertest");
    if (QProcess::execute("id", {"-u", user}) != 0 &&
        QProcess::execute(
            "useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", user}) != 0)
        QSKIP("no test user could be made");
    if (QProcess::execute("runuser", {"-u", user, "--", "test", "-x", FIRMWARE_UPLOAD_PATH}) != 0)
        QSKIP("the test user cannot run the built program from this folder");

    const group* dialout = ::getgrnam("dialout");
    if (!dialout)
        QSKIP("no dialout group here");
    Pty pty;
    const QByteArray device = pty.slavePath().toLocal8Bit();
    QCOMPARE(::chown(device.constData(), 0, dialout->gr_gid), 0);
    QCOMPARE(::chmod(device.constData(), mode), 0);
    QTemporaryDir shared(QStringLiteral("/tmp/fwloader-XXXXXX"));
    QFile::setPermissions(shared.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadOther | QFile::ExeOther);
    const QString firmware = shared.filePath("fw.s19");
    QFile f(firmware);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("S00600004844521B\nS9030000FC\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::ReadOther);
    const QString lock = lockFileOf(pty.slavePath());
    if (staleLock) {
        // As minicom writes them, by a process that has ended, owned by root.
        QProcess ended;
        ended.start("true", {});
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        ended.waitForFinished();
        QFile l(lock);
        QVERIFY(l.open(QIODevice::WriteOnly));
        l.write(QByteArray::number(pid).rightJustified(10) + "\n");
    }
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList what =
        doctor ? QStringList{"doctor"} : QStringList{"send", firmware, "-t", "1"};
    run.start("runuser",
              QStringList{"-u", user, "--", FIRMWARE_UPLOAD_PATH} + what +
                  QStringList{"-p", pty.slavePath(), "-s", "38400,N,8,1", "--handshaking", "0"});
    QVERIFY(run.waitForFinished(20000));
    QFile::remove(lock);
    const QString errors = QString::fromLocal8Bit(run.readAllStandardOutput());
    QCOMPARE(run.exitCode(), doctor ? 1 : 4);
    QVERIFY2(errors.contains(says), qPrintable(errors));
    QVERIFY2(!errors.contains(neverSays), qPrintable(errors));
}

CORE_TEST_MAIN(ReliabilityTest)
#include "tst_reliability.moc"
