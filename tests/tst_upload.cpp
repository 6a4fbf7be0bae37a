// The upload start, the handshake and the cancel dialog, with the test
// playing the unit on a pseudo-terminal.

#include "terminal/formtimer.h"
#include "terminal/frmterminal.h"
#include "terminal/keyedstatusbar.h"
#include "terminal/terminaltext.h"
#include "testsupport.h"
#include "upload/firmwareupload.h"
#include "upload/frmcancelsend.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QToolBar>
#include <memory>

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
        text += TerminalText::fromBytes(l) + crlf;
    return text;
}

} // namespace

class UploadTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetSeams(); }

    void handshakeAndTranscript();
    void promptBeforeAnyAcknowledgement();
    void repliesWhileDialogOpenSendNothing();
    void stalePromptsAreDropped();
    void oneLineFile();
    void emptyFile();
    void notFoundAsksAgain();
    void crlfAndEightBitBytes();
    void emptyLineIsAnEmptySend();
    void cancelInPacingWait();
    void cancelInTransmitWaits();
    void repliesDuringPacingAreAbsorbed();
    void sendWhilePortClosed();
    void portResetDuringUpload();
    void twoUploadsInARow();
    void cancelDialogLayoutAndKeys();
    void cancelDialogTakesActivationBack();
};

void UploadTest::handshakeAndTranscript()
{
    Rig rig;
    const QVector<QByteArray> file = {"S00600004844521B", "S1130000285F245F2212226A000424290008237C2A",
                                      "S11300100002000800082629001853812341001813",
                                      "S5030003F9"};
    const QString path = writeFile("four.s19", "S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\n"
                                               "S11300100002000800082629001853812341001813\nS5030003F9\n");
    rig.start(path);
    QCOMPARE(rig.files.lastTitle, QStringLiteral("Load Firmware File"));
    QCOMPARE(rig.files.lastFilter,
             QStringLiteral("Text Files (*.TXT)|*.txt|S Files (*.s*)|*.s*|All Files (*.*)|*.*"));
    QCOMPARE(rig.files.fileNameWhenShown, QString());
    QCOMPARE(rig.clock.pauses, 1);
    QCOMPARE(rig.unit.readFor(file[0].size(), 2000), file[0]); // no line ending
    QVERIFY(rig.upload().bSending);
    QVERIFY(!rig.form->mnuSendText->isEnabled());
    QVERIFY(!rig.form->toolbarButton("TransmitTextFile")->isEnabled());
    QVERIFY(rig.form->Timer4->Enabled());
    QVERIFY(rig.form->Timer1->Enabled());
    frmCancelSend* dialog = rig.upload().cancelDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->Label1->text(), QStringLiteral("Loading Firmware File - ") + path);
    QCOMPARE(dialog->Progress->maximum(), 4);
    QCOMPARE(dialog->Progress->value(), 1);

    QCOMPARE(rig.reply("*", file[1].size()), file[1]);
    QCOMPARE(rig.reply("+", file[1].size()), file[1]);
    QCOMPARE(rig.reply("*+", file[1].size()), file[1]); // one read: the last character counts
    QCOMPARE(rig.reply("+*", file[2].size()), file[2]);
    QCOMPARE(dialog->Progress->value(), 3);
    QVERIFY(rig.upload().bSending);
    QCOMPARE(rig.reply("*", file[3].size()), file[3]);
    // The last line ends the upload at once, without waiting for its answer.
    QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 2000));
    const QString expected = crlf + "Loading Firmware File..." + crlf + lines({file[0]}) + "*" +
                             lines({file[1]}) + "+" + lines({file[1]}) + "+" + lines({file[1]}) +
                             "*" + lines({file[2]}) + "*" + lines({file[3]}) + crlf + "Done." + crlf;
    QCOMPARE(rig.transcript(), expected);
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QVERIFY(rig.form->toolbarButton("TransmitTextFile")->isEnabled());
    QVERIFY(!dialog->isVisible());
    QVERIFY(!rig.form->Timer4->Enabled());
    QVERIFY(!rig.form->Timer1->Enabled());
    QCOMPARE(rig.form->sbrStatus->panelText("ConnectTime"), QString());
    QVERIFY(rig.upload().bStopSending);
    QVERIFY(!rig.upload().tsFirmware.isOpen());

    // Later replies show nothing and finish nothing again.
    rig.unit.write("*");
    QCOMPARE(rig.quietFor(150), QByteArray());
    rig.unit.write("+");
    QCOMPARE(rig.quietFor(150), QByteArray());
    QCOMPARE(rig.transcript(), expected + "+");
    QCOMPARE(rig.transcript().count("Done."), 1);
    QCOMPARE(rig.boxes.requests.size(), 0);
}

void UploadTest::promptBeforeAnyAcknowledgement()
{
    Rig rig;
    rig.start(writeFile("two.txt", "first\nsecond\n"));
    QCOMPARE(rig.unit.readFor(5, 2000), QByteArray("first"));
    QCOMPARE(rig.reply("+", 5), QByteArray("first"));
    QCOMPARE(rig.reply("*", 6), QByteArray("second"));
    QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 2000));
}

void UploadTest::repliesWhileDialogOpenSendNothing()
{
    Rig rig;
    // An earlier upload leaves its lines behind.
    rig.start(writeFile("old.txt", "old1\nold2\nold3\n"));
    QCOMPARE(rig.unit.readFor(4, 2000), QByteArray("old1"));
    rig.upload().Cancel();
    rig.form->txtTerm->setText(QString());

    QByteArray sentWhileOpen;
    rig.files.whileOpen = [&] {
        for (const char* r : {"*", "+", "*"}) {
            rig.unit.write(r);
            pump(60);
        }
        sentWhileOpen = rig.unit.readAvailable();
    };
    rig.start(writeFile("new.txt", "new1\nnew2\n"));
    QCOMPARE(sentWhileOpen, QByteArray());
    QVERIFY(rig.transcript().startsWith("+" + crlf + "Loading Firmware File..."));
    QCOMPARE(rig.unit.readFor(4, 2000), QByteArray("new1"));
    QCOMPARE(rig.reply("*", 4), QByteArray("new2"));
}

void UploadTest::stalePromptsAreDropped()
{
    Rig rig;
    // Prompts pile up during the deaf second before the first line.
    rig.clock.duringPause = [&] { rig.unit.write("+++"); };
    rig.start(writeFile("three.txt", "one\ntwo\nthree\n"));
    QCOMPARE(rig.unit.readFor(3, 2000), QByteArray("one"));
    QCOMPARE(rig.quietFor(150), QByteArray()); // not sent twice
    QCOMPARE(rig.reply("+", 3), QByteArray("one"));
    QCOMPARE(rig.reply("*", 3), QByteArray("two"));
    QCOMPARE(rig.reply("+", 3), QByteArray("two")); // a rejected line goes again
    QCOMPARE(rig.reply("*", 5), QByteArray("three"));
}

void UploadTest::oneLineFile()
{
    Rig rig;
    rig.start(writeFile("one.txt", "only\n"));
    QCOMPARE(rig.unit.readFor(4, 2000), QByteArray("only"));
    QVERIFY(!rig.upload().bSending);
    QCOMPARE(rig.transcript(),
             crlf + "Loading Firmware File..." + crlf + "only" + crlf + crlf + "Done." + crlf);
    QVERIFY(!rig.form->Timer4->Enabled());
    QVERIFY(!rig.form->Timer1->Enabled());
    QVERIFY(!rig.upload().cancelDialog()->isVisible());
    // The unit's answer reads nothing past the end and sends nothing.
    rig.unit.write("*");
    QCOMPARE(rig.quietFor(150), QByteArray());
    QCOMPARE(rig.transcript().count("Done."), 1);
    QCOMPARE(rig.boxes.requests.size(), 0);
}

void UploadTest::emptyFile()
{
    Rig rig;
    const QString path = writeFile("empty.s19", "");
    rig.start(path);
    QCOMPARE(rig.boxes.requests.size(), 1);
    QVERIFY2(rig.boxes.texts().first().contains(path + " is empty"), qPrintable(rig.boxes.texts().first()));
    QCOMPARE(rig.quietFor(100), QByteArray());
    QVERIFY(!rig.upload().bSending);
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
    rig.files.choices << "/nope/a.s19" << "/nope/b.s19" << "";
    rig.form->mnuSendText_Click();
    QCOMPARE(rig.files.showings, 3);
    QCOMPARE(rig.boxes.texts(), (QStringList{"/nope/a.s19 not found!", "/nope/b.s19 not found!"}));
    QCOMPARE(rig.boxes.requests[0].icon, MessageBoxes::Icon::Exclamation);
    QCOMPARE(rig.files.fileNameWhenShown, QString()); // cleared before each showing
    QVERIFY(!rig.upload().bSending);
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
    QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 2000));
    const QString t = rig.transcript();
    QVERIFY(t.contains(QString::fromLatin1(high) + crlf));
    QVERIFY(t.contains(QString::fromLatin1(withControls) + crlf));
    QVERIFY(t.contains("first" + crlf + "*"));
}

void UploadTest::emptyLineIsAnEmptySend()
{
    Rig rig;
    rig.start(writeFile("gap.txt", "A\n\nB\n"));
    QCOMPARE(rig.unit.readFor(1, 2000), QByteArray("A"));
    rig.unit.write("*");
    QCOMPARE(rig.quietFor(150), QByteArray());
    QVERIFY(rig.transcript().endsWith("*" + crlf));
    QVERIFY(rig.upload().bSending);
    QCOMPARE(rig.reply("*", 1), QByteArray("B"));
}

void UploadTest::cancelInPacingWait()
{
    Rig rig;
    rig.start(writeFile("pace.txt", "L1\nL2\nL3\nL4\n"));
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("L1"));
    // The reply is on screen: Cancel comes while its step waits for the pacing tick.
    bool armed = true;
    QObject::connect(rig.form->txtTerm->document(), &QTextDocument::contentsChanged, rig.form.get(), [&] {
        if (armed && rig.transcript().endsWith('*')) {
            armed = false;
            QTimer::singleShot(0, rig.upload().cancelDialog()->Command1, &QPushButton::click);
        }
    });
    rig.unit.write("*");
    QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 2000));
    QCOMPARE(rig.quietFor(150), QByteArray()); // the step gave up its stale reply
    QVERIFY(!rig.transcript().contains("Done."));
    QVERIFY(rig.transcript().endsWith('*'));
    QVERIFY(rig.upload().bStopSending);
    QCOMPARE(rig.upload().sCurrentLine, QByteArray("L4")); // the rest was skipped
    QVERIFY(!rig.upload().tsFirmware.isOpen());
    QVERIFY(rig.form->mnuSendText->isEnabled());
    QVERIFY(!rig.form->Timer4->Enabled());
    QVERIFY(!rig.form->Timer1->Enabled());
    QVERIFY(!rig.upload().cancelDialog()->isVisible());
    rig.unit.write("*");
    QCOMPARE(rig.quietFor(100), QByteArray());
}

void UploadTest::cancelInTransmitWaits()
{
    // The first line cannot leave: nobody reads the other end.
    {
        Rig rig;
        const QByteArray huge(400000, 'H');
        QTimer::singleShot(300, rig.form.get(), [&] { rig.upload().Cancel(); });
        rig.start(writeFile("huge.txt", huge + "\nnext\n"));
        QVERIFY(!rig.upload().bSending);
        QVERIFY(rig.form->mnuSendText->isEnabled());
        // The start gave up on what the cancelled upload would have armed.
        QVERIFY(!rig.form->Timer4->Enabled());
        QVERIFY(!rig.form->Timer1->Enabled());
        QVERIFY(!rig.form->Timer3->Enabled());
    }
    // A later line cannot leave.
    {
        Rig rig;
        const QByteArray huge(400000, 'G');
        rig.start(writeFile("later.txt", "small\n" + huge + "\nnext\n"));
        QCOMPARE(rig.unit.readFor(5, 2000), QByteArray("small"));
        // Cancel comes while the step waits for its line to leave.
        bool inTransmitWait = false, enabledAtOnce = false;
        QTimer::singleShot(400, rig.form.get(), [&] {
            inTransmitWait = rig.form->MSComm1->RThreshold() == 0 && rig.upload().bSending;
            rig.upload().cancelDialog()->Command1->click();
            enabledAtOnce = rig.form->mnuSendText->isEnabled();
        });
        rig.unit.write("*");
        QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 5000));
        QVERIFY(inTransmitWait);
        QVERIFY(enabledAtOnce);
        QVERIFY(waitFor([&] { return rig.form->MSComm1->RThreshold() == 1; }, 2000));
        QVERIFY(!rig.transcript().contains("Done."));
    }
}

void UploadTest::repliesDuringPacingAreAbsorbed()
{
    Rig rig;
    rig.start(writeFile("nest.txt", "N1\nN2\nN3\nN4\n"));
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("N1"));
    // "*" and, within the pacing time, "+": however they are read, the
    // newest reply is answered once.
    rig.unit.write("*");
    QTest::qSleep(2);
    rig.unit.write("+");
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("N1"));
    QCOMPARE(rig.quietFor(150), QByteArray());
    QVERIFY(rig.transcript().endsWith("+N1" + crlf));
    QVERIFY(!rig.transcript().contains("N2"));

    rig.unit.write("+");
    QTest::qSleep(2);
    rig.unit.write("*");
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("N2"));
    QCOMPARE(rig.quietFor(150), QByteArray());
    QCOMPARE(rig.reply("*", 2), QByteArray("N3"));
}

void UploadTest::sendWhilePortClosed()
{
    Rig rig;
    rig.start(writeFile("closed.txt", "C1\nC2\nC3\n"));
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("C1"));
    rig.form->mnuOpen_Click(); // the operator closes the port
    QVERIFY(!rig.form->MSComm1->PortOpen());
    rig.upload().HandshakeStep('*');
    QVERIFY(rig.form->sbrStatus->panelText("Status").contains("not open"));
    QVERIFY(rig.upload().bSending);
    rig.form->mnuOpen_Click();
    QCOMPARE(rig.reply("+", 2), QByteArray("C2"));
}

void UploadTest::portResetDuringUpload()
{
    Rig rig;
    rig.start(writeFile("reset.txt", "R1\nR2\nR3\n"));
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("R1"));
    rig.form->Timer4_Timer();
    QVERIFY(rig.form->MSComm1->PortOpen());
    QVERIFY(rig.form->mnuSendText->isEnabled()); // as the toggle shows the port
    QVERIFY(rig.upload().bSending);
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
    QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 2000));
    const QString path = writeFile("b.txt", "b1\nb2\nb3\n");
    rig.start(path);
    QCOMPARE(rig.upload().cancelDialog()->Label1->text(), "Loading Firmware File - " + path);
    QVERIFY(rig.upload().cancelDialog()->isVisible());
    QCOMPARE(rig.unit.readFor(2, 2000), QByteArray("b1"));
    QCOMPARE(rig.reply("*", 2), QByteArray("b2"));
    QCOMPARE(rig.reply("*", 2), QByteArray("b3"));
    QVERIFY(waitFor([&] { return !rig.upload().bSending; }, 2000));
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
    // Escape is Cancel.
    QTest::keyClick(d, Qt::Key_Escape);
    QVERIFY(!rig.upload().bSending);
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

LOADER_TEST_MAIN(UploadTest)
#include "tst_upload.moc"
