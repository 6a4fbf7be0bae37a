#include "frmproperties.h"

#include "../serial/mscomm.h"
#include "../serial/portresolver.h"
#include "../serial/portsettingsstore.h"
#include "../ui/icons.h"
#include "../ui/messageboxes.h"
#include "../ui/twips.h"
#include "propertieshost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionTabWidgetFrame>

QRect TabStrip::clientArea() const
{
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
}

QStringList frmProperties::speedEntries()
{
    return {QStringLiteral("110"),   QStringLiteral("300"),    QStringLiteral("600"),
            QStringLiteral("1200"),  QStringLiteral("2400"),   QStringLiteral("4800"),
            QStringLiteral("9600"),  QStringLiteral("14400"),  QStringLiteral("19200"),
            QStringLiteral("28800"), QStringLiteral("38400"),  QStringLiteral("56000"),
            QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("128000"),
            QStringLiteral("256000")};
}

QStringList frmProperties::dataBitsEntries()
{
    return {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
            QStringLiteral("8")};
}

QStringList frmProperties::parityEntries()
{
    return {QStringLiteral("Even"), QStringLiteral("Odd"), QStringLiteral("None"),
            QStringLiteral("Mark"), QStringLiteral("Space")};
}

QStringList frmProperties::stopBitsEntries()
{
    return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
}

QStringList frmProperties::flowCaptions()
{
    return {QStringLiteral("None"), QStringLiteral("Xon/Xoff"), QStringLiteral("RTS"),
            QStringLiteral("Xon/RTS")};
}

frmProperties::frmProperties(PropertiesHost& host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_host(host)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(tr("CommPort Properties"));
    setWindowIcon(Icons::load(QStringLiteral("properties")));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(Twips::toPixels(6015, this), Twips::toPixels(4260, this));
    Twips::useDialogFont(this);
    build();
    Twips::centreOnScreen(this, size());
    const QRect client = tabSettings->clientArea();
    fraSettings->move(tabSettings->geometry().topLeft() + client.topLeft());
    fraSettings->raise();

    LoadPropertySettings();
    cmdOK->setFocus();
}

void frmProperties::build()
{
    auto place = [this](QWidget* w, const char* name, int l, int t, int wd, int h) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(Twips::rect(l, t, wd, h, this));
    };
    auto list = [&](QWidget* container, const char* name, int l, int t, int wd, int h) {
        auto* combo = new QComboBox(container);
        place(combo, name, l, t, wd, qMax(h, 0));
        combo->setEditable(false);
        // Drop-down lists keep their style's own height.
        combo->resize(combo->width(), qMax(combo->height(), combo->sizeHint().height()));
        return combo;
    };
    auto frame = [&](QWidget* container, const char* name, const QString& caption, int l, int t,
                     int wd, int h) {
        auto* box = new QGroupBox(caption, container);
        place(box, name, l, t, wd, h);
        return box;
    };
    auto label = [&](QWidget* container, const char* name, const QString& caption, int l, int t,
                     int wd, int h) {
        auto* text = new QLabel(caption, container);
        place(text, name, l, t, wd, h);
        return text;
    };
    // Option buttons and check boxes keep at least the style's own height,
    // centred on their designed line.
    auto fit = [](QWidget* w) {
        const int needed = w->sizeHint().height();
        if (w->height() < needed)
            w->setGeometry(w->x(), w->y() - (needed - w->height()) / 2, w->width(), needed);
        w->resize(qMax(w->width(), w->sizeHint().width()), w->height());
    };

    tabSettings = new TabStrip(this);
    place(tabSettings, "tabSettings", 90, 105, 5820, 4065);
    auto* tabPage = new QWidget(tabSettings);
    tabPage->setFocusPolicy(Qt::NoFocus);
    tabSettings->addTab(tabPage, tr("Properties"));
    tabSettings->setFocusPolicy(Qt::NoFocus);
    tabSettings->tabBar()->setFocusPolicy(Qt::NoFocus);

    fraSettings = new QWidget(this);
    place(fraSettings, "fraSettings", 255, 570, 5445, 3495);

    Label1 = label(fraSettings, "Label1", tr("Port:"), 330, 180, 495, 315);
    cboPort = list(fraSettings, "cboPort", 900, 150, 1425, 315);
    Label1->setBuddy(cboPort);

    Frame1 = frame(fraSettings, "Frame1", tr("Maximum Speed"), 180, 630, 2340, 870);
    cboSpeed = list(Frame1, "cboSpeed", 375, 330, 1695, 315);

    Frame7 = frame(fraSettings, "Frame7", tr("&Echo"), 2595, 630, 1590, 870);
    optEcho[0] = new QRadioButton(tr("Off"), Frame7);
    place(optEcho[0], "optEcho0", 135, 360, 615, 315);
    optEcho[1] = new QRadioButton(tr("On"), Frame7);
    place(optEcho[1], "optEcho1", 795, 420, 555, 195);

    cmdOK = new QPushButton(tr("OK"), fraSettings);
    place(cmdOK, "cmdOK", 4335, 705, 1080, 300);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(tr("Cancel"), fraSettings);
    place(cmdCancel, "cmdCancel", 4335, 1065, 1080, 300);

    fraConnection =
        frame(fraSettings, "fraConnection", tr("Connection Preferences"), 180, 1635, 2325, 1770);
    Label3 = label(fraConnection, "Label3", tr("Data Bits:"), 180, 375, 825, 285);
    cboDataBits = list(fraConnection, "cboDataBits", 1050, 330, 1140, 315);
    Label4 = label(fraConnection, "Label4", tr("Parity:"), 180, 855, 615, 285);
    cboParity = list(fraConnection, "cboParity", 1050, 810, 1140, 315);
    Label5 = label(fraConnection, "Label5", tr("Stop Bits:"), 180, 1320, 885, 285);
    cboStopBits = list(fraConnection, "cboStopBits", 1050, 1260, 1140, 315);
    Label3->setBuddy(cboDataBits);
    Label4->setBuddy(cboParity);
    Label5->setBuddy(cboStopBits);

    Frame5 = frame(fraSettings, "Frame5", tr("&Flow Control"), 2595, 1635, 1620, 1770);
    const int flowTops[] = {345, 645, 945, 1245};
    const int flowWidths[] = {855, 1095, 735, 1155};
    const QStringList captions = flowCaptions();
    for (int i = 0; i < 4; ++i) {
        optFlow[i] = new QRadioButton(captions[i], Frame5);
        place(optFlow[i], QStringLiteral("optFlow%1").arg(i).toLatin1().constData(), 180,
              flowTops[i], flowWidths[i], 255);
    }

    Frame2 = frame(fraSettings, "Frame2", tr("E&nable"), 4440, 1635, 975, 1770);
    chkEnable[0] = new QCheckBox(tr("DTR"), Frame2);
    place(chkEnable[0], "chkEnable0", 120, 480, 735, 255);
    chkEnable[1] = new QCheckBox(tr("RTS"), Frame2);
    place(chkEnable[1], "chkEnable1", 120, 960, 735, 255);

    for (QWidget* w : {static_cast<QWidget*>(optEcho[0]), static_cast<QWidget*>(optEcho[1]),
                       static_cast<QWidget*>(chkEnable[0]), static_cast<QWidget*>(chkEnable[1])})
        fit(w);
    for (QRadioButton* r : optFlow)
        fit(r);

    for (int i = 0; i < 2; ++i) {
        connect(chkEnable[i], &QCheckBox::toggled, this, [this, i] { chkEnable_Click(i); });
        connect(optEcho[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optEcho_Click(i);
        });
    }
    for (int i = 0; i < 4; ++i) {
        connect(optFlow[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optFlow_Click(i);
        });
    }
    connect(cmdOK, &QPushButton::clicked, this, &frmProperties::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProperties::cmdCancel_Click);
    connect(cboPort, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &frmProperties::showChosenPortDevice);
}

frmProperties::Selection frmProperties::selectionFor(const QString& s)
{
    const int L = int(s.size());
    const int k = s.contains(QLatin1Char('.')) ? 2 : 0;
    // Positions counted from 1.
    auto charAt = [&](int position) {
        return position >= 1 && position <= L ? s.mid(position - 1, 1) : QString();
    };
    Selection chosen;
    chosen.speed = L - 6 - k > 0 ? s.left(L - 6 - k) : QString();
    const QStringList letters = {QStringLiteral("e"), QStringLiteral("o"), QStringLiteral("n"),
                                 QStringLiteral("m"), QStringLiteral("s")};
    chosen.parity = int(letters.indexOf(charAt(L - 4 - k)));
    chosen.dataBits = charAt(L - 2 - k);
    chosen.stopBits = L >= k + 1 ? s.right(k + 1) : QString();
    return chosen;
}

void frmProperties::LoadPropertySettings()
{
    const MSComm& port = m_host.port();

    for (int n = 1; n <= 16; ++n) {
        cboPort->addItem(QStringLiteral("Com%1").arg(n));
        // Which device each number reaches, so the adaptor can be found.
        cboPort->setItemData(n - 1, PortResolver::describe(n), Qt::ToolTipRole);
    }
    cboSpeed->addItems(speedEntries());
    cboDataBits->addItems(dataBitsEntries());
    cboParity->addItems(parityEntries());
    cboStopBits->addItems(stopBitsEntries());

    const Selection chosen = selectionFor(port.Settings());
    auto select = [](QComboBox* combo, const QString& text) {
        combo->setCurrentIndex(
            text.isEmpty() ? -1 : combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    };
    select(cboSpeed, chosen.speed);
    cboParity->setCurrentIndex(chosen.parity);
    select(cboDataBits, chosen.dataBits);
    select(cboStopBits, chosen.stopBits);

    const int portIndex = port.CommPort() - 1;
    cboPort->setCurrentIndex(portIndex >= 0 && portIndex < cboPort->count() ? portIndex : -1);
    showChosenPortDevice();

    const int flow = port.Handshaking();
    if (flow >= 0 && flow < int(optFlow.size()))
        optFlow[flow]->setChecked(true);

    optEcho[m_host.echo() ? 1 : 0]->setChecked(true);

    chkEnable[0]->setChecked(port.DTREnable());
    chkEnable[1]->setChecked(port.RTSEnable());
}

void frmProperties::showChosenPortDevice()
{
    const int index = cboPort->currentIndex();
    cboPort->setToolTip(index >= 0 ? cboPort->itemData(index, Qt::ToolTipRole).toString()
                                   : QString());
}

void frmProperties::chkEnable_Click(int index)
{
    MSComm& port = m_host.port();
    if (index == 0)
        (void)port.setDTREnable(chkEnable[0]->isChecked());
    else
        (void)port.setRTSEnable(chkEnable[1]->isChecked());
}

void frmProperties::optEcho_Click(int index)
{
    bEchoChoice = index == 1;
}

void frmProperties::optFlow_Click(int index)
{
    iFlow = index;
}

QString frmProperties::chosenSettings(QStringList* missing) const
{
    missing->clear();
    if (cboSpeed->currentIndex() < 0)
        *missing << Frame1->title();
    if (cboParity->currentIndex() < 0)
        *missing << tr("Parity");
    if (cboDataBits->currentIndex() < 0)
        *missing << tr("Data Bits");
    if (cboStopBits->currentIndex() < 0)
        *missing << tr("Stop Bits");
    if (!missing->isEmpty())
        return QString();
    return cboSpeed->currentText().trimmed() + QLatin1Char(',') + cboParity->currentText().left(1) +
           QLatin1Char(',') + cboDataBits->currentText().trimmed() + QLatin1Char(',') +
           cboStopBits->currentText().trimmed();
}

void frmProperties::cmdOK_Click()
{
    MSComm& port = m_host.port();
    PendingError error;
    auto report = [&] { MessageBoxes::show(error.description()); };

    m_host.setEcho(bEchoChoice);

    const int previous = port.CommPort();
    const int chosen = cboPort->currentIndex() + 1;
    if (chosen == 0) {
        // The port uses a number beyond the list; OK must not guess one.
        error.note(Status::failure(tr("The port is Com%1, which the Port list does not offer. "
                                      "Choose a port in the list, then press OK.")
                                       .arg(previous)));
    } else if (chosen != previous) {
        bool closedHere = false;
        if (port.PortOpen()) {
            error.note(port.setPortOpen(false));
            closedHere = true;
        }
        error.note(port.setCommPort(chosen));
        if (!error.isPending() && closedHere) {
            error.note(port.setPortOpen(true));
            m_host.setPortCommands(port.PortOpen());
        }
    }
    if (error.isPending()) {
        report();
        (void)port.setCommPort(previous);
        return;
    }

    QStringList missing;
    const QString settings = chosenSettings(&missing);
    if (!missing.isEmpty()) {
        // An empty field would only make a broken settings string.
        error.note(Status::failure(tr("The port uses settings (%1) that the lists do not offer. "
                                      "Choose a value in: %2. Then press OK.")
                                       .arg(port.Settings(), missing.join(QStringLiteral(", ")))));
    } else {
        error.note(port.setSettings(settings));
    }
    if (error.isPending()) {
        report();
        return;
    }

    if (iFlow < 0) {
        error.note(Status::failure(tr("The port uses handshaking code %1, which the Flow Control "
                                      "options do not offer. Choose one, then press OK.")
                                       .arg(port.Handshaking())));
    } else {
        error.note(port.setHandshaking(qint32(iFlow)));
    }
    if (error.isPending()) {
        report();
        return;
    }

    // Each write is made even if the one before failed.
    const QString app = QCoreApplication::applicationName();
    PendingError unsaved;
    unsaved.note(PortSettingsStore::write(app, PortSetting::Settings, port.Settings()));
    unsaved.note(PortSettingsStore::write(app, PortSetting::CommPort,
                                          QString::number(qint16(port.CommPort()))));
    unsaved.note(PortSettingsStore::write(app, PortSetting::Handshaking,
                                          QString::number(qint32(port.Handshaking()))));
    unsaved.note(PortSettingsStore::write(app, PortSetting::Echo, booleanText(m_host.echo())));
    if (unsaved.isPending()) {
        // Saying nothing would let the operator believe they were kept.
        MessageBoxes::show(tr("The settings could not be saved: %1. The port uses them until the "
                              "program ends.")
                               .arg(unsaved.description()));
    }
    accept();
}

void frmProperties::cmdCancel_Click()
{
    QDialog::reject();
}

void frmProperties::reject()
{
    cmdCancel_Click();
}
