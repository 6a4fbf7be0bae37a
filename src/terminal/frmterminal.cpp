#include "frmterminal.h"

#include "../properties/frmproperties.h"
#include "../serial/applicationtitle.h"
#include "../serial/mscomm.h"
#include "../serial/portsettingsstore.h"
#include "../ui/clock.h"
#include "../ui/commondialog.h"
#include "../ui/formtimer.h"
#include "../ui/icons.h"
#include "../ui/messageboxes.h"
#include "../ui/terminaltext.h"
#include "../ui/twips.h"
#include "clickableimage.h"
#include "firmwareupload.h"
#include "keyedstatusbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStringList>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <cmath>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// How often the closing wait looks at the clock while output is stuck.
constexpr int DrainPollMs = 100;

// How often the terminal view catches up with the traffic.
constexpr int ViewIntervalUploading = 400;
constexpr int ViewIntervalIdle = 1000;

QString key(const QAction* action)
{
    return action->property("Key").toString();
}

} // namespace

frmTerminal::frmTerminal(QWidget* parent) : QMainWindow(parent)
{
    initResources();
    setObjectName(QStringLiteral("frmTerminal"));
    setWindowTitle(applicationTitle());
    setWindowIcon(Icons::load(QStringLiteral("terminal")));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    txtTerm = new TerminalText(m_client);
    txtTerm->setObjectName(QStringLiteral("txtTerm"));
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSizeF(9.75);
    courier.setWeight(QFont::Normal);
    txtTerm->setFont(courier);

    buildToolBar();
    buildStatusBar();
    buildMenus();

    Timer1 = new FormTimer(QStringLiteral("Timer1"), 1000, this);
    Timer2 = new FormTimer(QStringLiteral("Timer2"), 2000, this);
    // A coarse timer may fire 5% early or late.
    Timer3 = new FormTimer(QStringLiteral("Timer3"), 10, this, Qt::PreciseTimer);
    Timer4 = new FormTimer(QStringLiteral("Timer4"), 500, this, Qt::PreciseTimer);

    MSComm1 = new MSComm(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    OpenLog = new CommonDialog(this);
    OpenLog->setObjectName(QStringLiteral("OpenLog"));
    OpenLog->DefaultExt = QStringLiteral("LOG");
    OpenLog->DialogTitle = QStringLiteral("Open Communications Log File");
    OpenLog->Filter = QStringLiteral("Log File (*.log)|*.log;");

    m_upload = std::make_unique<FirmwareUpload>(*this);

    connect(Timer1, &QTimer::timeout, this, &frmTerminal::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmTerminal::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &frmTerminal::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &frmTerminal::Timer4_Timer);
    connect(MSComm1, &MSComm::OnComm, this, &frmTerminal::MSComm1_OnComm);
    connect(MSComm1, &MSComm::portLost, this, &frmTerminal::onPortLost);
    m_drainPoll.setSingleShot(true);
    connect(&m_drainPoll, &QTimer::timeout, this, &frmTerminal::checkDrained);
    connect(MSComm1, &MSComm::transmitSettled, this, &frmTerminal::checkDrained);

    QSize design(Twips::toPixels(9840, this),
                 Twips::toPixels(5205, this) + menuBar()->sizeHint().height());
    // On a small screen at a high DPI the design size may not fit.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        design = design.boundedTo(screen->availableGeometry().size());
    resize(design);
    dockBars();
    Form_Load();
}

frmTerminal::~frmTerminal()
{
    disconnect(MSComm1, nullptr, this, nullptr);
}

void frmTerminal::buildMenus()
{
    mnuFile = menuBar()->addMenu(tr("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuSendText = mnuFile->addAction(tr("&Load Firmware File..."));
    mnuSendText->setObjectName(QStringLiteral("mnuSendText"));
    mnuSendText->setEnabled(false);
    mnuClrScreen = mnuFile->addAction(tr("&Clear Screen"));
    mnuClrScreen->setObjectName(QStringLiteral("mnuClrScreen"));
    mnuBar0 = mnuFile->addSeparator();
    mnuBar0->setObjectName(QStringLiteral("mnuBar0"));
    mnuFileExit = mnuFile->addAction(tr("E&xit"));
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));

    mnuPort = menuBar()->addMenu(tr("&CommPort"));
    mnuPort->setObjectName(QStringLiteral("mnuPort"));
    mnuOpen = mnuPort->addAction(tr("Port &Open"));
    mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    mnuOpen->setCheckable(true);
    mnuOpen->setChecked(false);
    MBar1 = mnuPort->addSeparator();
    MBar1->setObjectName(QStringLiteral("MBar1"));
    mnuProperties = mnuPort->addAction(tr("Properties..."));
    mnuProperties->setObjectName(QStringLiteral("mnuProperties"));
    Bar3 = mnuPort->addSeparator();
    Bar3->setObjectName(QStringLiteral("Bar3"));

    mnuHelp = menuBar()->addAction(tr("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));

    connect(mnuSendText, &QAction::triggered, this, &frmTerminal::mnuSendText_Click);
    connect(mnuClrScreen, &QAction::triggered, this, &frmTerminal::mnuClrScreen_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmTerminal::mnuFileExit_Click);
    // The check mark follows the port, never the click.
    connect(mnuOpen, &QAction::triggered, this, [this] {
        mnuOpen->setChecked(!mnuOpen->isChecked());
        mnuOpen_Click();
    });
    connect(mnuProperties, &QAction::triggered, this, &frmTerminal::mnuProperties_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmTerminal::mnuHelp_Click);
}

void frmTerminal::buildToolBar()
{
    tbrToolBar = new QToolBar(m_client);
    tbrToolBar->setObjectName(QStringLiteral("tbrToolBar"));
    tbrToolBar->setMovable(false);
    tbrToolBar->setFloatable(false);
    tbrToolBar->setIconSize(QSize(Twips::toPixels(240, this), Twips::toPixels(240, this)));
    tbrToolBar->setFixedHeight(Twips::toPixels(390, this));

    struct Button {
        const char* key;
        const char* tip;
        const char* icon;
        bool enabled;
    };
    const Button buttons[] = {
        {"Properties", "Properties...", "properties", true},
        {"TransmitTextFile", "Load Firmware File...", "transmit", false},
    };
    for (const Button& b : buttons) {
        QAction* action =
            tbrToolBar->addAction(Icons::load(QString::fromLatin1(b.icon)), tr(b.tip));
        action->setObjectName(QString::fromLatin1(b.key));
        action->setProperty("Key", QString::fromLatin1(b.key));
        action->setToolTip(tr(b.tip));
        action->setEnabled(b.enabled);
        connect(action, &QAction::triggered, this,
                [this, action] { tbrToolBar_ButtonClick(key(action)); });
    }

    Frame1 = new QWidget(tbrToolBar);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(Twips::rect(4000, 75, 240, 240, this));
    const QSize lampSize(Twips::toPixels(240, this), Twips::toPixels(240, this));
    auto makeLamp = [&](const char* name, const char* picture) {
        auto* lamp = new ClickableImage(Frame1);
        lamp->setObjectName(QString::fromLatin1(name));
        lamp->setGeometry(QRect(QPoint(0, 0), lampSize));
        lamp->setPixmap(Icons::load(QString::fromLatin1(picture)).pixmap(lampSize));
        lamp->setToolTip(tr("Toggles Port"));
        lamp->setCursor(Qt::PointingHandCursor);
        connect(lamp, &ClickableImage::clicked, this, &frmTerminal::mnuOpen_Click);
        return lamp;
    };
    imgConnected = makeLamp("imgConnected", "lamp-green");
    imgNotConnected = makeLamp("imgNotConnected", "lamp-red");
}

void frmTerminal::buildStatusBar()
{
    sbrStatus = new KeyedStatusBar(m_client);
    sbrStatus->setObjectName(QStringLiteral("sbrStatus"));
    sbrStatus->setFixedHeight(Twips::toPixels(315, this));
    sbrStatus->addPanel(QStringLiteral("Status"), tr("Status:"), tr("Communications Port Status"),
                        Twips::toPixels(1440, this), false);
    // The settings panel takes what the others leave (7396 twips at design
    // size), so the elapsed time is never cut off.
    sbrStatus->addPanel(QStringLiteral("Settings"), tr("Settings:"),
                        tr("Communications Port Settings"), 0, true);
    sbrStatus->addPanel(QStringLiteral("ConnectTime"), QString(), tr("Connect Time"),
                        Twips::toPixels(705, this), false);
}

QAction* frmTerminal::toolbarButton(const QString& k) const
{
    const auto actions = tbrToolBar->actions();
    for (QAction* a : actions) {
        if (key(a) == k)
            return a;
    }
    return nullptr;
}

ClickableImage* frmTerminal::frontLamp() const
{
    // Raising a widget moves it to the end of its parent's children.
    const auto lamps = Frame1->findChildren<ClickableImage*>(QString(), Qt::FindDirectChildrenOnly);
    return lamps.isEmpty() ? nullptr : lamps.last();
}

void frmTerminal::Form_Load()
{
    txtTerm->setText(QString());
    QPalette palette = txtTerm->palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    txtTerm->setPalette(palette);
    QCoreApplication::setApplicationName(applicationTitle());
    imgNotConnected->raise();

    Twips::centreOnScreen(this, frameGeometry().size());

    const QString app = QCoreApplication::applicationName();
    PendingError error;
    auto report = [&] { MessageBoxes::show(error.description()); };

    const QString settings = PortSettingsStore::read(app, PortSetting::Settings);
    if (!settings.isEmpty()) {
        error.note(MSComm1->setSettings(settings));
        if (error.isPending()) {
            report();
            return;
        }
    } else {
        (void)MSComm1->setSettings(defaultSettings());
    }

    const QString commPort = PortSettingsStore::read(app, PortSetting::CommPort);
    if (!commPort.isEmpty()) {
        qint16 number = 0;
        const Status converted = convertToInt16(commPort, QStringLiteral("port number"), &number);
        error.note(converted);
        if (converted.isOk())
            error.note(MSComm1->setCommPort(number));
    }

    const QString handshaking = PortSettingsStore::read(app, PortSetting::Handshaking);
    if (!handshaking.isEmpty()) {
        qint32 code = 0;
        const Status converted =
            convertToInt32(handshaking, QStringLiteral("handshaking code"), &code);
        error.note(converted);
        if (converted.isOk())
            error.note(MSComm1->setHandshaking(code));
        if (error.isPending()) {
            report();
            return;
        }
    }

    if (const std::optional<bool> echo =
            convertToBoolean(PortSettingsStore::read(app, PortSetting::Echo)))
        bEcho = *echo;
}

bool frmTerminal::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        dockBars();
        Form_Resize();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmTerminal::dockBars()
{
    const int width = m_client->width();
    tbrToolBar->setGeometry(0, 0, width, tbrToolBar->height());
    sbrStatus->setGeometry(0, m_client->height() - sbrStatus->height(), width, sbrStatus->height());
}

void frmTerminal::Form_Resize()
{
    const int innerWidth = m_client->width();
    const int innerHeight = m_client->height();
    const int toolbarHeight = tbrToolBar->height();
    // A window lower than the two bars leaves no room: the text area collapses.
    const int textHeight = qMax(0, innerHeight - sbrStatus->height() - toolbarHeight);
    txtTerm->setGeometry(0, toolbarHeight, innerWidth, textHeight);
    Frame1->move(innerWidth - int(std::lround(1.5 * Frame1->width())), Frame1->y());
}

void frmTerminal::closeEvent(QCloseEvent* event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

// With output still queued the window stays (`cancel` is set) while the wait
// goes on from events; it ends the program once the output has drained, or
// stops on Abort.
void frmTerminal::Form_Unload(bool& cancel)
{
    if (m_ended)
        return;
    if (m_closing) {
        cancel = true;
        return;
    }
    if (MSComm1->PortOpen() && MSComm1->OutBufferCount() != 0) {
        m_closing = true;
        m_drainDeadline = std::round(Clock::instance().seconds() + 10.0);
        cancel = true;
        m_drainPoll.start(DrainPollMs);
        return;
    }
    (void)MSComm1->setPortOpen(false);
    endProgram();
}

void frmTerminal::checkDrained()
{
    if (!m_closing || m_ended)
        return;
    if (MSComm1->PortOpen() && MSComm1->OutBufferCount() != 0) {
        Clock& clock = Clock::instance();
        if (clock.seconds() > m_drainDeadline) {
            m_drainPoll.stop();
            const MessageBoxes::Answer answer =
                MessageBoxes::show(tr("Data cannot be sent"), MessageBoxes::Icon::Question,
                                   MessageBoxes::Buttons::AbortRetryIgnore);
            if (m_ended)
                return;
            if (answer == MessageBoxes::Answer::Abort) {
                m_closing = false;
                return;
            }
            if (answer == MessageBoxes::Answer::Retry) {
                m_drainDeadline = std::round(clock.seconds() + 10.0);
                m_drainPoll.start(DrainPollMs);
                return;
            }
        } else {
            m_drainPoll.start(DrainPollMs);
            return;
        }
    }
    (void)MSComm1->setPortOpen(false);
    endProgram();
}

void frmTerminal::endWithoutQuestions()
{
    if (m_ended)
        return;
    if (m_upload->sending())
        m_upload->Cancel();
    MSComm1->closeQuietly(); // queued output is dropped; the lock goes with the port
    endProgram();
}

void frmTerminal::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    m_closing = false;
    m_drainPoll.stop();
    for (FormTimer* t : {Timer1, Timer2, Timer3, Timer4})
        t->stop();
    disconnect(MSComm1, nullptr, this, nullptr);
    (void)MSComm1->setPortOpen(false);
    // Every window goes at once; none of them runs its own close handling.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != this)
            w->hide();
    }
    hide();
    emit ended();
}

void frmTerminal::mnuOpen_Click()
{
    PendingError error;
    error.note(MSComm1->setPortOpen(!MSComm1->PortOpen()));
    if (error.isPending()) {
        if (m_inResetTick && m_portAway) {
            // Said once in a box for this loss; the ticks go on trying.
            showStatusMessage(error.description());
        } else {
            if (m_inResetTick)
                m_portAway = true;
            ++m_toggleBoxes;
            MessageBoxes::show(error.description());
            --m_toggleBoxes;
        }
    }
    showPortState();
}

void frmTerminal::showPortState()
{
    setPortCommands(MSComm1->PortOpen());
    if (MSComm1->PortOpen()) {
        m_portAway = false;
        m_lostInUpload = false;
        imgConnected->raise();
        sbrStatus->setPanelText(QStringLiteral("Settings"),
                                QStringLiteral("Settings: ") + MSComm1->Settings());
    } else {
        imgNotConnected->raise();
        sbrStatus->setPanelText(QStringLiteral("Settings"), QStringLiteral("Settings: "));
    }
}

void frmTerminal::setPortCommands(bool portOpen)
{
    mnuOpen->setChecked(portOpen);
    setUploadCommandsEnabled(portOpen);
}

void frmTerminal::insertText(const QString& text)
{
    txtTerm->insertAtCaret(text);
}

void frmTerminal::enablePacingTimer()
{
    Timer3->setEnabled(true);
}

void frmTerminal::restartPortResetTimer()
{
    Timer4->restart();
}

void frmTerminal::disablePortResetTimer()
{
    Timer4->setEnabled(false);
    m_lostInUpload = false;
}

void frmTerminal::setUploadCommandsEnabled(bool enabled)
{
    mnuSendText->setEnabled(enabled);
    if (QAction* button = toolbarButton(QStringLiteral("TransmitTextFile")))
        button->setEnabled(enabled);
}

void frmTerminal::onPortLost(const QString& description)
{
    // Outside an upload nothing waits for the port to come back, and each
    // reset tick would only report the missing device again.
    if (!m_upload->sending())
        Timer4->setEnabled(false);
    else
        m_lostInUpload = true;
    showPortState();
    showStatusMessage(description);
}

void frmTerminal::showStatusMessage(const QString& message)
{
    sbrStatus->setPanelText(QStringLiteral("Status"), QStringLiteral("Status: ") + message);
    Timer2->setEnabled(true);
    // The panel is narrow and shows it for two seconds; the tool tip keeps
    // the whole of the last message.
    if (QLabel* panel = sbrStatus->panel(QStringLiteral("Status"))) {
        panel->setToolTip(tr("Communications Port Status") + QStringLiteral("\n") +
                          QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + message);
    }
}

void frmTerminal::StartTiming()
{
    const QDateTime now = Clock::instance().now();
    StartTime = now.addMSecs(-now.time().msec());
    Timer1->setEnabled(true);
}

QString frmTerminal::elapsedText(qint64 elapsed)
{
    elapsed = ((elapsed % 86400) + 86400) % 86400; // read as a time of day
    // The separator the locale puts between hours and minutes.
    static const QRegularExpression between(QStringLiteral("[hH]+([^hHmMsS]+)m"));
    const QRegularExpressionMatch m = between.match(QLocale().timeFormat(QLocale::ShortFormat));
    QString separator = m.hasMatch() ? m.captured(1).trimmed() : QString();
    if (separator.size() != 1 || separator[0].isLetterOrNumber())
        separator = QStringLiteral(":");
    auto twoDigits = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return twoDigits(elapsed / 3600) + separator + twoDigits((elapsed / 60) % 60) + separator +
           twoDigits(elapsed % 60);
}

void frmTerminal::Timer1_Timer()
{
    const QDateTime now = Clock::instance().now();
    const qint64 elapsed = StartTime.secsTo(now.addMSecs(-now.time().msec()));
    sbrStatus->setPanelText(QStringLiteral("ConnectTime"), elapsedText(elapsed) + QLatin1Char(' '));
}

void frmTerminal::StopTiming()
{
    Timer1->setEnabled(false);
    sbrStatus->setPanelText(QStringLiteral("ConnectTime"), QString());
}

void frmTerminal::Timer2_Timer()
{
    sbrStatus->setPanelText(QStringLiteral("Status"), QStringLiteral("Status: "));
    Timer2->setEnabled(false);
}

void frmTerminal::Timer3_Timer()
{
    Timer3->setEnabled(false);
    m_upload->Timer3_Timer();
}

void frmTerminal::Timer4_Timer()
{
    // A port that cannot be reopened shows one box at a time, not one per tick.
    if (m_toggleBoxes > 0)
        return;
    const QScopedValueRollback<bool> inTick(m_inResetTick, true);
    // Closing and reopening a port that is not there would leave it closed
    // for good once it is back; during an upload it is only opened again.
    if (m_lostInUpload && m_upload->sending() && !MSComm1->PortOpen()) {
        reopenLostPort();
        return;
    }
    // Reopened as the device it is, not as whatever Com n means by now.
    const bool hold = MSComm1->PortOpen() && !MSComm1->holdsDevice();
    if (hold)
        MSComm1->holdDevice();
    mnuOpen_Click();
    mnuOpen_Click();
    if (hold)
        MSComm1->releaseDevice();
}

void frmTerminal::reopenLostPort()
{
    const Status opened = MSComm1->setPortOpen(true);
    if (opened.failed()) {
        if (m_portAway) {
            showStatusMessage(tr("waiting for %1 to come back").arg(MSComm1->device()));
        } else {
            // One box for each loss; the ticks go on trying meanwhile.
            m_portAway = true;
            ++m_toggleBoxes;
            MessageBoxes::show(opened.description());
            --m_toggleBoxes;
        }
    }
    showPortState();
}

void frmTerminal::mnuSendText_Click()
{
    m_upload->Start();
}

void frmTerminal::mnuClrScreen_Click()
{
    txtTerm->setText(QString());
}

void frmTerminal::mnuFileExit_Click()
{
    Form_Unload(m_exitCancel);
}

void frmTerminal::mnuProperties_Click()
{
    frmProperties dialog(*this);
    // Above the cancel dialog during an upload, not hidden behind it.
    if (MessageBoxes::alwaysOnTopShowing())
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.exec();
}

QString frmTerminal::helpText()
{
    const QStringList lines = {
        QStringLiteral(
            "1. Configure Serial port: 38,400 Baud, 8-bit, 1-stop, no parity, DTR/RTS on"),
        QStringLiteral("2. Open Serial port"),
        QStringLiteral("3. Select 'Code Upload' on unit"),
        QStringLiteral("4. Point unit at Infrared Adaptor board (< 10cm)"),
        QStringLiteral("5. Loader screen will display stream of '++++++...' prompts from unit"),
        QStringLiteral("6. Open new Firmware File - Loader screen will show progress of load."),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void frmTerminal::mnuHelp_Click()
{
    MessageBoxes::show(helpText(), MessageBoxes::Icon::None);
}

void frmTerminal::tbrToolBar_ButtonClick(const QString& k)
{
    if (k == QLatin1String("Properties"))
        mnuProperties_Click();
    else if (k == QLatin1String("TransmitTextFile"))
        mnuSendText_Click();
}

std::optional<QString> frmTerminal::statusMessageFor(int commEvent)
{
    switch (commEvent) {
    case MSComm::comEvSend:
    case MSComm::comEvReceive:
    case MSComm::comEvCTS:
    case MSComm::comEvDSR:
    case MSComm::comEvCD:
    case MSComm::comEvRing:
    case MSComm::comEventFrame:
        return std::nullopt;
    case MSComm::comEvEOF:
        return QStringLiteral("End of File Detected");
    case MSComm::comEventBreak:
        return QStringLiteral("Break Received");
    case MSComm::comEventCTSTO:
        return QStringLiteral("CTS Timeout");
    case MSComm::comEventDSRTO:
        return QStringLiteral("DSR Timeout");
    case MSComm::comEventOverrun:
        return QStringLiteral("Overrun Error");
    case MSComm::comEventCDTO:
        return QStringLiteral("Carrier Detect Timeout");
    case MSComm::comEventRxOver:
        return QStringLiteral("Receive Buffer Overflow");
    case MSComm::comEventRxParity:
        return QStringLiteral("Parity Error");
    case MSComm::comEventTxFull:
        return QStringLiteral("Transmit Buffer Full");
    case MSComm::comEventDCB:
        return QStringLiteral("Error retrieving DCB");
    default:
        return QStringLiteral("Unknown error or event");
    }
}

void frmTerminal::MSComm1_OnComm()
{
    Timer4->restart();
    const int code = MSComm1->CommEvent();
    if (code == MSComm::comEvReceive) {
        int length = txtTerm->length();
        if (length > TextLimit) {
            // Whole blocks, as many as it takes, so one huge line cannot
            // leave a trim to do on every later event.
            const int blocks = (length - TextLimit + TrimBlock - 1) / TrimBlock;
            txtTerm->removeFront(blocks * TrimBlock);
            length = txtTerm->length();
        }
        txtTerm->setCaret(length);
        const QByteArray received = MSComm1->Input();
        const int last = received.isEmpty() ? -1 : int(uchar(received.back()));
        if (m_upload->sending())
            m_upload->HandshakeStep(last);
        else if (last == '+')
            txtTerm->insertAtCaret(QStringLiteral("+"));
        // Now, while an upload waits out its pacing, is the time to paint.
        // Prompts alone need showing only once a second.
        txtTerm->updateViewIfDue(m_upload->sending() ? ViewIntervalUploading : ViewIntervalIdle);
    } else if (const std::optional<QString> message = statusMessageFor(code)) {
        showStatusMessage(*message);
    }
    m_upload->CompletionCheck();
}
