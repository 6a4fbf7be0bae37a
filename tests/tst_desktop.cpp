// The real window on a real X server with a window manager (openbox),
// driven by its keys: what depends on windows being mapped, focused and
// stacked, which the offscreen platform does not show.

#include "coresupport.h"

#include <QFile>

using namespace TestSupport;

namespace {

const QString mainTitle = QStringLiteral("^Tarvel Labs Firmware Loader$");

// The loader ends by File > Exit within two seconds: its keys still work.
bool exitsByKeys(const XSession& x, QProcess& loader)
{
    x.keys({"alt+f", "x"});
    return loader.waitForFinished(2000) && loader.exitStatus() == QProcess::NormalExit &&
           loader.exitCode() == 0;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void keysAfterAShortUpload_data();
    void keysAfterAShortUpload();
    void uploadGoesOnWhenTheAdaptorIsBack();
};

void DesktopTest::keysAfterAShortUpload_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("meanwhile"); // what happens once the file is chosen
    QTest::addColumn<int>("rounds");
    QTest::addColumn<bool>("box");
    // The upload ends before the window manager has mapped the cancel dialog.
    QTest::newRow("one S1 record, five times")
        << QByteArray("S1130000285F245F2212226A000424290008237C2A\n") << QString() << 5 << false;
    QTest::newRow("an empty file") << QByteArray() << QString() << 1 << true;
    // Sent as it was read, without a box.
    QTest::newRow("the file deleted once chosen")
        << QByteArray("S00600004844521B\nS9030000FC\n") << "delete" << 1 << false;
    // The upload then waits for the port, with the cancel dialog up.
    QTest::newRow("the port lost after the first line")
        << QByteArray("S00600004844521B\nS9030000FC\n") << "unplug" << 1 << true;
}

void DesktopTest::keysAfterAShortUpload()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, meanwhile);
    QFETCH(int, rounds);
    QFETCH(bool, box);
    XSession x;
    if (!x.start())
        QSKIP("needs Xvfb, openbox, xprop and xdotool (scripts/test.sh installs them)");
    VirtualUnit unit;
    // Unplugged while the first line waits for its answer.
    const QStringList quiet =
        meanwhile == "unplug" ? QStringList{"--silent-after", "0"} : QStringList();
    QVERIFY(!unit.start(1, QStringList{"--prompt-interval", "50"} + quiet).isEmpty());

    for (int round = 1; round <= rounds; ++round) {
        const QString firmware = writeFile(QStringLiteral("short%1.s19").arg(round), contents);
        QProcess loader;
        QVERIFY(x.startLoader(loader, QStringLiteral(LOADER_PATH)));
        QVERIFY(x.loadFirmwareByKeys(firmware));
        if (meanwhile == "delete")
            QVERIFY(QFile::remove(firmware)); // within the quiet second before the first line
        if (meanwhile == "unplug") {
            QVERIFY(waitFor([&] { return !unit.receivedLines().isEmpty(); }, 5000));
            unit.stop();
        }
        if (box) {
            const int windows = meanwhile == "unplug" ? 3 : 2; // and the cancel dialog
            QVERIFY(waitFor([&] { return x.windows(mainTitle).size() >= windows; }, 5000));
            pump(500);
            x.keys({"Return"}); // the box's default button
        } else {
            QVERIFY(waitFor([&] { return unit.receivedLines().size() >= round; }, 5000));
        }
        pump(1000);
        QVERIFY2(exitsByKeys(x, loader), qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

// The adaptor goes away mid-upload; the operator closes the box before it
// is back. The upload must go on by itself once it is, byte for byte.
void DesktopTest::uploadGoesOnWhenTheAdaptorIsBack()
{
    XSession x;
    if (!x.start())
        QSKIP("needs Xvfb, openbox, xprop and xdotool (scripts/test.sh installs them)");
    const QString firmware = tempFolder() + "/back.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 400), firmware));
    const QVector<QByteArray> lines = fileLines(firmware);

    VirtualUnit first;
    QVERIFY(!first.start(1, {"--prompt-interval", "50"}).isEmpty());
    QProcess loader;
    QVERIFY(x.startLoader(loader, QStringLiteral(LOADER_PATH)));
    QVERIFY(x.loadFirmwareByKeys(firmware));
    QVERIFY(waitFor([&] { return first.receivedLines().size() >= 60; }, 10000));
    first.stop();

    // One box says so (main window, cancel dialog, box); Enter closes it.
    QVERIFY(waitFor([&] { return x.windows(mainTitle).size() == 3; }, 5000));
    x.keys({"Return"});
    QVERIFY(waitFor([&] { return x.windows(mainTitle).size() == 2; }, 5000));
    pump(1500); // the loader keeps trying meanwhile

    VirtualUnit second;
    QVERIFY(!second.start(1, {"--prompt-interval", "50"}).isEmpty());
    QVERIFY(waitFor(
        [&] {
            const QVector<QByteArray> got = second.receivedLines();
            return !got.isEmpty() && got.last() == lines.last();
        },
        30000));
    pump(300);

    // Every line once, in order; the one under way when the adaptor went
    // may have reached both units.
    QVector<QByteArray> got = first.receivedLines();
    const QVector<QByteArray> after = second.receivedLines();
    QVERIFY(!after.isEmpty());
    if (!got.isEmpty() && got.last() == after.first())
        got.removeLast();
    got += after;
    QCOMPARE(got, lines);
    QVERIFY(exitsByKeys(x, loader));
}

CORE_TEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
