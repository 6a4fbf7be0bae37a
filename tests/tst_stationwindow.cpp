// The station window on a private X server with a window manager, against
// simulated units behind links that come and go: what the tiles say, what
// the record says, and what a restart brings back.

#include "service/stationconfig.h"
#include "station/stationslot.h"
#include "stationwindow/serialnumbersdialog.h"
#include "stationwindow/slottile.h"
#include "stationwindow/stationwindow.h"
#include "testsupport.h"

#include <QAccessible>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSysInfo>
#include <cstdlib>
#include <memory>

using namespace TestSupport;

namespace {

XSession& xSession()
{
    static XSession session;
    return session;
}

} // namespace

class StationWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetSeams();
        QFile::remove(StationSetup::storePath());
    }

    void twoSlotsTwoUnitsEach();
    void adaptorUnpluggedShowsOnItsTileAlone();
    void slotsRestoredAfterARestart();
    void serialNumbersOnTheTiles();
};

void StationWindowTest::twoSlotsTwoUnitsEach()
{
    const QString firmware = tempFolder() + "/two.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), firmware));
    const QString record = tempFolder() + "/two.jsonl";
    Adaptor a(tempFolder() + "/usb-A1"), b(tempFolder() + "/usb-A2");
    // Each unit taken away after its end record, the next placed 2.5 s on.
    QVERIFY(a.plugIn({"--next-unit-after", "2500"}));
    QVERIFY(b.plugIn({"--next-unit-after", "2500"}));
    StationWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    SlotTile* first = window.addSlot(a.name, "Bench A1");
    SlotTile* second = window.addSlot(b.name, "Bench A2");
    {
        // The device behind a slot's link is that slot's adaptor.
        ScriptedBoxes boxes;
        QVERIFY(!window.addSlot(a.device, "Bench A3"));
        QVERIFY2(
            boxes.texts().value(0).contains(a.name + " and " + a.device + " are the same device"),
            qPrintable(boxes.texts().value(0)));
        QCOMPARE(window.tiles().size(), 2);
    }
    QVERIFY(window.openFirmware(firmware));
    window.setRecordPath(record);
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return records(record).size() >= 4; }, 30000));
    pump(600); // the tiles catch up within a quarter of a second

    const QVector<QJsonObject> got = records(record);
    QCOMPARE(got.size(), 4);
    for (SlotTile* tile : {first, second}) {
        int units = 0;
        for (const QJsonObject& r : got) {
            if (r["slot"].toString() == tile->slot()->port()) {
                ++units;
                QCOMPARE(r["result"].toString(), QStringLiteral("pass"));
                QCOMPARE(r["station"].toString(), QSysInfo::machineHostName());
            }
        }
        QCOMPARE(units, 2);
        QCOMPARE(tile->slot()->passed(), 2);
        QVERIFY(tile->spoken().startsWith(tile->name() + ": "));
        QVERIFY(tile->look() == SlotTile::Look::Pass || tile->look() == SlotTile::Look::PlaceUnit ||
                tile->look() == SlotTile::Look::RemoveUnit);
    }
    QVERIFY2(window.benchSummary().startsWith("4 passed, 0 failed"),
             qPrintable(window.benchSummary()));
    QVERIFY(window.transcriptOf(first).contains(fileLines(firmware).last()));

    // Stop: nothing is flashing, so no question; every port released.
    ScriptedBoxes boxes;
    window.stop();
    QVERIFY(waitFor([&] { return !window.station().running(); }, 3000));
    QCOMPARE(first->look(), SlotTile::Look::Stopped);
    QVERIFY(boxes.requests.isEmpty());
}

// One adaptor goes mid-upload: its tile says so, with the reason; the other
// tile goes on, and its accessible text reads its progress.
void StationWindowTest::adaptorUnpluggedShowsOnItsTileAlone()
{
    const QString firmware = tempFolder() + "/long.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 600), firmware));
    Adaptor a(tempFolder() + "/usb-B1"), b(tempFolder() + "/usb-B2");
    QVERIFY(a.plugIn({}));
    QVERIFY(b.plugIn({}));
    StationWindow window;
    window.show();
    SlotTile* gone = window.addSlot(a.name, "Bench B1");
    SlotTile* stays = window.addSlot(b.name, "Bench B2");
    QVERIFY(window.openFirmware(firmware));
    window.setRecordPath(tempFolder() + "/unplug.jsonl");
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return a.unit.receivedLines().size() >= 50; }, 10000));
    a.unplug();
    QVERIFY(waitFor([&] { return gone->look() == SlotTile::Look::PlugIn; }, 3000));
    QVERIFY2(gone->spoken().startsWith("Bench B1: plug in the adaptor"),
             qPrintable(gone->spoken()));
    QCOMPARE(gone->slot()->failed(), 1);
    QCOMPARE(gone->slot()->lastUnit().reason, QStringLiteral("adaptor unplugged"));
    QCOMPARE(stays->look(), SlotTile::Look::Flashing);

    // What a screen reader is told of the tile that goes on.
    pump(300);
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(stays);
    QVERIFY(spoken);
    const QString name = spoken->text(QAccessible::Name);
    QVERIFY2(QRegularExpression("^Bench B2: flashing, \\d+ of 602 lines, \\d+ percent resent$")
                 .match(name)
                 .hasMatch(),
             qPrintable(name));
    QCOMPARE(stays->focusPolicy(), Qt::StrongFocus);

    // Stop while a unit is flashing asks first; "Cancel them" records it as interrupted.
    ScriptedBoxes boxes;
    boxes.choices << 1;
    window.stop();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY(waitFor([&] { return !window.station().running(); }, 3000));
    QCOMPARE(stays->slot()->lastUnit().result, QStringLiteral("interrupted"));
    QCOMPARE(stays->slot()->lastUnit().reason, QStringLiteral("the station was stopped"));
}

void StationWindowTest::slotsRestoredAfterARestart()
{
    const QString firmware = writeFile("kept.s19", "S00600004844521B\nS9030000FC\n");
    const QString record = tempFolder() + "/kept.jsonl";
    const QString missing = tempFolder() + "/usb-not-plugged-in";
    {
        StationWindow window;
        window.addSlot(tempFolder() + "/usb-C1", "Bench C1");
        SlotTile* later = window.addSlot(missing, "Bench C2");
        window.renameSlot(later, "Bench C0");
        window.moveSlot(later, -1);
        QVERIFY(window.openFirmware(firmware));
        window.setRecordPath(record);
        QVERIFY(window.setPinnedDigest(QString(64, 'A')));
    }
    StationWindow again;
    again.show();
    QCOMPARE(again.tiles().size(), 2);
    QCOMPARE(again.tiles()[0]->name(), QStringLiteral("Bench C0"));
    QCOMPARE(again.tiles()[0]->slot()->port(), missing);
    QCOMPARE(again.tiles()[1]->name(), QStringLiteral("Bench C1"));
    QCOMPARE(again.recordPath(), record);
    QVERIFY(again.firmwareSummary().startsWith("kept.s19"));
    // The pinned digest came back too, and stops the start.
    ScriptedBoxes boxes;
    QString why;
    QVERIFY(!again.start());
    QVERIFY2(boxes.texts().value(0).contains("not the build meant"),
             qPrintable(boxes.texts().value(0)));
    QVERIFY(again.setPinnedDigest(QString()));
    // The bench as a config a service reads back whole.
    QVERIFY(again.exportConfig(tempFolder() + "/kept.conf", &why));
    const auto exported = StationConfig::read(tempFolder() + "/kept.conf", &why);
    QVERIFY2(exported, qPrintable(why));
    QCOMPARE(exported->find("ports")->value, missing + ", " + tempFolder() + "/usb-C1");
    QCOMPARE(exported->find("record")->value, record);
    QCOMPARE(exported->find("file")->value, firmware);
    // A device that is not there is a slot waiting for its adaptor.
    QVERIFY(again.start());
    pump(600);
    QCOMPARE(again.tiles()[0]->look(), SlotTile::Look::PlugIn);
    again.stop();
}

// Serial numbers kept under [Station] come back, go into each unit, and
// show on its tile; the next number may be raised, never lowered.
void StationWindowTest::serialNumbersOnTheTiles()
{
    const QString firmware = tempFolder() + "/numbered.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 40), firmware));
    const QString record = tempFolder() + "/numbered.jsonl";
    QFile::remove(record);
    QFile::remove(record + ".serial");
    Adaptor a(tempFolder() + "/usb-D1");
    QVERIFY(a.plugIn({"--next-unit-after", "2500"}));
    StationSetup setup;
    setup.benchSlots = {{a.name, QStringLiteral("Bench D1")}};
    setup.firmware = firmware;
    setup.recordPath = record;
    setup.serial = "0x1E:4:be";
    setup.serialStart = 1000;
    QString why;
    QVERIFY(setup.save(&why));

    StationWindow window;
    window.show();
    SlotTile* tile = window.tiles().value(0);
    QVERIFY(tile);
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 20000));
    pump(600);
    const QJsonObject first = records(record).first();
    QCOMPARE(first["serial"]["number"].toInteger(), 1000);
    QVERIFY2(tile->spoken().startsWith("Bench D1: pass, unit 1000"), qPrintable(tile->spoken()));
    QCOMPARE(a.unit.receivedLines()[2].mid(8 + 2 * 14, 4), QByteArray("0000"));
    QCOMPARE(a.unit.receivedLines()[3].mid(8, 4), QByteArray("03E8"));
    window.stop();
    QVERIFY(waitFor([&] { return !window.station().running(); }, 3000));

    SerialNumbersDialog dialog(StationSetup::load(), record + ".serial");
    auto* next = dialog.findChild<QLineEdit*>("next");
    QCOMPARE(next->text(), QStringLiteral("1001"));
    next->setText("999");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialog.findChild<QLabel*>("error")->text().contains("never lowered below 1001"));
    next->setText("5000");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.raisedNext(), std::optional<quint64>(5000));
}

int main(int argc, char* argv[])
{
    TestSupport::isolateEnvironment();
    // The real window system: mapping, focus and stacking as an operator has them.
    if (xSession().start()) {
        ::setenv("DISPLAY", qPrintable(xSession().display()), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        std::fputs("tst_stationwindow: no Xvfb and openbox here; on the offscreen platform\n",
                   stderr);
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    TestSupport::resetSeams();
    StationWindowTest test;
    const int status = QTest::qExec(&test, argc, argv);
    xSession().stop();
    return status;
}

#include "tst_stationwindow.moc"
