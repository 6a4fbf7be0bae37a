// The main window: start-up from the store, design state, layout, the port
// toggle and its presentation, the timers, closing, the commands, and the
// port-event handler's display and status rules.

#include "serial/applicationtitle.h"
#include "serial/portsettingsstore.h"
#include "terminal/clickableimage.h"
#include "terminal/firmwareupload.h"
#include "terminal/frmterminal.h"
#include "terminal/keyedstatusbar.h"
#include "testsupport.h"
#include "ui/commondialog.h"
#include "ui/formtimer.h"
#include "ui/terminaltext.h"
#include "upload/transcript.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolBar>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

void store(const QString& key, const QString& value)
{
    (void)PortSettingsStore::write(applicationTitle(), PortSettingsStore::section(), key, value);
}

class Counters : public LineCounterSource
{
public:
    LineCounters values;
    std::optional<LineCounters> read(qintptr) override { return values; }
};

} // namespace

class TerminalTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetSeams(); }

    void startUp_data();
    void startUp();
    void designState();
    void layoutFollowsEverySize();

    void toggleOpensAndClosesPseudoTerminal();
    void toggleOnMissingDevice();
    void portLostShowsClosed();
    void portResetReopensRealPort();
    void portResetDoesNotPileUpBoxes();

    void elapsedClock();
    void elapsedTimeSeparator_data();
    void elapsedTimeSeparator();
    void fileDialog_data();
    void fileDialog();
    void closeWithPortClosedOrIdle();
    void drainWaitAbortRetryIgnore();
    void exitAbortKeepsRunning();

    void helpText();
    void toolbarKeys();
    void clearScreen();

    void receiveDisplay_data();
    void receiveDisplay();
    void trimAtLimit_data();
    void trimAtLimit();
    void statusMessages();
    void transcriptShowsEveryByte();
};

void TerminalTest::startUp_data()
{
    QTest::addColumn<QStringList>("stored"); // Settings, CommPort, Handshaking, Echo; "-" absent
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("commPort");
    QTest::addColumn<int>("handshaking");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QString>("box"); // part of the one message, or empty for none

    QTest::newRow("empty store") << QStringList{"-", "-", "-", "-"} << "38400,n,8,1" << 1 << 0
                                 << false << "";
    QTest::newRow("everything stored")
        << QStringList{"9600,E,7,2", "4", "3", "True"} << "9600,e,7,2" << 4 << 3 << true << "";
    QTest::newRow("settings refused: nothing more read")
        << QStringList{"fast,n,8,1", "3", "2", "True"} << "9600,n,8,1" << 1 << 0 << false
        << "\"fast\"";
    QTest::newRow("port unconvertible, handshaking absent: silent")
        << QStringList{"-", "abc", "-", "True"} << "38400,n,8,1" << 1 << 0 << true << "";
    QTest::newRow("port refused, handshaking absent: silent")
        << QStringList{"-", "0", "", "true"} << "38400,n,8,1" << 1 << 0 << true << "";
    QTest::newRow("port refused, handshaking follows: reported after it")
        << QStringList{"-", "0", "2", "True"} << "38400,n,8,1" << 1 << 2 << false
        << "port number 0";
    QTest::newRow("port out of 16-bit range")
        << QStringList{"-", "40000", "1", "True"} << "38400,n,8,1" << 1 << 1 << false << "40000";
    QTest::newRow("handshaking refused")
        << QStringList{"-", "2", "7", "True"} << "38400,n,8,1" << 2 << 0 << false << "7";
    QTest::newRow("handshaking unconvertible")
        << QStringList{"-", "-", "x", "True"} << "38400,n,8,1" << 1 << 0 << false << "\"x\"";
    QTest::newRow("echo false") << QStringList{"-", "-", "-", "false"} << "38400,n,8,1" << 1 << 0
                                << false << "";
    QTest::newRow("echo number") << QStringList{"-", "-", "-", "-1"} << "38400,n,8,1" << 1 << 0
                                 << true << "";
    QTest::newRow("echo word") << QStringList{"-", "-", "-", "abc"} << "38400,n,8,1" << 1 << 0
                               << false << "";
    QTest::newRow("empty settings text takes the default")
        << QStringList{"", "-", "-", "-"} << "38400,n,8,1" << 1 << 0 << false << "";
    QTest::newRow("a huge stored value is quoted short")
        << QStringList{QString(1000000, 'x'), "-", "-", "-"} << "9600,n,8,1" << 1 << 0 << false
        << QString(80, 'x') + "...\"";
    // Never opened, so never waited on: read as empty, with a warning.
    QTest::newRow("the store is a FIFO")
        << QStringList{"<fifo>", "-", "-", "-"} << "38400,n,8,1" << 1 << 0 << false << "";
    QTest::newRow("the store is a folder")
        << QStringList{"<folder>", "-", "-", "-"} << "38400,n,8,1" << 1 << 0 << false << "";
}

void TerminalTest::startUp()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, settings);
    QFETCH(int, commPort);
    QFETCH(int, handshaking);
    QFETCH(bool, echo);
    QFETCH(QString, box);
    const QStringList keys = {"Settings", "CommPort", "Handshaking", "Echo"};
    const QString path = PortSettingsStore::filePath(applicationTitle());
    const bool special = stored[0].startsWith('<');
    if (stored[0] == QLatin1String("<fifo>"))
        QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    if (stored[0] == QLatin1String("<folder>"))
        QVERIFY(QDir().mkpath(path));
    if (special)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("is a (FIFO|folder), not a regular file"));
    for (int i = 0; i < 4 && !special; ++i) {
        if (stored[i] != QLatin1String("-"))
            store(keys[i], stored[i]);
    }
    const QByteArray before = [&] {
        if (special)
            return QByteArray();
        QFile f(PortSettingsStore::filePath(applicationTitle()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    ScriptedBoxes boxes;
    frmTerminal form;
    QCOMPARE(form.MSComm1->Settings(), settings);
    QCOMPARE(form.MSComm1->CommPort(), commPort);
    QCOMPARE(form.MSComm1->Handshaking(), handshaking);
    QCOMPARE(form.bEcho, echo);
    QVERIFY(!form.MSComm1->PortOpen());
    if (box.isEmpty()) {
        QCOMPARE(boxes.requests.size(), 0);
    } else {
        QCOMPARE(boxes.requests.size(), 1);
        QVERIFY2(boxes.requests[0].text.contains(box),
                 qPrintable(boxes.requests[0].text.left(300)));
        QVERIFY(boxes.requests[0].text.size() < 400);
        QCOMPARE(boxes.requests[0].icon, MessageBoxes::Icon::Exclamation);
        QCOMPARE(boxes.requests[0].buttons, MessageBoxes::Buttons::Ok);
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Tarvel Labs Firmware Loader"));
    }
    if (special) {
        QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
        return;
    }
    // Start-up never writes the store.
    QFile f(path);
    QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), before);
}

void TerminalTest::designState()
{
    frmTerminal form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Tarvel Labs Firmware Loader"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Tarvel Labs Firmware Loader"));
    for (const char* name :
         {"txtTerm", "tbrToolBar", "sbrStatus", "Frame1", "imgConnected", "imgNotConnected",
          "Timer1", "Timer2", "Timer3", "Timer4", "MSComm1", "OpenLog"})
        QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)), name);
    for (const char* name : {"mnuFile", "mnuPort"})
        QVERIFY2(form.findChild<QMenu*>(QString::fromLatin1(name)), name);

    // Every command but Properties... has an access key; Help acts from the bar itself.
    for (QAction* a : {form.mnuSendText, form.mnuClrScreen, form.mnuFileExit, form.mnuOpen,
                       form.mnuHelp, form.mnuFile->menuAction(), form.mnuPort->menuAction()})
        QVERIFY2(a->text().contains(QLatin1Char('&')), qPrintable(a->text()));
    QVERIFY(form.mnuHelp->menu() == nullptr);
    QCOMPARE(form.mnuPort->actions().last(), form.Bar3);

    // Start state: port closed, upload commands off, red lamp, design texts, timers off.
    QVERIFY(!form.mnuSendText->isEnabled());
    QVERIFY(!form.mnuOpen->isChecked());
    QVERIFY(form.toolbarButton("Properties")->isEnabled());
    QVERIFY(!form.toolbarButton("TransmitTextFile")->isEnabled());
    QCOMPARE(form.frontLamp(), form.imgNotConnected);
    QCOMPARE(form.imgConnected->geometry(), form.imgNotConnected->geometry());
    QCOMPARE(form.sbrStatus->panelText("Status"), QStringLiteral("Status:"));
    QCOMPARE(form.sbrStatus->panelText("Settings"), QStringLiteral("Settings:"));
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QString());
    for (FormTimer* t : {form.Timer1, form.Timer2, form.Timer3, form.Timer4})
        QVERIFY(!t->Enabled());
    QCOMPARE(form.txtTerm->text(), QString());
    QCOMPARE(form.txtTerm->palette().color(QPalette::Text), QColor(0, 0, 255));

    // Design sizes in pixels at the screen's logical DPI.
    const double scale = form.logicalDpiX() / 1440.0;
    QCOMPARE(form.clientArea()->width(), qRound(9840 * scale));
    QCOMPARE(form.clientArea()->height(), qRound(5205 * scale));
    QCOMPARE(form.tbrToolBar->height(), qRound(390 * scale));
    QCOMPARE(form.sbrStatus->height(), qRound(315 * scale));
    QCOMPARE(form.Frame1->size(), QSize(qRound(240 * scale), qRound(240 * scale)));
}

void TerminalTest::layoutFollowsEverySize()
{
    frmTerminal form;
    form.show();
    const QList<QSize> sizes = {{700, 400}, {300, 200}, {1200, 900}, {500, 60}, {200, 5}};
    for (const QSize& size : sizes) {
        form.clientArea()->resize(size); // as the main window's layout would
        const int w = form.clientArea()->width(), h = form.clientArea()->height();
        const int tb = form.tbrToolBar->height(), sb = form.sbrStatus->height();
        QCOMPARE(form.txtTerm->geometry().left(), 0);
        QCOMPARE(form.txtTerm->geometry().top(), tb);
        QCOMPARE(form.txtTerm->width(), w);
        QCOMPARE(form.txtTerm->height(), qMax(0, h - sb - tb));
        QCOMPARE(form.tbrToolBar->geometry(), QRect(0, 0, w, tb));
        QCOMPARE(form.sbrStatus->geometry(), QRect(0, h - sb, w, sb));
        QCOMPARE(form.Frame1->x(), w - qRound(1.5 * form.Frame1->width()));
        QCOMPARE(form.Frame1->y(), qRound(75 * form.logicalDpiX() / 1440.0));
    }
    // The whole window too, through its own layout.
    form.resize(800, 500);
    QTRY_COMPARE(form.txtTerm->width(), form.clientArea()->width());
    QCOMPARE(form.txtTerm->geometry().bottom() + 1, form.sbrStatus->geometry().top());
}

void TerminalTest::toggleOpensAndClosesPseudoTerminal()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen->trigger();
    QVERIFY(form.MSComm1->PortOpen());
    QVERIFY(form.mnuOpen->isChecked());
    QVERIFY(form.mnuSendText->isEnabled());
    QVERIFY(form.toolbarButton("TransmitTextFile")->isEnabled());
    QCOMPARE(form.frontLamp(), form.imgConnected);
    QCOMPARE(form.sbrStatus->panelText("Settings"), QStringLiteral("Settings: 38400,n,8,1"));

    // Either lamp toggles exactly as the menu item does.
    emit form.imgConnected->clicked();
    QVERIFY(!form.MSComm1->PortOpen());
    QVERIFY(!form.mnuOpen->isChecked());
    QVERIFY(!form.mnuSendText->isEnabled());
    QVERIFY(!form.toolbarButton("TransmitTextFile")->isEnabled());
    QCOMPARE(form.frontLamp(), form.imgNotConnected);
    QCOMPARE(form.sbrStatus->panelText("Settings"), QStringLiteral("Settings: "));

    emit form.imgNotConnected->clicked();
    QVERIFY(form.MSComm1->PortOpen());
    QCOMPARE(form.frontLamp(), form.imgConnected);
    form.mnuOpen->trigger();
    QVERIFY(!form.MSComm1->PortOpen());
    QVERIFY(!form.mnuOpen->isChecked());
    QCOMPARE(boxes.requests.size(), 0);
}

void TerminalTest::toggleOnMissingDevice()
{
    linkComPort(1, QStringLiteral("/nonexistent/ttyUSB9"));
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY(boxes.requests[0].text.contains(QStringLiteral("/nonexistent/ttyUSB9")));
    QCOMPARE(boxes.requests[0].icon, MessageBoxes::Icon::Exclamation);
    QVERIFY(!form.MSComm1->PortOpen());
    QVERIFY(!form.mnuOpen->isChecked());
    QVERIFY(!form.mnuSendText->isEnabled());
    QVERIFY(!form.toolbarButton("TransmitTextFile")->isEnabled());
    QCOMPARE(form.frontLamp(), form.imgNotConnected);
    QCOMPARE(form.sbrStatus->panelText("Settings"), QStringLiteral("Settings: "));
}

void TerminalTest::portLostShowsClosed()
{
    Pty pty(false);
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->PortOpen());
    pty.write("+"); // a prompt arms the port reset
    QVERIFY(waitFor([&] { return form.Timer4->Enabled(); }, 2000));
    pty.closeMaster();
    QVERIFY(waitFor([&] { return form.frontLamp() == form.imgNotConnected; }, 3000));
    // Idle, nobody waits for the device: no reset ticks, no box after box.
    QVERIFY(!form.Timer4->Enabled());
    pump(700);
    QCOMPARE(boxes.requests.size(), 0);
    QVERIFY(!form.mnuOpen->isChecked());
    QVERIFY(!form.mnuSendText->isEnabled());
    // The device first, what happened, then what to do; all of it in the tool tip.
    const QString status = form.sbrStatus->panelText("Status");
    QVERIFY2(status.startsWith("Status: " + pty.slavePath() + " (Com1) was disconnected ("),
             qPrintable(status));
    QVERIFY(status.contains(QStringLiteral("Plug the adaptor in again")));
    QVERIFY(form.sbrStatus->panel("Status")->toolTip().contains(status.mid(8)));
}

void TerminalTest::portResetReopensRealPort()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->PortOpen());

    // Open: closed and opened again, so a lock taken meanwhile shows.
    form.Timer4_Timer();
    QVERIFY(form.MSComm1->PortOpen());
    QCOMPARE(boxes.requests.size(), 0);
    QCOMPARE(form.frontLamp(), form.imgConnected);

    // Data sent by the unit before the tick is still there after it.
    QVERIFY(form.MSComm1->setRThreshold(0).isOk());
    pty.write("+");
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == 1; }, 2000));
    form.Timer4_Timer();
    QCOMPARE(form.MSComm1->InBufferCount(), 0); // the reopen started afresh
    QVERIFY(form.MSComm1->setRThreshold(1).isOk());

    // Closed: opened and closed again.
    form.mnuOpen_Click();
    form.Timer4_Timer();
    QVERIFY(!form.MSComm1->PortOpen());
    QCOMPARE(form.frontLamp(), form.imgNotConnected);
    QCOMPARE(boxes.requests.size(), 0);
}

void TerminalTest::portResetDoesNotPileUpBoxes()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->PortOpen());

    // Another program takes the device between the close and the reopen.
    QObject::connect(form.MSComm1, &MSComm::portLost, &form, [] {});
    int holder = -1;
    boxes.whileOpen = [&](const MessageBoxes::Request&) {
        pump(1300); // the operator reads the box while ticks keep coming
    };
    form.Timer4->setEnabled(true);
    form.mnuOpen_Click(); // close
    holder = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    QVERIFY(waitFor([&] { return boxes.requests.size() >= 1; }, 5000));
    // One box for the loss; the ticks go on trying and say so in the panel.
    pump(1500);
    QCOMPARE(boxes.requests.size(), 1);
    QCOMPARE(boxes.deepest, 1);
    QVERIFY(boxes.texts().first().contains(QStringLiteral("in use")));
    QVERIFY(form.sbrStatus->panelText("Status").contains(QStringLiteral("in use")));
    QVERIFY(!form.MSComm1->PortOpen());

    // Back (the operator opens it), then lost again: a new box.
    ::close(holder);
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->PortOpen());
    form.mnuOpen_Click();
    holder = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    QVERIFY(waitFor([&] { return boxes.requests.size() == 2; }, 2000));
    ::close(holder);
    boxes.whileOpen = nullptr;
    form.Timer4->setEnabled(false);
}

void TerminalTest::elapsedClock()
{
    FakeClock clock;
    frmTerminal form;
    form.StopTiming(); // empties the panel even when not running
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QString());
    form.StartTiming();
    QVERIFY(form.Timer1->Enabled());
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QString()); // first display at the tick
    clock.advance(1.0);
    form.Timer1_Timer();
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QStringLiteral("00:00:01 "));
    clock.advance(3599.0);
    form.Timer1_Timer();
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QStringLiteral("01:00:00 "));
    clock.advance(24 * 3600.0 + 180.0); // 25 h 3 min
    form.Timer1_Timer();
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QStringLiteral("01:03:00 "));
    // Whole seconds: 0.7 s past the start's second and 0.5 s more is still 25:03:01.
    clock.advance(1.5);
    form.Timer1_Timer();
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QStringLiteral("01:03:02 "));

    form.StartTiming(); // restarts from now
    clock.advance(2.0);
    form.Timer1_Timer();
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QStringLiteral("00:00:02 "));
    form.StopTiming();
    QVERIFY(!form.Timer1->Enabled());
    QCOMPARE(form.sbrStatus->panelText("ConnectTime"), QString());
}

void TerminalTest::elapsedTimeSeparator_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shown");
    QTest::newRow("colon") << "en_US"
                           << "01:02:03";
    QTest::newRow("point") << "fi_FI"
                           << "01.02.03";
    QTest::newRow("point, two-digit hours") << "da_DK"
                                            << "01.02.03";
}

void TerminalTest::elapsedTimeSeparator()
{
    QFETCH(QString, locale);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(locale));
    const QString text = frmTerminal::elapsedText(3723);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(text, shown);
}

// The real dialog, driven as the operator would: the filter list, what the
// third entry lists, and a full path typed into the name field.
void TerminalTest::fileDialog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("existing file without an extension") << "firmware"
                                                        << "firmware";
    QTest::newRow("new name without a dot gets .LOG") << "nothing"
                                                      << "nothing.LOG";
    QTest::newRow("name with a dot stays") << "firmware.s19"
                                           << "firmware.s19";
}

void TerminalTest::fileDialog()
{
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    const QString folder = QDir(tempFolder()).filePath(QStringLiteral("dialog"));
    QDir().mkpath(folder);
    for (const char* name : {"firmware", "firmware.s19", "notes.txt"}) {
        QFile f(folder + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("S9030000FC\n");
    }
    CommonDialog::setHandler(nullptr);
    CommonDialog dialog;
    dialog.DialogTitle = FirmwareUpload::dialogTitle();
    dialog.Filter = FirmwareUpload::dialogFilter();
    dialog.DefaultExt = QStringLiteral("LOG");
    dialog.InitDir = folder;
    QStringList shownFilters, listedByText, listedByAll;
    bool nameFieldFocused = false;
    QTimer::singleShot(0, this, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < types->count(); ++i)
            shownFilters << types->itemText(i);
        auto listed = [&] {
            auto* model = d->findChild<QFileSystemModel*>();
            QStringList names;
            waitFor([&] { return model->rowCount(model->index(folder)) > 0; }, 3000);
            pump(100);
            const QModelIndex parent = model->index(folder);
            for (int r = 0; r < model->rowCount(parent); ++r)
                names << model->index(r, 0, parent).data().toString();
            return names;
        };
        listedByText = listed();
        d->selectNameFilter(d->nameFilters().at(2));
        listedByAll = listed();
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        nameFieldFocused = name->hasFocus();
        name->setText(folder + QLatin1Char('/') + typed);
        QTest::keyClick(name, Qt::Key_Return);
    });
    QCOMPARE(dialog.ShowOpen(), 0);
    QCOMPARE(dialog.FileName, folder + QLatin1Char('/') + chosen);
    QCOMPARE(shownFilters,
             (QStringList{"Text Files (*.TXT)", "S Files (*.s*)", "All Files (*.*)"}));
    QCOMPARE(listedByText, QStringList{QStringLiteral("notes.txt")});
    QVERIFY2(listedByAll.contains(QStringLiteral("firmware")), qPrintable(listedByAll.join(',')));
    QVERIFY(nameFieldFocused);
}

void TerminalTest::closeWithPortClosedOrIdle()
{
    ScriptedBoxes boxes;
    {
        frmTerminal form;
        QSignalSpy ended(&form, &frmTerminal::ended);
        bool cancel = false;
        form.Form_Unload(cancel);
        QVERIFY(!cancel);
        QCOMPARE(ended.count(), 1);
        QVERIFY(form.hasEnded());
    }
    Pty pty;
    linkComPort(1, pty.slavePath());
    {
        frmTerminal form;
        form.mnuOpen_Click();
        QVERIFY(form.MSComm1->PortOpen());
        QSignalSpy ended(&form, &frmTerminal::ended);
        form.close(); // through the window's own close path
        QCOMPARE(ended.count(), 1);
        QVERIFY(!form.MSComm1->PortOpen());
    }
    QCOMPARE(boxes.requests.size(), 0);
}

void TerminalTest::drainWaitAbortRetryIgnore()
{
    Pty pty; // nobody reads: output stays queued
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    FakeClock clock;
    clock.stepPerReading = 1.0;
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->Output(QByteArray(300000, 'x')).isOk());
    pump(100);
    QVERIFY(form.MSComm1->OutBufferCount() > 0);

    boxes.answers = {MessageBoxes::Answer::Retry, MessageBoxes::Answer::Abort};
    bool cancel = false;
    form.Form_Unload(cancel);
    QVERIFY(cancel); // the window stays while the output drains
    QVERIFY(form.isClosing());
    QVERIFY(waitFor([&] { return !form.isClosing(); }, 10000));
    QCOMPARE(boxes.requests.size(), 2);
    for (const auto& r : boxes.requests) {
        QCOMPARE(r.text, QStringLiteral("Data cannot be sent"));
        QCOMPARE(r.icon, MessageBoxes::Icon::Question);
        QCOMPARE(r.buttons, MessageBoxes::Buttons::AbortRetryIgnore);
    }
    QVERIFY(!form.hasEnded());
    QVERIFY(form.MSComm1->PortOpen());
    QVERIFY(form.MSComm1->OutBufferCount() > 0);

    // The box comes only after about ten seconds of the clock.
    boxes.requests.clear();
    boxes.answers = {MessageBoxes::Answer::Ignore};
    const double startedAt = clock.seconds();
    QSignalSpy ended(&form, &frmTerminal::ended);
    form.close();
    QVERIFY(waitFor([&] { return ended.count() == 1; }, 10000));
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY(clock.seconds() - startedAt >= 10.0);
    QVERIFY(!form.MSComm1->PortOpen());
}

void TerminalTest::exitAbortKeepsRunning()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    FakeClock clock;
    clock.stepPerReading = 2.0;
    frmTerminal form;
    form.mnuOpen_Click();
    form.txtTerm->setText(QStringLiteral("keep me"));
    QVERIFY(form.MSComm1->Output(QByteArray(300000, 'x')).isOk());
    boxes.answers = {MessageBoxes::Answer::Abort};
    form.mnuFileExit->trigger();
    QVERIFY(waitFor([&] { return !form.isClosing(); }, 10000));
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY(!form.hasEnded());
    QVERIFY(form.MSComm1->PortOpen());
    QCOMPARE(form.txtTerm->text(), QStringLiteral("keep me"));

    // Exit with nothing queued ends at once.
    QVERIFY(form.MSComm1->setPortOpen(false).isOk());
    form.mnuFileExit->trigger();
    QVERIFY(form.hasEnded());
    QCOMPARE(boxes.requests.size(), 1);
}

void TerminalTest::helpText()
{
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuHelp->trigger();
    QCOMPARE(boxes.requests.size(), 1);
    const MessageBoxes::Request& r = boxes.requests[0];
    QCOMPARE(r.icon, MessageBoxes::Icon::None);
    QCOMPARE(r.buttons, MessageBoxes::Buttons::Ok);
    QCOMPARE(r.caption, QStringLiteral("Tarvel Labs Firmware Loader"));
    QCOMPARE(r.text,
             QStringLiteral(
                 "1. Configure Serial port: 38,400 Baud, 8-bit, 1-stop, no parity, DTR/RTS on\r\n"
                 "2. Open Serial port\r\n"
                 "3. Select 'Code Upload' on unit\r\n"
                 "4. Point unit at Infrared Adaptor board (< 10cm)\r\n"
                 "5. Loader screen will display stream of '++++++...' prompts from unit\r\n"
                 "6. Open new Firmware File - Loader screen will show progress of load."));
    QCOMPARE(r.text.count(QStringLiteral("\r\n")), 5);
}

void TerminalTest::toolbarKeys()
{
    ScriptedBoxes boxes;
    ScriptedFileDialog files;
    frmTerminal form;
    // Wrong case and unknown keys do nothing.
    form.tbrToolBar_ButtonClick(QStringLiteral("transmittextfile"));
    form.tbrToolBar_ButtonClick(QStringLiteral("properties"));
    form.tbrToolBar_ButtonClick(QStringLiteral("Other"));
    QCOMPARE(files.showings, 0);
    QVERIFY(!QApplication::activeModalWidget());

    form.tbrToolBar_ButtonClick(QStringLiteral("TransmitTextFile"));
    QCOMPARE(files.showings, 1); // cancelled: back as before
    QCOMPARE(files.lastTitle, QStringLiteral("Load Firmware File"));
    QVERIFY(!form.upload().sending());

    // "Properties" opens the dialog modally; close it as the operator would.
    bool sawDialog = false;
    QTimer::singleShot(50, &form, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            sawDialog = modal->objectName() == QLatin1String("frmProperties");
            modal->close();
        }
    });
    form.tbrToolBar_ButtonClick(QStringLiteral("Properties"));
    QVERIFY(sawDialog);
}

void TerminalTest::clearScreen()
{
    frmTerminal form;
    form.txtTerm->insertAtCaret(QStringLiteral("abc\r\n+"));
    form.mnuClrScreen->trigger();
    QCOMPARE(form.txtTerm->text(), QString());
    QCOMPARE(form.txtTerm->caret(), 0);
    QCOMPARE(form.txtTerm->toPlainText(), QString());
}

void TerminalTest::receiveDisplay_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QString>("shown");
    QTest::newRow("prompt") << QByteArray("+") << "+";
    QTest::newRow("two prompts in one read") << QByteArray("++") << "+";
    QTest::newRow("prompt then other") << QByteArray("+a") << "";
    QTest::newRow("other then prompt") << QByteArray("a+") << "+";
    QTest::newRow("star while idle") << QByteArray("*") << "";
    QTest::newRow("eight-bit") << QByteArray("\xff") << "";
}

void TerminalTest::receiveDisplay()
{
    QFETCH(QByteArray, read);
    QFETCH(QString, shown);
    Pty pty;
    linkComPort(1, pty.slavePath());
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->setRThreshold(0).isOk());
    pty.write(read);
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == read.size(); }, 2000));
    QVERIFY(form.MSComm1->setRThreshold(1).isOk()); // one event, one read of all of it
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == 0; }, 2000));
    pump(50);
    QCOMPARE(form.txtTerm->text(), shown);
    QVERIFY(form.Timer4->Enabled()); // every event arms the port reset
    form.Timer4->setEnabled(false);
}

void TerminalTest::trimAtLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("received");
    const QString line10 = QStringLiteral("S1130000\r\n");
    const QByteArray prompt("+");
    QTest::newRow("exactly the limit") << 16000 << 16001 << line10 << prompt;
    QTest::newRow("one over") << 16001 << 11906 << line10 << prompt;
    // 17-character lines put a CR at 4095 and its LF at 4096.
    QTest::newRow("cut between CR and LF")
        << 16001 << 11906 << QStringLiteral("S11300000000000\r\n") << prompt;
    // As many whole blocks as it takes to get back under the limit.
    QTest::newRow("far over") << 30000 << 13617 << line10 << prompt;
    QTest::newRow("20,000 characters in one read")
        << 40000 << 15425 << line10 << QByteArray(20000, '+');
}

void TerminalTest::trimAtLimit()
{
    QFETCH(int, length);
    QFETCH(int, after);
    QFETCH(QString, line);
    QFETCH(QByteArray, received);
    Pty pty;
    linkComPort(1, pty.slavePath());
    frmTerminal form;
    form.mnuOpen_Click();
    // Lines of CR LF, so the cut lands wherever character 4096 is.
    QString text;
    while (text.size() < length)
        text += line;
    text.truncate(length);
    form.txtTerm->resize(4000, 300); // no wrapping, to compare the view with the text
    form.txtTerm->setText(text);
    // All of it in one read: held back until it is all there.
    QVERIFY(form.MSComm1->setRThreshold(0).isOk());
    pty.write(received);
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == received.size(); }, 2000));
    QVERIFY(form.MSComm1->setRThreshold(1).isOk());
    QVERIFY(waitFor([&] { return form.txtTerm->length() != length; }, 2000));
    QCOMPARE(form.txtTerm->length(), after);
    if (length > frmTerminal::TextLimit)
        QCOMPARE(form.txtTerm->text(), text.mid(length + 1 - after) + QLatin1Char('+'));
    QCOMPARE(form.txtTerm->caret(), after);
    // The view drops the same front, whatever line break it cut.
    form.txtTerm->updateView();
    QCOMPARE(form.txtTerm->toPlainText(), Transcript::shown(form.txtTerm->text()));
}

void TerminalTest::statusMessages()
{
    QCOMPARE(frmTerminal::statusMessageFor(7), std::optional<QString>("End of File Detected"));
    QCOMPARE(frmTerminal::statusMessageFor(1001), std::optional<QString>("Break Received"));
    QCOMPARE(frmTerminal::statusMessageFor(1002), std::optional<QString>("CTS Timeout"));
    QCOMPARE(frmTerminal::statusMessageFor(1003), std::optional<QString>("DSR Timeout"));
    QCOMPARE(frmTerminal::statusMessageFor(1006), std::optional<QString>("Overrun Error"));
    QCOMPARE(frmTerminal::statusMessageFor(1007), std::optional<QString>("Carrier Detect Timeout"));
    QCOMPARE(frmTerminal::statusMessageFor(1008),
             std::optional<QString>("Receive Buffer Overflow"));
    QCOMPARE(frmTerminal::statusMessageFor(1009), std::optional<QString>("Parity Error"));
    QCOMPARE(frmTerminal::statusMessageFor(1010), std::optional<QString>("Transmit Buffer Full"));
    QCOMPARE(frmTerminal::statusMessageFor(1011), std::optional<QString>("Error retrieving DCB"));
    QCOMPARE(frmTerminal::statusMessageFor(1005), std::optional<QString>("Unknown error or event"));
    QCOMPARE(frmTerminal::statusMessageFor(0), std::optional<QString>("Unknown error or event"));
    for (int silent : {1, 2, 3, 4, 5, 6, 1004})
        QVERIFY(!frmTerminal::statusMessageFor(silent).has_value());

    // Through the port: the driver's counters grow while data arrives.
    Pty pty;
    linkComPort(1, pty.slavePath());
    frmTerminal form;
    auto counters = std::make_unique<Counters>();
    Counters* c = counters.get();
    form.MSComm1->setLineCounterSource(std::move(counters));
    form.mnuOpen_Click();

    c->values.framing = 1;
    pty.write("a");
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == 0 && form.Timer4->Enabled(); },
                    2000));
    pump(30);
    QCOMPARE(form.sbrStatus->panelText("Status"), QStringLiteral("Status:")); // framing: nothing
    QVERIFY(!form.Timer2->Enabled());

    c->values.parity = 1;
    pty.write("b");
    QVERIFY(waitFor([&] { return form.Timer2->Enabled(); }, 2000));
    QCOMPARE(form.sbrStatus->panelText("Status"), QStringLiteral("Status: Parity Error"));
    pty.write("+");
    QVERIFY(waitFor([&] { return form.txtTerm->text() == QLatin1String("+"); }, 2000));
    QCOMPARE(form.sbrStatus->panelText("Status"), QStringLiteral("Status: Parity Error"));
    form.Timer2_Timer();
    QCOMPARE(form.sbrStatus->panelText("Status"), QStringLiteral("Status: "));
    QVERIFY(!form.Timer2->Enabled());
    form.Timer4->setEnabled(false);
}

void TerminalTest::transcriptShowsEveryByte()
{
    TerminalText text;
    text.resize(4000, 200); // wide enough not to wrap
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != '\n')
            bytes.append(char(b));
    }
    const QString line = Transcript::fromBytes(bytes);
    QCOMPARE(line.size(), bytes.size());
    text.insertAtCaret(line + QStringLiteral("\r\n"));
    text.updateView();
    QCOMPARE(text.text().toLatin1(), bytes + "\r\n");
    // The view shows one symbol per byte and a line break for CR LF.
    const QString shown = Transcript::shown(text.text());
    QCOMPARE(shown.size(), bytes.size() + 1);
    QCOMPARE(shown.back(), QLatin1Char('\n'));
    QCOMPARE(text.blockCount(), 2);
    // A CR LF split over two insertions still shows as one line break.
    text.setText(QString());
    text.insertAtCaret(QStringLiteral("ab\r"));
    text.updateView();
    text.insertAtCaret(QStringLiteral("\ncd"));
    text.updateView();
    QCOMPARE(text.toPlainText(), QStringLiteral("ab\ncd"));
    // Text goes where the caret stands.
    text.setCaret(2);
    text.insertAtCaret(QStringLiteral("X"));
    QCOMPARE(text.text(), QStringLiteral("abX\r\ncd"));
    QCOMPARE(text.caret(), 3);

    // A long run of prompts wraps at the view's width; a trim through a
    // wrapped line leaves the rest of it, shorter, at the top.
    text.resize(200, 200);
    text.setText(QString());
    const int w = text.wrapColumns();
    text.insertAtCaret(QString(3 * w + 5, QLatin1Char('+')));
    text.updateView();
    QCOMPARE(text.blockCount(), 4);
    text.removeFront(w + 2);
    text.updateView();
    QCOMPARE(text.blockCount(), 3);
    QCOMPARE(text.document()->firstBlock().text().size(), w - 2);
    QCOMPARE(text.toPlainText().remove(QLatin1Char('\n')), QString(2 * w + 3, QLatin1Char('+')));
}

LOADER_TEST_MAIN(TerminalTest)
#include "tst_terminal.moc"
