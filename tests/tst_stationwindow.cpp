// The station window on a private X server with a window manager, against
// simulated units behind links that come and go: what the tiles say, what
// the record says, and what a restart brings back.

#include "cli/verbs.h"
#include "records/audittrail.h"
#include "station/stationslot.h"
#include "stationwindow/labelsdialog.h"
#include "stationwindow/serialnumbersdialog.h"
#include "stationwindow/slottile.h"
#include "stationwindow/stationwindow.h"
#include "testsupport.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <cstdlib>
#include <memory>

using namespace TestSupport;

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
    void tileLayoutAtEverySize_data();
    void tileLayoutAtEverySize();
    void fourSlotsTwoByTwo();
    void silentUnitSaidAtOnce();
    void resultStaysTillTheNextUnit();
    void releasedJobInOperatorMode();
    void labelsScannedIntoTheWindow();
    void lineControllerDrivesTheWindow();
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
            if (r["slot"].toString() == tile->port()) {
                ++units;
                QCOMPARE(r["result"].toString(), QStringLiteral("pass"));
                QCOMPARE(r["station"].toString(), QSysInfo::machineHostName());
            }
        }
        QCOMPARE(units, 2);
        QCOMPARE(tile->slot().passed, 2);
        QVERIFY(tile->spoken().startsWith(tile->name() + ": "));
        QVERIFY(tile->look() == SlotTile::Look::Pass || tile->look() == SlotTile::Look::PlaceUnit);
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
    QCOMPARE(gone->slot().failed, 1);
    QCOMPARE(gone->slot().last->reason, QStringLiteral("adaptor unplugged"));
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
    QCOMPARE(stays->slot().last->result, UnitResult::Interrupted);
    QCOMPARE(stays->slot().last->reason, QStringLiteral("the station was stopped"));
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
    QCOMPARE(again.tiles()[0]->port(), missing);
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
    // The bench as a config the station verb reads back whole: one bench,
    // as the window has it and as the command line takes it.
    QVERIFY(again.exportConfig(tempFolder() + "/kept.conf", &why));
    const Verbs::Invocation call =
        Verbs::prepare({"station", "--config", tempFolder() + "/kept.conf"});
    QVERIFY2(!call.usage, qPrintable(call.usage ? call.usage->why : QString()));
    const BenchConfig& read = *call.command->bench();
    QVERIFY(read == again.bench());
    QCOMPARE(read.ports, (QStringList{missing, tempFolder() + "/usb-C1"}));
    QCOMPARE(read.slotNames, (QStringList{"Bench C0", "Bench C1"}));
    QCOMPARE(read.record, record);
    QCOMPARE(read.file, firmware);
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
    setup.bench.ports = QStringList{a.name};
    setup.bench.slotNames = QStringList{"Bench D1"};
    setup.bench.file = firmware;
    setup.bench.record = record;
    QString why;
    QVERIFY(setup.bench.set(BenchField::Serial, "0x1E:4:be", &why));
    setup.bench.serialStart = 1000;
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

    SerialNumbersDialog dialog(StationSetup::load().bench, record + ".serial");
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

void StationWindowTest::tileLayoutAtEverySize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("flashing");
    for (const QSize size : {QSize(220, 160), QSize(420, 300), QSize(627, 322), QSize(960, 720),
                             QSize(300, 640), QSize(1900, 260)}) {
        const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        QTest::newRow(qPrintable(name + " flashing")) << size << true;
        QTest::newRow(qPrintable(name + " failed")) << size << false;
    }
}

// Every text of a tile inside it, each part below the one before, the state
// word on one line however long, and the progress figure at least half the
// state word's size.
void StationWindowTest::tileLayoutAtEverySize()
{
    QFETCH(QSize, size);
    QFETCH(bool, flashing);
    SlotTile::Face face;
    face.name = "Bench A1";
    face.device = "usb-FTDI_FT232R_USB_UART_A10K3XQ2-if00-port0 (/dev/ttyUSB0)";
    face.counts = "12 passed, 1 failed";
    if (flashing) {
        face.look = SlotTile::Look::Silent;
        face.word = "No answer for 14 s";
        face.serial = "#1000123";
        face.progress = true;
        face.percent = 71;
        face.lines = "143 of 200 lines";
        face.left = "0:42 left";
    } else {
        face.look = SlotTile::Look::Fail;
        face.word = "FAIL";
        face.detail = QStringList{"the unit went away at line 101 of 200", "place the next unit"};
    }
    const SlotTile::Layout l = SlotTile::layout(size, face, QApplication::font());
    const QRect tile(QPoint(0, 0), size);
    QVERIFY(QFontMetrics(l.state).horizontalAdvance(face.word) <= l.word.width());
    QVector<QRect> parts{l.header, l.word};
    if (flashing) {
        parts << l.figureRect << l.bar << l.linesRect;
        QVERIFY(QFontMetrics(l.figure).horizontalAdvance("100 %  ") +
                    QFontMetrics(l.lines).horizontalAdvance(face.serial) <=
                l.figureRect.width());
        QVERIFY2(l.figure.pixelSize() * 2 >= l.state.pixelSize(),
                 qPrintable(QStringLiteral("%1 px beside %2 px")
                                .arg(l.figure.pixelSize())
                                .arg(l.state.pixelSize())));
        QVERIFY(l.lines.pixelSize() * 2 >= l.state.pixelSize());
    } else {
        parts << l.detailRect;
        QVERIFY(l.detail.pixelSize() * 10 >= l.state.pixelSize() * 6);
        QVERIFY(l.detailRect.height() >= QFontMetrics(l.detail).lineSpacing());
    }
    parts << l.counts;
    for (int i = 0; i < parts.size(); ++i) {
        QVERIFY2(tile.contains(parts[i]), qPrintable(QStringLiteral("part %1").arg(i)));
        if (i > 0)
            QVERIFY2(parts[i].top() > parts[i - 1].bottom(),
                     qPrintable(QStringLiteral("part %1 overlaps the one before").arg(i)));
    }
    QVERIFY(l.state.pixelSize() > l.small.pixelSize());
}

// The grid picks the columns whose tiles come closest to a landscape 4:3.
void StationWindowTest::fourSlotsTwoByTwo()
{
    QCOMPARE(StationWindow::columnsFor(4, QSize(1260, 620), 6), 2);
    QCOMPARE(StationWindow::columnsFor(4, QSize(980, 560), 6), 2);
    QCOMPARE(StationWindow::columnsFor(4, QSize(1900, 400), 6), 4);
    QCOMPARE(StationWindow::columnsFor(1, QSize(800, 600), 6), 1);
    QCOMPARE(StationWindow::columnsFor(16, QSize(1260, 620), 6), 4);
    QCOMPARE(StationWindow::columnsFor(3, QSize(600, 900), 6), 1);
}

// A unit that stops answering mid-upload turns its tile amber at once,
// counting, and back when it answers again.
void StationWindowTest::silentUnitSaidAtOnce()
{
    const QString firmware = tempFolder() + "/silent.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 300), firmware));
    Adaptor a(tempFolder() + "/usb-E1");
    // Quiet for 3.5 s after line 40, then prompting again.
    QVERIFY(a.plugIn({"--leave-after", "40:3500"}));
    StationSetup setup;
    setup.bench.nextAfterSeconds = 6; // not taken away yet, as the store may say
    QString why;
    QVERIFY(setup.save(&why));
    StationWindow window;
    window.show();
    SlotTile* tile = window.addSlot(a.name, "Bench E1");
    QVERIFY(window.openFirmware(firmware));
    window.setRecordPath(tempFolder() + "/silent.jsonl");
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return a.unit.receivedLines().size() >= 40; }, 10000));
    pump(1200);
    QCOMPARE(tile->look(), SlotTile::Look::Flashing);
    QVERIFY(waitFor([&] { return tile->look() == SlotTile::Look::Silent; }, 2000));
    QVERIFY(waitFor([&] { return tile->face().word == "No answer for 3 s"; }, 2000));
    QVERIFY(tile->spoken().startsWith("Bench E1: no answer for 3 s"));
    QVERIFY(waitFor([&] { return tile->look() == SlotTile::Look::Flashing; }, 3000));
    QVERIFY(waitFor([&] { return tile->look() == SlotTile::Look::Pass; }, 20000));
    window.stop();
}

// PASS stays the largest word until the next unit begins: "remove the unit"
// under it while the unit is in front, "place the next unit" once it left.
void StationWindowTest::resultStaysTillTheNextUnit()
{
    const QString firmware = tempFolder() + "/stays.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), firmware));
    Adaptor stays(tempFolder() + "/usb-F1"), leaves(tempFolder() + "/usb-F2");
    QVERIFY(stays.plugIn({}));                             // prompts on after its end
    QVERIFY(leaves.plugIn({"--next-unit-after", "4000"})); // taken away, the next one later
    StationWindow window;
    window.show();
    SlotTile* first = window.addSlot(stays.name, "Bench F1");
    SlotTile* second = window.addSlot(leaves.name, "Bench F2");
    QVERIFY(window.openFirmware(firmware));
    window.setRecordPath(tempFolder() + "/stays.jsonl");
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return first->look() == SlotTile::Look::Pass; }, 10000));
    QVERIFY(waitFor([&] { return second->look() == SlotTile::Look::Pass; }, 10000));
    pump(1500);
    QCOMPARE(first->face().detail, QStringList{"remove the unit"});
    QCOMPARE(second->face().detail, QStringList{"place the next unit"});
    pump(1500); // past the quiet wait: the slot waits for the next unit
    QCOMPARE(window.station().view(1).state, SlotState::WaitingForUnit);
    QCOMPARE(second->look(), SlotTile::Look::Pass);
    QCOMPARE(first->look(), SlotTile::Look::Pass);
    QVERIFY(waitFor([&] { return second->look() == SlotTile::Look::Flashing; }, 5000));
    window.stop();
}

// A released job opens locked: nothing that changes the bench is offered,
// Start works by its key; an engineer's unlock lets them change it for a
// while, each change and the unlock itself in the audit trail, then it
// locks again by itself.
void StationWindowTest::releasedJobInOperatorMode()
{
    JobSigner signer;
    if (!signer.ready())
        QSKIP(qPrintable(signer.why()));
    const QString firmware = tempFolder() + "/released.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), firmware));
    QFile fw(firmware);
    QVERIFY(fw.open(QIODevice::ReadOnly));
    const QString digest =
        QCryptographicHash::hash(fw.readAll(), QCryptographicHash::Sha256).toHex();
    Adaptor a(tempFolder() + "/usb-J1");
    QVERIFY(a.plugIn({"--next-unit-after", "2500"}));
    const QString record = tempFolder() + "/released.jsonl";
    QFile::remove(record);
    QFile::remove(record + ".audit");
    const QString job = writeFile(
        "released.conf", QStringLiteral("[Station]\nname = bench-J\nfile = %1\nsha256 = %2\n"
                                        "ports = %3\nslot-names = Bench J1\nrecord = %4\n")
                             .arg(firmware, digest, a.name, record)
                             .toUtf8());
    QVERIFY(signer.sign(job));
    StationWindow window;
    ::unsetenv("FIRMWARE_STATION_POLICY");
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(window.openJob(job));
    QCOMPARE(window.tiles().size(), 1);
    QCOMPARE(window.tiles()[0]->name(), QStringLiteral("Bench J1"));
    QVERIFY(window.findChild<QLabel*>("job")->text().contains("signed by carol@example"));
    // Nothing that changes the bench: not shown, and its keys do nothing.
    for (const char* text : {"&Open Firmware...", "&Pin SHA-256...", "&Serial Numbers...",
                             "&Add...", "Re&move", "&Choose Record File...", "&Database..."}) {
        QAction* changing = actionNamed(window, text);
        QVERIFY2(changing && !changing->isVisible() && !changing->isEnabled(), qPrintable(text));
    }
    QTest::keyClick(&window, Qt::Key_Insert);
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(window.tiles().size(), 1);
    QVERIFY(actionNamed(window, "&Start")->isVisible() && actionNamed(window, "&Summary")->isVisible());
    // Start by its key: the unit's record names the job.
    QTest::keyClick(&window, Qt::Key_F5);
    QVERIFY(waitFor([&] { return window.station().running(); }, 3000));
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 20000));
    const QJsonObject r = records(record).first();
    QCOMPARE(r["job"]["file"].toString(), job);
    QCOMPARE(r["job"]["signer"].toString(), QStringLiteral("carol@example"));
    QCOMPARE(r["operator"].toString(), Station::accountName());
    // Run as root, for whom polkit grants anything: refused outright, and kept in the trail.
    {
        ScriptedBoxes boxes;
        window.unlock();
        QVERIFY(waitFor([&] { return !boxes.requests.isEmpty(); }, 2000));
        QVERIFY(boxes.texts().value(0).contains("runs as root"));
    }
    QVERIFY(window.operatorLock().isLocked());
    // polkit's yes, as it comes for an engineer (tst_bus asks the real one).
    window.operatorLock().unlock("bob");
    QVERIFY(!window.operatorLock().isLocked());
    QCOMPARE(window.station().operatorName(), QStringLiteral("bob"));
    QVERIFY(actionNamed(window, "&Add...")->isVisible());
    window.stop();
    QVERIFY(waitFor([&] { return !window.station().running(); }, 3000));
    window.renameSlot(window.tiles()[0], "Bench J9");
    // Locked again by itself once the time is up.
    window.operatorLock().setDuration(std::chrono::milliseconds(300));
    window.lockNow();
    window.operatorLock().unlock("bob");
    QVERIFY(waitFor([&] { return window.operatorLock().isLocked(); }, 3000));
    QVERIFY(!actionNamed(window, "&Add...")->isVisible());
    QVERIFY(window.findChild<QLabel*>("job")->text().contains("Changed since it was released"));

    const QVector<QJsonObject> trail = records(record + ".audit");
    QStringList events;
    for (const QJsonObject& e : trail)
        events << e["event"].toString();
    QCOMPARE(events, (QStringList{"job-verified", "job-verified", "station-started",
                                  "unlock-refused", "unlocked", "station-stopped",
                                  "setting-changed", "locked", "unlocked", "locked"}));
    const QJsonObject changed = trail[6];
    QCOMPARE(changed["field"].toString(), QStringLiteral("slot-names"));
    QCOMPARE(changed["old"].toString(), QStringLiteral("Bench J1"));
    QCOMPARE(changed["new"].toString(), QStringLiteral("Bench J9"));
    QCOMPARE(changed["account"].toString(), QStringLiteral("bob"));
    QCOMPARE(trail[7]["why"].toString(), QStringLiteral("locked by hand"));
    QCOMPARE(trail[9]["why"].toString(), QStringLiteral("the time was up"));
    QCOMPARE(trail[9]["engineer"].toString(), QStringLiteral("bob"));
    QCOMPARE(AuditTrail::verify(record + ".audit").broken, 0);
}

// A bench that needs each unit's label: the scan field has the focus, a
// unit placed before its label waits, a label of another pattern is said
// and refused, and the right one goes to the record and onto the tile.
void StationWindowTest::labelsScannedIntoTheWindow()
{
    const QString firmware = tempFolder() + "/labelled.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), firmware));
    const QString record = tempFolder() + "/labelled.jsonl";
    QFile::remove(record);
    Adaptor a(tempFolder() + "/usb-L1");
    QVERIFY(a.plugIn({"--next-unit-after", "2500"}));
    StationSetup setup;
    setup.bench.ports = QStringList{a.name};
    setup.bench.slotNames = QStringList{"Bench L1"};
    setup.bench.file = firmware;
    setup.bench.record = record;
    {
        // Set as an engineer would, in File > Labels...
        LabelsDialog dialog(setup.bench);
        dialog.findChild<QCheckBox*>("require")->setChecked(true);
        auto* pattern = dialog.findChild<QLineEdit*>("pattern");
        pattern->setText("LBL-([0-9]{4}");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.findChild<QLabel*>("error")->text().contains("no regular expression"));
        pattern->setText("LBL-[0-9]{4}");
        auto* rework = dialog.findChild<QComboBox*>("rework");
        rework->setCurrentIndex(rework->findData("refuse"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        dialog.applyTo(&setup.bench);
    }
    QVERIFY(setup.bench.requireLabel);
    QCOMPARE(setup.bench.labelPattern, QStringLiteral("LBL-[0-9]{4}"));
    QCOMPARE(setup.bench.text(BenchField::Rework), QStringLiteral("refuse"));
    QString why;
    QVERIFY(setup.save(&why));

    StationWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    auto* scan = window.findChild<QLineEdit*>("scan");
    QVERIFY(scan && scan->isVisible());
    QVERIFY(window.start());
    QVERIFY(waitFor([&] { return scan->hasFocus(); }, 3000));
    SlotTile* tile = window.tiles().value(0);
    QVERIFY(waitFor([&] { return tile->spoken().contains("scan the unit's label"); }, 5000));
    QVERIFY(a.unit.receivedLines().isEmpty());

    auto* notice = window.findChild<QLabel*>("notice");
    QVERIFY(notice);
    QTest::keyClicks(scan, "XYZ-1");
    QTest::keyClick(scan, Qt::Key_Return);
    QVERIFY2(notice->text().contains("XYZ-1 is no label of these units"),
             qPrintable(notice->text()));
    QVERIFY(scan->text().isEmpty());
    pump(1200);
    QVERIFY(a.unit.receivedLines().isEmpty());

    QTest::keyClicks(scan, "LBL-0042");
    QTest::keyClick(scan, Qt::Key_Return);
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 20000));
    QCOMPARE(records(record).first()["label"].toString(), QStringLiteral("LBL-0042"));
    QVERIFY(waitFor([&] { return tile->spoken().contains("label LBL-0042"); }, 2000));
    QVERIFY2(tile->spoken().startsWith("Bench L1: pass"), qPrintable(tile->spoken()));

    // The next unit bears the same label: a rework, which this bench refuses.
    QVERIFY(waitFor([&] { return tile->spoken().contains("scan the unit's label"); }, 10000));
    const int before = a.unit.receivedLines().size();
    QTest::keyClicks(scan, "LBL-0042");
    QTest::keyClick(scan, Qt::Key_Return);
    QVERIFY(waitFor([&] { return notice->text().contains("LBL-0042 was flashed on"); }, 3000));
    pump(1200);
    QCOMPARE(a.unit.receivedLines().size(), before);
    QCOMPARE(records(record).size(), 1);
    window.stop();
    QVERIFY(waitFor([&] { return !window.station().running(); }, 3000));
}

// A line controller on a real broker starts the window's station, is told
// why a job is not loaded while it runs, and stops it: the window stays.
void StationWindowTest::lineControllerDrivesTheWindow()
{
    MosquittoBroker broker;
    QString why;
    if (!broker.prepare(&why))
        QSKIP(qPrintable(why));
    QVERIFY(broker.start());
    qputenv("MQTT_PASSWORD", MosquittoBroker::password("bench").toUtf8());
    const QString firmware = tempFolder() + "/driven.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), firmware));
    const QString record = tempFolder() + "/driven.jsonl";
    QFile::remove(record);
    Adaptor a(tempFolder() + "/usb-W1");
    QVERIFY(a.plugIn({"--next-unit-after", "900"}));
    StationSetup setup;
    setup.bench.name = "bench-w";
    setup.bench.ports = QStringList{a.name};
    setup.bench.file = firmware;
    setup.bench.record = record;
    QVERIFY(setup.save(&why));

    StationWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Subscriber seen(broker, "watcher", "factory/bench-w/#");
    QVERIFY(!window.useBroker("mqtt://bench@broker/factory/#", &why));
    QVERIFY(window.useBroker(broker.url("bench"), &why));
    const auto state = [&] {
        const QVector<QByteArray> states = seen.payloads("state");
        return states.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(states.last()).object();
    };
    const auto reply = [&](const QString& id) {
        for (const QByteArray& p : seen.payloads("reply")) {
            const QJsonObject o = QJsonDocument::fromJson(p).object();
            if (o["id"].toString() == id)
                return o;
        }
        return QJsonObject();
    };
    QVERIFY(waitFor([&] { return state()["online"].toBool(); }, 10000));
    QVERIFY(!state()["running"].toBool());
    QVERIFY(waitFor([&] { return window.lineControl().state().startsWith("broker: connected"); },
                    5000));

    const QString command = "factory/bench-w/command";
    QVERIFY(broker.publish("controller", command, R"({"id": "w1", "command": "start"})"));
    QVERIFY(waitFor([&] { return !reply("w1").isEmpty(); }, 10000));
    QVERIFY2(reply("w1")["ok"].toBool(), qPrintable(reply("w1")["error"].toString()));
    QVERIFY(window.station().running());
    QVERIFY(waitFor([&] { return records(record).size() >= 1; }, 20000));

    QVERIFY(broker.publish("controller", command,
                           R"({"id": "w2", "command": "load-job", "job": "/nowhere.conf"})"));
    QVERIFY(waitFor([&] { return !reply("w2").isEmpty(); }, 10000));
    QVERIFY2(reply("w2")["error"].toString().contains("Stop the station"),
             qPrintable(reply("w2")["error"].toString()));

    QVERIFY(broker.publish("controller", command, R"({"id": "w3", "command": "stop"})"));
    QVERIFY(waitFor([&] { return !window.station().running(); }, 15000));
    QVERIFY(reply("w3")["ok"].toBool() ||
            waitFor([&] { return reply("w3")["ok"].toBool(); }, 5000));
    QVERIFY(waitFor([&] { return !state()["running"].toBool(); }, 5000));
    QVERIFY(window.isVisible());
    for (const QJsonObject& r : records(record))
        QCOMPARE(r["result"].toString(), QStringLiteral("pass"));
    QVERIFY(window.useBroker(QString(), &why));
    QVERIFY(waitFor([&] { return !state()["online"].toBool(); }, 5000));
}

WINDOW_TEST_MAIN(StationWindowTest, "tst_stationwindow")

#include "tst_stationwindow.moc"
