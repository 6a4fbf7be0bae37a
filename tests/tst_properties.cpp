// The port properties dialog: what it shows, what OK applies and saves, and
// what Cancel leaves alone.

#include "properties/frmproperties.h"
#include "serial/applicationtitle.h"
#include "serial/portsettingsstore.h"
#include "terminal/clickableimage.h"
#include "terminal/frmterminal.h"
#include "terminal/keyedstatusbar.h"
#include "testsupport.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QToolBar>

using namespace TestSupport;

namespace {

QString stored(PortSetting setting)
{
    return PortSettingsStore::read(applicationTitle(), setting);
}

bool storeIsEmpty()
{
    return !QFile::exists(PortSettingsStore::filePath(applicationTitle()));
}

void choose(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
}

} // namespace

class PropertiesTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetSeams(); }

    void selection_data();
    void selection();
    void loadsFromThePort();
    void loadsStopBitsOneAndHalf();
    void unlistedSpeedIsRefusedOnOk();
    void unlistedPortNumber();
    void layoutAndKeys();
    void comEntriesNameTheirDevices();

    void okWithoutChanges();
    void unsavedSettingsAreReported();
    void portChangeWhileOpen();
    void portChangeWhileClosed();
    void refusedPortWhileOpen();
    void echoOnAndRefusedSettings();
    void refusedHandshakingLeavesSettingsApplied();
    void cancelAppliesNothing();
    void dtrAndRtsActAtOnce();
    void nextStartUpAppliesWhatOkSaved();
};

void PropertiesTest::selection_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<int>("parity");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("stopBits");
    QTest::newRow("38400,n,8,1") << "38400,n,8,1"
                                 << "38400" << 2 << "8"
                                 << "1";
    QTest::newRow("1200,e,5,1.5") << "1200,e,5,1.5"
                                  << "1200" << 0 << "5"
                                  << "1.5";
    QTest::newRow("odd") << "9600,o,7,2"
                         << "9600" << 1 << "7"
                         << "2";
    QTest::newRow("mark") << "110,m,8,1"
                          << "110" << 3 << "8"
                          << "1";
    QTest::newRow("space, six digits") << "256000,s,6,1"
                                       << "256000" << 4 << "6"
                                       << "1";
    QTest::newRow("upper-case parity selects nothing") << "38400,N,8,1"
                                                       << "38400" << -1 << "8"
                                                       << "1";
    QTest::newRow("upper-case with 1.5") << "1200,E,5,1.5"
                                         << "1200" << -1 << "5"
                                         << "1.5";
}

void PropertiesTest::selection()
{
    QFETCH(QString, settings);
    const frmProperties::Selection s = frmProperties::selectionFor(settings);
    QTEST(s.speed, "speed");
    QTEST(s.parity, "parity");
    QTEST(s.dataBits, "dataBits");
    QTEST(s.stopBits, "stopBits");
}

void PropertiesTest::loadsFromThePort()
{
    frmTerminal form;
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("38400,n,8,1"));
    frmProperties dialog(form);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("CommPort Properties"));
    QCOMPARE(dialog.cboPort->count(), 16);
    QCOMPARE(dialog.cboPort->itemText(0), QStringLiteral("Com1"));
    QCOMPARE(dialog.cboPort->itemText(15), QStringLiteral("Com16"));
    QCOMPARE(dialog.cboSpeed->count(), 16);
    QCOMPARE(dialog.cboPort->currentText(), QStringLiteral("Com1"));
    QCOMPARE(dialog.cboSpeed->currentText(), QStringLiteral("38400"));
    QCOMPARE(dialog.cboDataBits->currentText(), QStringLiteral("8"));
    QCOMPARE(dialog.cboParity->currentText(), QStringLiteral("None"));
    QCOMPARE(dialog.cboStopBits->currentText(), QStringLiteral("1"));
    QVERIFY(dialog.optFlow[0]->isChecked());
    QCOMPARE(dialog.iFlow, 0);
    QVERIFY(dialog.optEcho[0]->isChecked());
    QVERIFY(!dialog.bEchoChoice);
    QVERIFY(dialog.chkEnable[0]->isChecked());
    QVERIFY(dialog.chkEnable[1]->isChecked());

    // The port, not the store: a stored value the port never took is not shown.
    QVERIFY(PortSettingsStore::write(applicationTitle(), PortSetting::CommPort, QStringLiteral("5"))
                .isOk());
    QVERIFY(form.MSComm1->setCommPort(3).isOk());
    QVERIFY(form.MSComm1->setHandshaking(2).isOk());
    form.bEcho = true;
    frmProperties again(form);
    QCOMPARE(again.cboPort->currentText(), QStringLiteral("Com3"));
    QVERIFY(again.optFlow[2]->isChecked());
    QCOMPARE(again.iFlow, 2);
    QVERIFY(again.optEcho[1]->isChecked());
    QVERIFY(again.bEchoChoice);
}

void PropertiesTest::loadsStopBitsOneAndHalf()
{
    frmTerminal form;
    QVERIFY(form.MSComm1->setSettings(QStringLiteral("1200,E,5,1.5")).isOk());
    frmProperties dialog(form);
    QCOMPARE(dialog.cboSpeed->currentText(), QStringLiteral("1200"));
    QCOMPARE(dialog.cboParity->currentText(), QStringLiteral("Even"));
    QCOMPARE(dialog.cboDataBits->currentText(), QStringLiteral("5"));
    QCOMPARE(dialog.cboStopBits->currentText(), QStringLiteral("1.5"));
    QStringList missing;
    QCOMPARE(dialog.chosenSettings(&missing), QStringLiteral("1200,E,5,1.5"));
}

void PropertiesTest::unlistedSpeedIsRefusedOnOk()
{
    ScriptedBoxes boxes;
    frmTerminal form;
    QVERIFY(form.MSComm1->setSettings(QStringLiteral("250000,n,8,1")).isOk());
    frmProperties dialog(form);
    QCOMPARE(dialog.cboSpeed->currentIndex(), -1);
    QCOMPARE(dialog.cboParity->currentText(), QStringLiteral("None")); // the rest still found
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY2(boxes.requests[0].text.contains(QStringLiteral("Maximum Speed")),
             qPrintable(boxes.requests[0].text));
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("250000,n,8,1"));
    QVERIFY(storeIsEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    // Choosing a listed speed lets OK through.
    boxes.requests.clear();
    choose(dialog.cboSpeed, QStringLiteral("115200"));
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 0);
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("115200,n,8,1"));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void PropertiesTest::unlistedPortNumber()
{
    ScriptedBoxes boxes;
    frmTerminal form;
    QVERIFY(form.MSComm1->setCommPort(20).isOk());
    frmProperties dialog(form);
    QCOMPARE(dialog.cboPort->currentIndex(), -1);
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY(boxes.requests[0].text.contains(QStringLiteral("Com20")));
    QCOMPARE(form.MSComm1->CommPort(), 20);
    QVERIFY(storeIsEmpty());
}

void PropertiesTest::layoutAndKeys()
{
    frmTerminal form;
    frmProperties dialog(form);
    QCOMPARE(dialog.size(), QSize(Twips::toPixels(6015, &dialog), Twips::toPixels(4260, &dialog)));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(dialog.x(), screen.left() + (screen.width() - dialog.width()) / 2);
    QCOMPARE(dialog.y(), screen.top() + (screen.height() - dialog.height()) / 2);
    // fraSettings sits at the top left of the tab strip's client area, in front.
    QCOMPARE(dialog.fraSettings->pos(),
             dialog.tabSettings->pos() + dialog.tabSettings->clientArea().topLeft());
    QCOMPARE(dialog.fraSettings->size(), Twips::rect(0, 0, 5445, 3495, &dialog).size());
    QCOMPARE(dialog.children().last(), dialog.fraSettings);
    QCOMPARE(dialog.tabSettings->count(), 1);
    QCOMPARE(dialog.tabSettings->tabText(0), QStringLiteral("Properties"));

    QCOMPARE(dialog.cmdOK->geometry(), Twips::rect(4335, 705, 1080, 300, &dialog));
    QVERIFY(dialog.cmdOK->isDefault());
    for (QComboBox* c : {dialog.cboPort, dialog.cboSpeed, dialog.cboDataBits, dialog.cboParity,
                         dialog.cboStopBits})
        QVERIFY(!c->isEditable());
}

void PropertiesTest::comEntriesNameTheirDevices()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    frmTerminal form;
    frmProperties dialog(form);
    QVERIFY(dialog.cboPort->itemData(0, Qt::ToolTipRole).toString().contains(pty.slavePath()));
    QVERIFY(dialog.cboPort->itemData(6, Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("Com7: no device known")));
    QVERIFY(dialog.cboPort->toolTip().contains(pty.slavePath()));
}

void PropertiesTest::okWithoutChanges()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    QVERIFY(form.MSComm1->PortOpen());
    // Bytes waiting in the port's buffer would be gone after a reopen.
    QVERIFY(form.MSComm1->setRThreshold(0).isOk());
    pty.write("xyz");
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == 3; }, 2000));

    frmProperties dialog(form);
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 0);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(form.MSComm1->PortOpen());
    QCOMPARE(form.MSComm1->InBufferCount(), 3);
    QCOMPARE(stored(PortSetting::Settings), QStringLiteral("38400,n,8,1"));
    QCOMPARE(stored(PortSetting::CommPort), QStringLiteral("1"));
    QCOMPARE(stored(PortSetting::Handshaking), QStringLiteral("0"));
    QCOMPARE(stored(PortSetting::Echo), QStringLiteral("False"));
}

// Where the settings cannot be kept (here the store's name is taken by a
// folder), OK says so instead of letting the operator believe they were.
void PropertiesTest::unsavedSettingsAreReported()
{
    const QString path = PortSettingsStore::filePath(applicationTitle());
    QVERIFY(QDir().mkpath(path));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is a folder, not a regular file"));
    ScriptedBoxes boxes;
    frmTerminal form;
    frmProperties dialog(form);
    choose(dialog.cboSpeed, QStringLiteral("9600"));
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY2(boxes.texts().first().startsWith("The settings could not be saved: " + path),
             qPrintable(boxes.texts().first()));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("9600,n,8,1")); // in force for this run
    QDir(path).removeRecursively();
}

void PropertiesTest::portChangeWhileOpen()
{
    Pty first, second;
    linkComPort(1, first.slavePath());
    linkComPort(2, second.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    const QString panel = form.sbrStatus->panelText("Settings");
    QVERIFY(form.MSComm1->setRThreshold(0).isOk());
    first.write("old");
    QVERIFY(waitFor([&] { return form.MSComm1->InBufferCount() == 3; }, 2000));

    frmProperties dialog(form);
    choose(dialog.cboPort, QStringLiteral("Com2"));
    choose(dialog.cboSpeed, QStringLiteral("9600"));
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 0);
    QCOMPARE(form.MSComm1->CommPort(), 2);
    QVERIFY(form.MSComm1->PortOpen());
    QCOMPARE(form.MSComm1->device(), second.slavePath());
    QCOMPARE(form.MSComm1->InBufferCount(), 0);
    QVERIFY(form.mnuOpen->isChecked());
    QVERIFY(form.mnuSendText->isEnabled());
    QVERIFY(form.toolbarButton("TransmitTextFile")->isEnabled());
    QCOMPARE(form.frontLamp(), form.imgConnected);
    QCOMPARE(form.sbrStatus->panelText("Settings"), panel); // refreshed only by the toggle
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(stored(PortSetting::CommPort), QStringLiteral("2"));
    QCOMPARE(stored(PortSetting::Settings), QStringLiteral("9600,n,8,1"));
    QVERIFY(form.MSComm1->Output("on two").isOk());
    QCOMPARE(second.readFor(6, 2000), QByteArray("on two"));
}

void PropertiesTest::portChangeWhileClosed()
{
    ScriptedBoxes boxes;
    frmTerminal form;
    frmProperties dialog(form);
    choose(dialog.cboPort, QStringLiteral("Com9")); // no device: only the number changes
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 0);
    QCOMPARE(form.MSComm1->CommPort(), 9);
    QVERIFY(!form.MSComm1->PortOpen());
    QVERIFY(!form.mnuOpen->isChecked());
    QVERIFY(!form.mnuSendText->isEnabled());
    QCOMPARE(stored(PortSetting::CommPort), QStringLiteral("9"));
}

void PropertiesTest::refusedPortWhileOpen()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    linkComPort(3, QStringLiteral("/nonexistent/ttyIR"));
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    const QString panel = form.sbrStatus->panelText("Settings");

    frmProperties dialog(form);
    choose(dialog.cboPort, QStringLiteral("Com3"));
    choose(dialog.cboSpeed, QStringLiteral("9600"));
    dialog.optFlow[1]->setChecked(true);
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY2(boxes.requests[0].text.contains(QStringLiteral("/nonexistent/ttyIR")),
             qPrintable(boxes.requests[0].text));
    QCOMPARE(form.MSComm1->CommPort(), 1);
    QVERIFY(!form.MSComm1->PortOpen());
    QVERIFY(!form.mnuOpen->isChecked());
    QVERIFY(!form.mnuSendText->isEnabled());
    QVERIFY(!form.toolbarButton("TransmitTextFile")->isEnabled());
    QCOMPARE(form.frontLamp(), form.imgConnected); // the lamp is the toggle's alone
    QCOMPARE(form.sbrStatus->panelText("Settings"), panel);
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("38400,n,8,1"));
    QCOMPARE(form.MSComm1->Handshaking(), 0);
    QVERIFY(storeIsEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void PropertiesTest::echoOnAndRefusedSettings()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    ScriptedBoxes boxes;
    frmTerminal form;
    form.mnuOpen_Click();
    frmProperties dialog(form);
    dialog.optEcho[1]->setChecked(true);
    QVERIFY(dialog.bEchoChoice);
    choose(dialog.cboParity, QStringLiteral("Even")); // a pseudo-terminal refuses parity
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY2(boxes.requests[0].text.contains(QStringLiteral("even parity")),
             qPrintable(boxes.requests[0].text));
    QCOMPARE(boxes.requests[0].icon, MessageBoxes::Icon::Exclamation);
    QVERIFY(form.bEcho);
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("38400,n,8,1"));
    QVERIFY(form.MSComm1->PortOpen());
    QVERIFY(storeIsEmpty());

    // The operator corrects the choice and presses OK again.
    boxes.requests.clear();
    choose(dialog.cboParity, QStringLiteral("None"));
    choose(dialog.cboSpeed, QStringLiteral("57600")); // speeds are taken while open
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 0);
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("57600,n,8,1"));
    QCOMPARE(stored(PortSetting::Echo), QStringLiteral("True"));
}

void PropertiesTest::refusedHandshakingLeavesSettingsApplied()
{
    ScriptedBoxes boxes;
    frmTerminal form;
    frmProperties dialog(form);
    choose(dialog.cboSpeed, QStringLiteral("19200"));
    dialog.iFlow = 9; // what no option button gives: the port refuses it
    dialog.cmdOK_Click();
    QCOMPARE(boxes.requests.size(), 1);
    QVERIFY(boxes.requests[0].text.contains(QStringLiteral("9")));
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("19200,n,8,1"));
    QCOMPARE(form.MSComm1->Handshaking(), 0);
    QVERIFY(storeIsEmpty());
}

void PropertiesTest::cancelAppliesNothing()
{
    ScriptedBoxes boxes;
    frmTerminal form;
    frmProperties dialog(form);
    choose(dialog.cboPort, QStringLiteral("Com4"));
    choose(dialog.cboSpeed, QStringLiteral("9600"));
    choose(dialog.cboParity, QStringLiteral("Odd"));
    dialog.optFlow[3]->setChecked(true);
    dialog.optEcho[1]->setChecked(true);
    dialog.cmdCancel->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(form.MSComm1->CommPort(), 1);
    QCOMPARE(form.MSComm1->Settings(), QStringLiteral("38400,n,8,1"));
    QCOMPARE(form.MSComm1->Handshaking(), 0);
    QVERIFY(!form.bEcho);
    QVERIFY(storeIsEmpty());
    QCOMPARE(boxes.requests.size(), 0);

    // Escape is Cancel too.
    frmProperties other(form);
    other.show();
    QTest::keyClick(&other, Qt::Key_Escape);
    QCOMPARE(other.result(), int(QDialog::Rejected));
    QVERIFY(!other.isVisible());
}

void PropertiesTest::dtrAndRtsActAtOnce()
{
    Pty pty;
    linkComPort(1, pty.slavePath());
    frmTerminal form;
    form.mnuOpen_Click();
    {
        frmProperties dialog(form);
        dialog.chkEnable[0]->click();
        QVERIFY(!form.MSComm1->DTREnable());
        dialog.chkEnable[1]->click();
        QVERIFY(!form.MSComm1->RTSEnable());
        dialog.cmdCancel->click();
    }
    QVERIFY(!form.MSComm1->DTREnable()); // Cancel does not undo them
    QVERIFY(!form.MSComm1->RTSEnable());
    QVERIFY(form.MSComm1->PortOpen());
    frmProperties again(form);
    QVERIFY(!again.chkEnable[0]->isChecked());
    QVERIFY(!again.chkEnable[1]->isChecked());
    again.chkEnable[0]->click();
    QVERIFY(form.MSComm1->DTREnable());
    again.cmdOK_Click();
    QCOMPARE(stored(PortSetting::Settings), QStringLiteral("38400,n,8,1")); // lines not stored
}

void PropertiesTest::nextStartUpAppliesWhatOkSaved()
{
    ScriptedBoxes boxes;
    {
        frmTerminal form;
        frmProperties dialog(form);
        choose(dialog.cboPort, QStringLiteral("Com5"));
        choose(dialog.cboSpeed, QStringLiteral("14400"));
        choose(dialog.cboParity, QStringLiteral("Space"));
        choose(dialog.cboDataBits, QStringLiteral("7"));
        choose(dialog.cboStopBits, QStringLiteral("2"));
        dialog.optFlow[1]->setChecked(true);
        dialog.optEcho[1]->setChecked(true);
        dialog.cmdOK_Click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(stored(PortSetting::Settings), QStringLiteral("14400,s,7,2"));
    QCOMPARE(stored(PortSetting::CommPort), QStringLiteral("5"));
    QCOMPARE(stored(PortSetting::Handshaking), QStringLiteral("1"));
    QCOMPARE(stored(PortSetting::Echo), QStringLiteral("True"));

    frmTerminal next;
    QCOMPARE(next.MSComm1->Settings(), QStringLiteral("14400,s,7,2"));
    QCOMPARE(next.MSComm1->CommPort(), 5);
    QCOMPARE(next.MSComm1->Handshaking(), 1);
    QVERIFY(next.bEcho);
    QCOMPARE(boxes.requests.size(), 0);
}

LOADER_TEST_MAIN(PropertiesTest)
#include "tst_properties.moc"
