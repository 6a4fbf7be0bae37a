// The upload start, the handshake and the cancel dialog, with the test
// playing the unit on a pseudo-terminal.

#include "terminal/firmwareupload.h"
#include "terminal/frmcancelsend.h"
#include "terminal/frmterminal.h"
#include "terminal/keyedstatusbar.h"
#include "testsupport.h"
#include "ui/formtimer.h"
#include "ui/terminaltext.h"
#include "upload/transcript.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <QToolBar>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

const QString crlf = QStringLiteral("\r\n");

// The loader with its port open on a pseudo-terminal, a file dialog that
// answers from a list, recorded message boxes and an instant one-second pause.
struct Rig {
    Pty unit;
    ScriptedBoxes boxes;
    ScriptedFileDialog files;
    FakeClock clock;
    std::unique_ptr<frmTerminal> form;

    Rig()
    {
        linkComPort(1, unit.slavePath());
        form = std::make_unique<frmTerminal>();
        form->mnuOpen_Click();
    }
    ~Rig()
    {
        if (form) {
            for (FormTimer* t : {form->Timer1, form->Timer2, form->Timer3, form->Timer4})
                t->stop();
        }
    }
    FirmwareUpload& upload() { return form->upload(); }
    QString transcript() const { return form->txtTerm->text(); }

    void start(const QString& path)
    {
        files.choices << path;
        form->mnuSendText->trigger();
    }
    // Sends a reply and returns what the loader sent back, waiting for `expect` bytes.
    QByteArray reply(const QByteArray& text, int expect, int timeoutMs = 2000)
    {
        unit.write(text);
        return unit.readFor(expect, timeoutMs);
    }
    // Nothing more arrives for a while.
    QByteArray quietFor(int ms)
    {
        pump(ms);
        return unit.readAvailable();
    }
};

QString lines(const QVector<QByteArray>& lines)
{
    QString text;
    for (const QByteArray& l : lines)
        text += Transcript::fromBytes(l) + crlf;
    return text;
}

} // namespace

class UploadTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetSeams(); }

    void handshakeAndTranscript();
    void emptyFile();
    void notFoundAsksAgain();
    void crlfAndEightBitBytes();
    void portResetDuringUpload();
    void twoUploadsInARow();
    void cancelDialogLayoutAndKeys();
    void cancelDialogTakesActivationBack();

    void firstLineSurvivesThePause_data();
    void firstLineSurvivesThePause();
    void doneOnlyOnceTheLastLineLeft_data();
    void doneOnlyOnceTheLastLineLeft();
    void fileChangedWhileSending();
    void notLineText_data();
    void notLineText();
    void boxesDuringAnUpload_data();
    void boxesDuringAnUpload();
};

void UploadTest::handshakeAndTranscript()
{
    Rig rig;
    const QVector<QByteArray> file = {"S00600004844521B",
                                      "S1130000285F245F2212226A000424290008237C2A",
                                      "S11300100002000800082629001853812341001813", "S5030003F9"};
    const QString path =
        writeFile("four.s19", "S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\n"
                              "S11300100002000800082629001853812341001813\nS5030003F9\n");
    rig.start(path);
    QCOMPARE(rig.files.lastTitle, QStringLiteral("Load Firmware File"));
    QCOMPARE(rig.files.lastFilter,
             QStringLiteral("Text Files (*.TXT)|*.txt|S Files (*.s*)|*.s*|All Files (*.*)|*.*"));
    QCOMPARE(rig.files.fileNameWhenShown, QString());
    QCOMPARE(rig.clock.pauses, 1);
    QCOMPARE(rig.unit.readFor(file[0].size(), 2000), file[0]); // no line ending
    QVERIFY(rig.upload().sending());
    QVERIFY(!rig.form->mnuSendText->isEnabled());
    QVERIFY(!rig.form->toolbarButton("TransmitTextFile")->isEnabled());
    QVERIFY(rig.form->Timer4->Enabled());
    QVERIFY(rig.form->Timer1->Enabled());
    frmCancelSend* dialog = rig.upload().cancelDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->Label1->text(), QStringLiteral("Loading Firmware File - ") + path);
    QCOMPARE(dialog->Progress->maximum(), 4);
    QCOMPARE(dialog->Progress->value(), 1);
    QCOMPARE(dialog->Progress->text(), QStringLiteral("1 of 4 lines"));

    QCOMPARE(rig.reply("*", file[1].size()), file[1]);
    QCOMPARE(rig.reply("+", file[1].size()), file[1]);
    QCOMPARE(rig.reply("*+", file[1].size()), file[1]); // one read: the last character counts
    QCOMPARE(rig.reply("+*", file[2].size()), file[2]);
    QTRY_COMPARE(dialog->Progress->value(), 3);
    QTRY_COMPARE(dialog->Progress->text(), QStringLiteral("3 of 4 lines, 2 sent again"));
    QVERIFY(rig.upload().sending());
    QCOMPARE(rig.reply("*", file[3].size()), file[3]);
    // The last line ends the upload at once, without waiting for its answer.
    QVERIFY(waitFor([&] { return !rig.upload().sending(); }, 2000));
    const QString expected = crlf + "Loading Firmware File..." + crlf + lines({file[0]}) + "*" +
                             lines({file[1]}) + "+" + lines({file[1]}) + "+" + lines({file[1]}) +
                             "*" + lines({file[2]}) + "*" + lines({file[3]}) + crlf + "Done." +
                             crlf;
    QCOMPARE(rig.transcript(), expected);
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QVERIFY(rig.form->toolbarButton("TransmitTextFile")->isEnabled());
    QVERIFY(!dialog->isVisible());
    QVERIFY(!rig.form->Timer4->Enabled());
    QVERIFY(!rig.form->Timer1->Enabled());
    QCOMPARE(rig.form->sbrStatus->panelText("ConnectTime"), QString());
    QVERIFY(rig.upload().engine().bStopSending);
    QVERIFY(!rig.upload().engine().tsFirmware.isOpen());

    // Later replies show nothing and finish nothing again.
    rig.unit.write("*");
    QCOMPARE(rig.quietFor(150), QByteArray());
    rig.unit.write("+");
    QCOMPARE(rig.quietFor(150), QByteArray());
    QCOMPARE(rig.transcript(), expected + "+");
    QCOMPARE(rig.transcript().count("Done."), 1);
    QCOMPARE(rig.boxes.requests.size(), 0);
}

void UploadTest::emptyFile()
{
    Rig rig;
    const QString path = writeFile("empty.s19", "");
    rig.start(path);
    QCOMPARE(rig.boxes.requests.size(), 1);
    QVERIFY2(rig.boxes.texts().first().contains(path + " is empty"),
             qPrintable(rig.boxes.texts().first()));
    QCOMPARE(rig.quietFor(100), QByteArray());
    QVERIFY(!rig.upload().sending());
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QVERIFY(!rig.upload().cancelDialog()->isVisible());
    QVERIFY(!rig.form->Timer4->Enabled());
    QVERIFY(!rig.transcript().contains("Done."));
    // The next upload works.
    rig.start(writeFile("after.txt", "x\ny\n"));
    QCOMPARE(rig.unit.readFor(1, 2000), QByteArray("x"));
}

void UploadTest::notFoundAsksAgain()
{
    Rig rig;
    rig.files.choices << "/nope/a.s19"
                      << "/nope/b.s19"
                      << "";
    rig.form->mnuSendText_Click();
    QCOMPARE(rig.files.showings, 3);
    QCOMPARE(rig.boxes.texts(), (QStringList{"/nope/a.s19 not found!", "/nope/b.s19 not found!"}));
    QCOMPARE(rig.boxes.requests[0].icon, MessageBoxes::Icon::Exclamation);
    QCOMPARE(rig.files.fileNameWhenShown, QString()); // cleared before each showing
    QVERIFY(!rig.upload().sending());
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QCOMPARE(rig.transcript(), QString());
    QCOMPARE(rig.quietFor(50), QByteArray());

    // A folder is no file either.
    rig.files.choices << tempFolder() << "";
    rig.form->mnuSendText_Click();
    QCOMPARE(rig.boxes.texts().last(), tempFolder() + " not found!");
}

void UploadTest::crlfAndEightBitBytes()
{
    Rig rig;
    QByteArray high;
    for (int b = 0x80; b <= 0xff; ++b)
        high.append(char(b));
    const QByteArray withControls = QByteArray("a\x1a") + QByteArray(1, '\0') + "b\rc";
    rig.start(writeFile("mixed.txt", "first\r\n" + high + "\r\n" + withControls + "\n"));
    QCOMPARE(rig.unit.readFor(5, 2000), QByteArray("first"));
    QCOMPARE(rig.reply("*", high.size()), high);
    QCOMPARE(rig.reply("*", withControls.size()), withControls);
    QVERIFY(waitFor([&] { return !rig.upload().sending(); }, 2000));
    const QString t = rig.transcript();
    QVERIFY(t.contains(QString::fromLatin1(high) + crlf));
    QVERIFY(t.contains(QString::fromLatin1(withControls) + crlf));
    QVERIFY(t.contains("first" + crlf + "*"));
}

void UploadTest::portResetDuringUpload()
{
    Rig rig;
    rig.start(writeFile("reset.txt", "R1\nR2\nR3\n"));
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("R1"));
    rig.form->Timer4_Timer();
    QVERIFY(rig.form->MSComm1->PortOpen());
    QVERIFY(rig.form->mnuSendText->isEnabled()); // as the toggle shows the port
    QVERIFY(rig.upload().sending());
    QVERIFY(rig.form->Timer1->Enabled());
    // Starting again meanwhile shows the running upload instead.
    rig.form->mnuSendText_Click();
    QCOMPARE(rig.files.showings, 1);
    QCOMPARE(rig.reply("*", 2), QByteArray("R2"));
}

void UploadTest::twoUploadsInARow()
{
    Rig rig;
    rig.start(writeFile("a.txt", "a1\na2\n"));
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("a1"));
    QCOMPARE(rig.reply("*", 2), QByteArray("a2"));
    QVERIFY(waitFor([&] { return !rig.upload().sending(); }, 2000));
    const QString path = writeFile("b.txt", "b1\nb2\nb3\n");
    rig.start(path);
    QCOMPARE(rig.upload().cancelDialog()->Label1->text(), "Loading Firmware File - " + path);
    QVERIFY(rig.upload().cancelDialog()->isVisible());
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("b1"));
    QCOMPARE(rig.reply("*", 2), QByteArray("b2"));
    QCOMPARE(rig.reply("*", 2), QByteArray("b3"));
    QVERIFY(waitFor([&] { return !rig.upload().sending(); }, 2000));
    QCOMPARE(rig.transcript().count("Done."), 2);
}

void UploadTest::cancelDialogLayoutAndKeys()
{
    Rig rig;
    rig.start(writeFile("keys.txt", "k1\nk2\n"));
    frmCancelSend* d = rig.upload().cancelDialog();
    QVERIFY(d->Command1->isDefault());
    QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
    // The progress strip lies between the label and the button.
    QVERIFY(d->Progress->geometry().top() >= d->Label1->geometry().bottom());
    QVERIFY(d->Progress->geometry().bottom() < d->Command1->geometry().top());
    // Cancel is the one element that takes the focus.
    QCOMPARE(d->Label1->focusPolicy(), Qt::NoFocus);
    QCOMPARE(d->Progress->focusPolicy(), Qt::NoFocus);
    // The main window's menus answer their access keys here too.
    rig.form->show();
    QTest::keyClick(d->Command1, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(rig.form->mnuPort->isVisible());
    rig.form->mnuPort->hide();
    QVERIFY(rig.upload().sending());
    // Escape is Cancel.
    QTest::keyClick(d, Qt::Key_Escape);
    QVERIFY(!rig.upload().sending());
    QVERIFY(!d->isVisible());
}

void UploadTest::cancelDialogTakesActivationBack()
{
    Rig rig;
    rig.form->show();
    rig.start(writeFile("act.txt", "x1\nx2\n"));
    frmCancelSend* d = rig.upload().cancelDialog();
    QVERIFY(QTest::qWaitForWindowActive(d));
    rig.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
    QVERIFY(waitFor([&] { return QApplication::activeWindow() == d; }, 2000));

    // A modal box keeps the activation it takes.
    rig.boxes.whileOpen = [&](const MessageBoxes::Request&) {
        rig.form->activateWindow();
        pump(200);
        QCOMPARE(QApplication::activeWindow(), rig.form.get());
    };
    rig.form->mnuHelp_Click();
    QCOMPARE(rig.boxes.requests.size(), 1);

    // Once the upload stops, the dialog lets go.
    rig.upload().Cancel();
    rig.form->activateWindow();
    pump(200);
    QCOMPARE(QApplication::activeWindow(), rig.form.get());
}

// The unit prompts every 50 ms, so the port-reset countdown is overdue when
// the deaf second ends; the first line must still arrive whole.
void UploadTest::firstLineSurvivesThePause_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("one S-record") << QByteArray("S00600004844521B");
    QTest::newRow("a 64 KiB line") << QByteArray(65536, 'A');
}

void UploadTest::firstLineSurvivesThePause()
{
    QFETCH(QByteArray, line);
    VirtualUnit unit;
    // Text that is no S-record ends at a silence; a slow build (sanitizers)
    // may pause longer than the usual 30 ms while 64 KiB leave.
    QVERIFY(!unit.start(1, {"--prompt-interval", "50", "--frame-gap", "300"}).isEmpty());
    ScriptedBoxes boxes;
    ScriptedFileDialog files;
    FakeClock clock;
    clock.realPause = true;
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(waitFor([&] { return form.txtTerm->text().contains('+'); }, 3000));
    files.choices << writeFile("one-line.txt", line + "\n");
    form.mnuSendText_Click();
    QVERIFY(waitFor([&] { return !form.upload().sending(); }, 10000));
    QVERIFY(waitFor([&] { return !unit.receivedLines().isEmpty(); }, 3000));
    QCOMPARE(unit.receivedLines().first(), line);
    QVERIFY(form.txtTerm->text().endsWith("\r\nDone.\r\n"));
    QCOMPARE(boxes.requests.size(), 0);
    form.Timer4->setEnabled(false);
}

// Nobody reads the 64 KiB line at first, so it is still leaving.
void UploadTest::doneOnlyOnceTheLastLineLeft_data()
{
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("the line leaves") << false;
    QTest::newRow("the port closes first") << true;
}

void UploadTest::doneOnlyOnceTheLastLineLeft()
{
    QFETCH(bool, closeFirst);
    Rig rig;
    const QByteArray last(65536, 'Z');
    rig.start(writeFile("last.txt", "first\n" + last + "\n"));
    QCOMPARE(rig.unit.readFor(5, 2000), QByteArray("first"));
    rig.unit.write("*");
    QVERIFY(waitFor([&] { return rig.transcript().endsWith('Z' + crlf); }, 2000));
    pump(100);
    QVERIFY(rig.upload().sending());
    QVERIFY(!rig.transcript().contains("Done."));
    if (closeFirst) {
        rig.form->mnuOpen_Click();
        QVERIFY(waitFor([&] { return rig.boxes.requests.size() == 1; }, 2000));
        QVERIFY(rig.boxes.texts().first().contains("closed before"));
        QVERIFY(!rig.upload().sending());
        QVERIFY(!rig.transcript().contains("Done."));
        QVERIFY(rig.form->mnuSendText->isEnabled() == rig.form->MSComm1->PortOpen());
    } else {
        QCOMPARE(rig.unit.readFor(last.size(), 5000), last);
        QVERIFY(waitFor([&] { return !rig.upload().sending(); }, 2000));
        QVERIFY(rig.transcript().endsWith(crlf + "Done." + crlf));
        QCOMPARE(rig.boxes.requests.size(), 0);
    }
}

void UploadTest::fileChangedWhileSending()
{
    VirtualUnit unit;
    QVERIFY(!unit.start(1, {"--prompt-only-before-upload"}).isEmpty());
    ScriptedBoxes boxes;
    ScriptedFileDialog files;
    FakeClock clock;
    frmTerminal form;
    form.mnuOpen_Click();
    const QString path = tempFolder() + "/changing.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 300), path));
    const QVector<QByteArray> chosen = fileLines(path);
    files.choices << path;
    form.mnuSendText_Click();
    QVERIFY(waitFor([&] { return unit.receivedLines().size() >= 3; }, 5000));
    QVERIFY(QFile::resize(path, 500));
    QVERIFY(waitFor([&] { return !form.upload().sending(); }, 60000));
    // The file as it was chosen goes out whole: a change on disk never
    // reaches a unit under way.
    QVERIFY(form.txtTerm->text().contains("Done."));
    QCOMPARE(boxes.requests.size(), 0);
    pump(150); // the unit writes its records every 50 ms
    QCOMPARE(unit.receivedLines(), chosen);
}

void UploadTest::notLineText_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("refused");
    QTest::newRow("70,000-byte line") << 70000 << true;
    QTest::newRow("65,536-byte line") << 65536 << false;
}

void UploadTest::notLineText()
{
    QFETCH(int, length);
    QFETCH(bool, refused);
    Rig rig;
    const QString path = writeFile("binary.bin", "S0\n" + QByteArray(length, 'B') + "\n");
    rig.start(path);
    if (!refused) {
        QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("S0"));
        QCOMPARE(rig.reply("*", length, 5000).size(), length);
        return;
    }
    QCOMPARE(rig.boxes.requests.size(), 1);
    const QString text = rig.boxes.texts().first();
    QVERIFY2(text.contains("Line 2 of " + path) &&
                 text.contains("does not look like a firmware text file"),
             qPrintable(text));
    QVERIFY(!rig.upload().sending());
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QCOMPARE(rig.transcript(), QString()); // not even "Loading Firmware File..."
    QCOMPARE(rig.quietFor(100), QByteArray());
}

// A box raised during an upload comes up above the always-on-top cancel
// dialog, says the real reason, and comes once per trouble.
void UploadTest::boxesDuringAnUpload_data()
{
    QTest::addColumn<QString>("trouble");
    // No trouble at all: what was read when it was chosen is sent.
    QTest::newRow("file gone after choosing") << "file";
    QTest::newRow("port taken by another program") << "port";
    QTest::newRow("adaptor unplugged, then back") << "unplug";
}

void UploadTest::boxesDuringAnUpload()
{
    QFETCH(QString, trouble);
    Rig rig;
    bool hidden = false; // a box that the cancel dialog covers
    rig.boxes.whileOpen = [&](const MessageBoxes::Request& r) {
        const frmCancelSend* d = rig.upload().cancelDialog();
        hidden = hidden || (d && d->isVisible() && !r.onTop);
    };
    const QString path = writeFile("troubled.txt", "T1\nT2\nT3\n");
    if (trouble == QLatin1String("file"))
        rig.clock.duringPause = [&] { QFile::remove(path); };
    rig.start(path);
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("T1"));
    if (trouble == QLatin1String("file")) {
        QCOMPARE(rig.reply("*", 2, 2000), QByteArray("T2"));
        QCOMPARE(rig.reply("*", 2, 2000), QByteArray("T3"));
        QVERIFY(waitFor([&] { return !rig.upload().sending(); }, 2000));
        QCOMPARE(rig.boxes.requests.size(), 0);
        return;
    }
    if (trouble == QLatin1String("unplug")) {
        rig.unit.closeMaster();
        QVERIFY(waitFor([&] { return rig.boxes.requests.size() == 1; }, 3000));
        QVERIFY(waitFor(
            [&] { return rig.form->sbrStatus->panelText("Status").contains("to come back"); },
            2000));
        QVERIFY(!hidden);
        // Back under the same link: the upload goes on at the unit's next prompt.
        Pty back;
        linkComPort(1, back.slavePath());
        QVERIFY(waitFor([&] { return rig.form->MSComm1->PortOpen(); }, 2000));
        back.write("+");
        QCOMPARE(back.readFor(2, 2000), QByteArray("T1"));
        back.write("*");
        QCOMPARE(back.readFor(2, 2000), QByteArray("T2"));
        QCOMPARE(rig.boxes.requests.size(), 1);
        rig.upload().Cancel();
        return;
    }
    // Another program takes the device between the reset's close and reopen.
    rig.form->mnuOpen_Click();
    const int holder = ::open(rig.unit.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    rig.form->Timer4->restart();
    QVERIFY(waitFor([&] { return rig.boxes.requests.size() == 1; }, 3000));
    pump(1500); // three more ticks
    QCOMPARE(rig.boxes.requests.size(), 1);
    QVERIFY(rig.boxes.requests.first().onTop);
    QVERIFY(!hidden);
    QVERIFY(rig.form->sbrStatus->panelText("Status").contains("in use"));
    QVERIFY(rig.upload().sending());
    ::close(holder);
}

LOADER_TEST_MAIN(UploadTest)
#include "tst_upload.moc"
