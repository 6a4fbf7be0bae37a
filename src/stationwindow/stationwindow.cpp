#include "stationwindow.h"

#include "../records/databaseurl.h"
#include "../records/recordsummary.h"
#include "../serial/portresolver.h"
#include "../serial/status.h"
#include "../ui/commondialog.h"
#include "../ui/icons.h"
#include "../ui/messageboxes.h"
#include "addslotdialog.h"
#include "language.h"
#include "labelsdialog.h"
#include "serialnumbersdialog.h"
#include "slottile.h"
#include "transcriptdialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// The transcript kept per slot: the last few thousand lines.
constexpr int TranscriptLimit = 200000;
constexpr int TranscriptTrim = 16384;

QString firmwareFilter()
{
    return StationWindow::tr("Firmware Files (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;"
                             "*.s37;*.srec;*.mot;*.hex|Text Files (*.TXT)|*.txt|All Files (*.*)|*.*");
}

} // namespace

StationWindow::StationWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("StationWindow"));
    setWindowTitle(QStringLiteral("Tarvel Labs Firmware Station"));
    setWindowIcon(Icons::load(QStringLiteral("station")));
    m_files = new CommonDialog(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_jobLabel = new QLabel(central);
    m_jobLabel->setObjectName(QStringLiteral("job"));
    m_jobLabel->setTextFormat(Qt::PlainText);
    m_jobLabel->setWordWrap(true);
    m_jobLabel->hide();
    layout->addWidget(m_jobLabel);
    // The job's work order: its permits left in the factory, and here.
    m_order = new QLabel(central);
    m_order->setObjectName(QStringLiteral("order"));
    m_order->setTextFormat(Qt::PlainText);
    m_order->hide();
    layout->addWidget(m_order);
    m_file = new QLabel(central);
    m_file->setObjectName(QStringLiteral("firmware"));
    m_file->setTextFormat(Qt::PlainText);
    QFont bold = m_file->font();
    bold.setBold(true);
    m_file->setFont(bold);
    m_check = new QLabel(central);
    m_check->setObjectName(QStringLiteral("check"));
    m_check->setTextFormat(Qt::PlainText);
    m_check->setWordWrap(true);
    layout->addWidget(m_file);
    layout->addWidget(m_check);

    m_grid = new QWidget;
    m_gridLayout = new QGridLayout(m_grid);
    m_gridLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(central);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_grid);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->viewport()->installEventFilter(this);
    layout->addWidget(scroll, 1);
    // Labels typed by a keyboard-wedge scanner, each ended by Enter; the
    // field takes the focus back after each, and when the window is shown.
    m_scan = new QLineEdit(central);
    m_scan->setObjectName(QStringLiteral("scan"));
    m_scan->setPlaceholderText(tr("Scan a unit's label (or a slot's name, then the label)"));
    m_scan->setAccessibleName(tr("Scanned label"));
    connect(m_scan, &QLineEdit::returnPressed, this, [this] {
        m_control->command(QStringLiteral("scan"), {{"label", m_scan->text()}},
                           [this](const QJsonObject& reply) { answered(reply); });
        m_scan->clear();
    });
    layout->addWidget(m_scan);
    layout->addWidget(buildBench());
    setCentralWidget(central);
    buildMenus();

    m_refresh.setInterval(250);
    connect(&m_refresh, &QTimer::timeout, this, &StationWindow::refreshDue);
    m_refresh.start();
    m_station.setTrafficWanted(true);
    connect(&m_station, &Station::slotTraffic, this, [this](int index, const QString& text) {
        const QString port = m_station.view(index).port;
        QString& t = m_transcripts[port];
        t += text;
        if (t.size() > TranscriptLimit)
            t.remove(0, int(t.size()) - TranscriptLimit + TranscriptTrim);
        if (m_transcript && m_transcriptPort == port)
            m_transcript->append(text);
    });
    connect(&m_station, &Station::recordWriteFailed, this,
            [](const QString& error, const QByteArray& line) {
                // Standard error (the journal of the session) keeps what the disk could not.
                std::fprintf(stderr, "%s; the unit's record, whole:\n%s", qPrintable(error),
                             line.constData());
                std::fflush(stderr);
            });
    connect(&m_station, &Station::newUnitsRefused, this, [this](const QString& why) {
        notify(why);
        showBench();
    });
    useControl(std::make_unique<LocalBench>(m_station, *this));


    // What the last run left: its slots, its file, its pin and its record.
    m_setup = StationSetup::load();
    const QStringList ports = m_setup.bench.ports;
    const QStringList names = m_setup.bench.slotNames;
    m_setup.bench.ports.clear();
    m_setup.bench.slotNames.clear();
    m_restoring = true;
    for (int i = 0; i < ports.size(); ++i)
        addSlot(ports[i], names.value(i));
    if (!m_setup.bench.file.isEmpty())
        openFirmware(m_setup.bench.file);
    m_restoring = false;
    m_sound->setChecked(m_setup.soundOnFailure);
    m_policy = StationPolicy::load();
    m_lock.setMinutes(m_policy.unlockMinutes);
    if (!m_policy.problem.isEmpty())
        notify(m_policy.problem);
    connect(&m_lock, &OperatorLock::unlocked, this,
            [this](const QString& engineer, const QDateTime& until) {
                m_station.setOperator(engineer);
                auditNote(QStringLiteral("unlocked"),
                          {{"engineer", engineer}, {"until", until.toString(Qt::ISODate)}});
                showMode();
            });
    connect(&m_lock, &OperatorLock::locked, this,
            [this](const QString& engineer, const QString& why) {
                auditChanges();
                m_station.setOperator(Station::accountName());
                auditNote(QStringLiteral("locked"), {{"engineer", engineer}, {"why", why}});
                showMode();
            });
    m_line = std::make_unique<LineControl>(m_station, *this);
    connect(m_line.get(), &LineControl::stateChanged, this,
            [this](BrokerLink::Health, const QString& text) { m_broker->setText(text); });
    connectBroker();
    applyLanguage(); // the system's, or the one kept, until told another
    resize(1000, 680);
    if (m_setup.fullScreen)
        setFullScreen(true);
}

StationWindow::~StationWindow()
{
    m_refresh.stop();
    // The offline state and the last replies, while the station is still here.
    m_line.reset();
    disconnect(&m_station, nullptr, this, nullptr);
    m_control.reset();
    // The tiles read their slots until they are gone, and the slots go with
    // the station before the window's children would.
    delete m_transcript;
    qDeleteAll(m_tiles);
    m_tiles.clear();
}

QWidget* StationWindow::buildBench()
{
    auto* bench = new QWidget(this);
    auto* row = new QHBoxLayout(bench);
    row->setContentsMargins(0, 0, 0, 0);
    m_start = new QPushButton(tr("&Start"), bench);
    m_start->setObjectName(QStringLiteral("start"));
    m_stop = new QPushButton(tr("S&top"), bench);
    m_stop->setObjectName(QStringLiteral("stop"));
    connect(m_start, &QPushButton::clicked, this, &StationWindow::start);
    connect(m_stop, &QPushButton::clicked, this, &StationWindow::stop);
    m_counts = new QLabel(bench);
    m_counts->setObjectName(QStringLiteral("counts"));
    QFont bold = m_counts->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_counts->setFont(bold);
    m_record = new QLabel(bench);
    m_record->setObjectName(QStringLiteral("record"));
    m_record->setTextFormat(Qt::PlainText);
    row->addWidget(m_start);
    row->addWidget(m_stop);
    row->addSpacing(12);
    row->addWidget(m_counts);
    row->addStretch(1);
    row->addWidget(m_record);

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_notice, 1);
    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("database"));
    m_database->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(m_database);
    m_broker = new QLabel(this);
    m_broker->setObjectName(QStringLiteral("broker"));
    m_broker->setTextFormat(Qt::PlainText);
    m_broker->hide();
    statusBar()->addPermanentWidget(m_broker);
    return bench;
}

void StationWindow::applyLanguage()
{
    // A released job's language (or a service's bench's) is its operators',
    // whatever the window keeps.
    const QString jobs = m_job.active() ? m_job.job().bench.language
                         : attached()   ? m_shownBench.language
                                        : QString();
    const QString code =
        !jobs.isEmpty() ? jobs : !m_languageGiven.isEmpty() ? m_languageGiven : m_setup.language;
    const QString shown = StationLanguage::use(code);
    if (shown != m_languageShown || m_languageShown == QLatin1String("?")) {
        m_languageShown = shown;
        retranslate();
        if (!StationLanguage::has(code))
            notify(tr("This window has no words in %1: it shows them in English.").arg(code), true);
    }
    m_languageMenu->setEnabled(jobs.isEmpty());
}

void StationWindow::retranslate()
{
    // The menus and buttons made again; everything else is shown anew.
    // The old menus may be the ones that asked for this: gone from the window
    // now, deleted once their signal has returned.
    const auto menus = menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    menuBar()->clear();
    for (QMenu* m : menus) {
        m->setParent(nullptr);
        m->deleteLater();
    }
    m_changing.clear();
    m_operating.clear();
    if (m_languages) {
        m_languages->setParent(nullptr);
        m_languages->deleteLater();
        m_languages = nullptr;
    }
    buildMenus();
    m_start->setText(tr("&Start"));
    m_stop->setText(tr("S&top"));
    m_scan->setPlaceholderText(tr("Scan a unit's label (or a slot's name, then the label)"));
    m_scan->setAccessibleName(tr("Scanned label"));
    m_fullScreen->setChecked(m_setup.fullScreen);
    m_sound->setChecked(m_setup.soundOnFailure);
    for (SlotTile* t : qAsConst(m_tiles))
        refreshTile(t);
    showMode();
    showFirmware();
    showBench();
}

void StationWindow::setLanguage(const QString& code)
{
    m_languageGiven = code;
    applyLanguage();
}

void StationWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_changing << file->addAction(tr("&Open Firmware..."), QKeySequence::Open, this,
                                  &StationWindow::chooseFirmware);
    m_operating << file->addAction(tr("Open &Job..."), QKeySequence(Qt::CTRL | Qt::Key_J), this,
                                   &StationWindow::chooseJob);
    file->addAction(tr("&Attach to Bench..."), this, &StationWindow::attachByDialog);
    m_closeJobAction = file->addAction(tr("&Close Job"), this, [this] { closeJob(); });
    m_changing << file->addAction(tr("&Pin SHA-256..."), this, &StationWindow::pinDigest);
    m_changing << file->addAction(tr("&Serial Numbers..."), this,
                                  &StationWindow::chooseSerialNumbers);
    m_changing << file->addAction(tr("&Labels..."), this, &StationWindow::chooseLabels);
    m_changing << file->addAction(tr("&Export Bench Config..."), this,
                                  &StationWindow::exportConfigByDialog);
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* slot = menuBar()->addMenu(tr("S&lot"));
    m_changing << slot->addAction(tr("&Add..."), QKeySequence(Qt::Key_Insert), this,
                                  &StationWindow::addSlotByDialog);
    m_changing << slot->addAction(tr("&Rename..."), QKeySequence(Qt::Key_F2), this,
                                  &StationWindow::renameCurrent);
    m_changing << slot->addAction(tr("Re&move"), QKeySequence(Qt::Key_Delete), this,
                                  &StationWindow::removeCurrent);
    m_changing << slot->addAction(tr("Move &Earlier"), QKeySequence(Qt::CTRL | Qt::Key_Left), this,
                                  [this] { moveSlot(currentTile(), -1); });
    m_changing << slot->addAction(tr("Move &Later"), QKeySequence(Qt::CTRL | Qt::Key_Right), this,
                                  [this] { moveSlot(currentTile(), 1); });
    m_transcriptAction = slot->addAction(tr("&Transcript"), QKeySequence(Qt::CTRL | Qt::Key_T),
                                         this, [this] { openTranscript(currentTile()); });

    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_fullScreen = view->addAction(tr("&Full Screen"), QKeySequence(Qt::Key_F11), this,
                                   [this](bool on) { setFullScreen(on); });
    m_fullScreen->setCheckable(true);
    // A released job that names its operators' language keeps it.
    QMenu* languages = m_languageMenu = view->addMenu(tr("&Language"));
    m_languages = new QActionGroup(this);
    QAction* system = languages->addAction(tr("The &System's"));
    system->setData(QString());
    for (const QString& code : StationLanguage::available()) {
        QAction* a = languages->addAction(StationLanguage::nativeName(code));
        a->setData(code);
    }
    for (QAction* a : languages->actions()) {
        a->setCheckable(true);
        a->setChecked(a->data().toString() == m_setup.language);
        m_languages->addAction(a);
    }
    connect(m_languages, &QActionGroup::triggered, this, [this](QAction* a) {
        m_setup.language = a->data().toString();
        QString why;
        if (!m_setup.save(&why))
            notify(why);
        applyLanguage();
    });

    QMenu* bench = menuBar()->addMenu(tr("&Station"));
    m_operating << bench->addAction(tr("&Start"), QKeySequence(Qt::Key_F5), this,
                                    &StationWindow::start);
    m_operating << bench->addAction(tr("S&top"), QKeySequence(Qt::SHIFT | Qt::Key_F5), this,
                                    &StationWindow::stop);
    bench->addSeparator();
    m_unlockAction = bench->addAction(tr("&Unlock..."), QKeySequence(Qt::CTRL | Qt::Key_U), this,
                                      [this] { unlock(); });
    m_lockAction = bench->addAction(tr("&Lock"), QKeySequence(Qt::CTRL | Qt::Key_L), this,
                                    &StationWindow::lockNow);
    bench->addSeparator();
    m_sound = bench->addAction(tr("Sound on &Failure"), this, [this](bool on) {
        m_setup.soundOnFailure = on;
        saveSetup();
    });
    m_sound->setCheckable(true);

    QMenu* records = menuBar()->addMenu(tr("&Records"));
    m_changing << records->addAction(tr("&Choose Record File..."), this,
                                     &StationWindow::chooseRecord);
    m_changing << records->addAction(tr("&Database..."), this, &StationWindow::chooseDatabase);
    m_changing << records->addAction(tr("&Broker..."), this, &StationWindow::chooseBroker);
    records->addAction(tr("&Summary"), QKeySequence(Qt::CTRL | Qt::Key_R), this,
                       &StationWindow::showSummary);
}

bool StationWindow::openFirmware(const QString& path)
{
    if (attached()) {
        m_control->command(QStringLiteral("load-file"),
                           {{"file", QFileInfo(path).absoluteFilePath()}},
                           [this](const QJsonObject& reply) { answered(reply); });
        return true;
    }
    QString why;
    const auto file = FirmwareFile::read(path, {}, &why);
    if (!file) {
        if (!m_restoring)
            tell(why);
        notify(why);
        return false;
    }
    if (file->facts.lines == 0) {
        tell(words(QT_TR_NOOP("%1 is empty: there is no line to send.")).arg(path));
        return false;
    }
    m_firmware = file;
    m_setup.bench.file = QFileInfo(path).absoluteFilePath();
    saveSetup();
    showFirmware();
    return true;
}

bool StationWindow::setPinnedDigest(const QString& digest)
{
    const QString d = digest.trimmed().toLower();
    if (!d.isEmpty() && !FirmwareFile::isDigest(d)) {
        MessageBoxes::show(
            tr("\"%1\" is no SHA-256: it has 64 hexadecimal digits.").arg(elided(d)));
        return false;
    }
    m_setup.bench.sha256 = d;
    saveSetup();
    showFirmware();
    return true;
}

void StationWindow::setRecordPath(const QString& path)
{
    m_setup.bench.record = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    saveSetup();
    showBench();
}

QString StationWindow::recordPath() const
{
    return m_setup.bench.record.isEmpty() ? StationSetup::defaultRecordPath()
                                          : m_setup.bench.record;
}

SlotTile* StationWindow::addSlot(const QString& port, const QString& name)
{
    for (SlotTile* t : qAsConst(m_tiles)) {
        if (t->port() == port)
            return t;
    }
    // One adaptor under two names would only find itself in use.
    if (const QString same = PortResolver::sameDevice(m_setup.bench.ports + QStringList{port});
        !same.isEmpty()) {
        const QString why = tr("%1: each adaptor has one slot.").arg(same);
        if (m_restoring)
            notify(why);
        else
            MessageBoxes::show(why);
        return nullptr;
    }
    BenchConfig& b = m_setup.bench;
    while (b.slotNames.size() < b.ports.size())
        b.slotNames << QString();
    b.ports << port;
    b.slotNames << (name.isEmpty() ? suggestedName() : name);
    if (!attached())
        m_station.setPorts(b.ports);
    auto* tile = new SlotTile(m_control->view(int(b.ports.size()) - 1), b.slotNames.last(), m_grid);
    connect(tile, &SlotTile::opened, this, &StationWindow::openTranscript);
    m_tiles.append(tile);
    reflow();
    saveSetup();
    showBench();
    return tile;
}

bool StationWindow::removeSlot(SlotTile* tile)
{
    if (!tile)
        return false;
    if (m_control->running() && !attached()) {
        MessageBoxes::show(tr("%1 is in use. Stop the station (Shift+F5) before "
                                          "removing a slot.")
                               .arg(tile->name()));
        return false;
    }
    const int at = int(m_tiles.indexOf(tile));
    BenchConfig& b = m_setup.bench;
    b.ports.removeAt(at);
    if (at < b.slotNames.size())
        b.slotNames.removeAt(at);
    if (!attached())
        m_station.setPorts(b.ports);
    m_tiles.removeAt(at);
    m_due.remove(tile);
    delete tile;
    reflow();
    saveSetup();
    if (!m_tiles.isEmpty())
        m_tiles[qMin(at, int(m_tiles.size()) - 1)]->setFocus();
    return true;
}

void StationWindow::renameSlot(SlotTile* tile, const QString& name)
{
    if (!tile || name.trimmed().isEmpty())
        return;
    tile->setName(name.trimmed());
    BenchConfig& b = m_setup.bench;
    while (b.slotNames.size() < b.ports.size())
        b.slotNames << QString();
    b.slotNames[m_tiles.indexOf(tile)] = tile->name();
    saveSetup();
}

void StationWindow::moveSlot(SlotTile* tile, int by)
{
    const int from = int(m_tiles.indexOf(tile));
    const int to = from + by;
    if (from < 0 || to < 0 || to >= m_tiles.size())
        return;
    BenchConfig& b = m_setup.bench;
    while (b.slotNames.size() < b.ports.size())
        b.slotNames << QString();
    m_tiles.move(from, to);
    b.ports.move(from, to);
    b.slotNames.move(from, to);
    if (!attached())
        m_station.moveSlot(from, to);
    reflow();
    saveSetup();
    tile->setFocus();
}

BenchConfig StationWindow::bench() const
{
    BenchConfig b = m_setup.bench;
    b.record = recordPath();
    return b;
}

bool StationWindow::start()
{
    if (attached()) {
        m_control->command(QStringLiteral("start"), {},
                           [this](const QJsonObject& reply) { answered(reply); });
        return true;
    }
    if (m_station.running())
        return true;
    if (!m_policy.problem.isEmpty()) {
        tell(m_policy.problem[0].toUpper() + m_policy.problem.mid(1) + QLatin1Char('.'));
        return false;
    }
    if (!m_job.active() && m_policy.releasedJobsOnly) {
        tell(words(QT_TR_NOOP("This computer runs released jobs only (%1): open one "
                            "with File > Open Job... (Ctrl+J)."))
                 .arg(m_policy.path));
        return false;
    }
    if (!m_firmware) {
        tell(words(QT_TR_NOOP("Open the firmware file first (File > Open "
                            "Firmware..., Ctrl+O).")));
        return false;
    }
    if (m_tiles.isEmpty()) {
        tell(words(QT_TR_NOOP("Add a slot for each adaptor first (Slot > Add..., "
                            "Insert).")));
        return false;
    }
    // The file as it is now: what every unit of this run must get.
    if (!openFirmware(m_firmware->path))
        return false;
    const FirmwareCheck& check = m_firmware->check;
    if (!check.passed()) {
        if (m_remote) {
            tell(words(QT_TR_NOOP("%1 fails its check (%2): only the window starts it anyway"))
                     .arg(QFileInfo(m_firmware->path).fileName(), check.firstProblemText()));
            return false;
        }
        if (MessageBoxes::choose(
                tr("%1 fails its check (%2). Send it to every unit anyway?")
                    .arg(QFileInfo(m_firmware->path).fileName(), check.firstProblemText()),
                {tr("Send anyway"), tr("Do not start")}, 1, 1) != 0)
            return false;
    }
    BenchConfig b = bench();
    b.force = !check.passed(); // the operator said "Send anyway"
    if (m_job.active()) {
        // Checked again before every run: the job, its signer, the firmware.
        const ReleasedJob again = ReleasedJob::load(m_job.job().path, m_policy.signers());
        if (!again.good()) {
            auditNote(QStringLiteral("job-refused"), again.auditDetails());
            tell(again.refusal[0].toUpper() + again.refusal.mid(1) + QLatin1Char('.'));
            return false;
        }
        m_job = JobSession(again);
        const bool asReleased = m_job.isReleased(b);
        if (!asReleased && m_policy.releasedJobsOnly) {
            tell(words(QT_TR_NOOP("This bench was changed from the released job %1, and "
                                "this computer runs released jobs only: open the "
                                "job again (File > Open Job...), or have the "
                                "changed bench signed."))
                     .arg(again.path));
            return false;
        }
        m_station.setJob(m_job.identityFor(b));
        if (asReleased)
            auditNote(QStringLiteral("job-verified"), again.auditDetails());
    } else {
        m_station.setJob(JobIdentity());
    }
    QDir().mkpath(QFileInfo(b.record).absolutePath());
    if (const auto refused = m_station.configure(b, *m_firmware)) {
        QString where;
        switch (refused->field) {
        case BenchField::Record:
            where = tr(" Choose another file under Records > Choose Record File.");
            break;
        case BenchField::Serial:
        case BenchField::SerialStart:
        case BenchField::SerialStep:
        case BenchField::SerialEnd:
        case BenchField::SerialState:
        case BenchField::UnitData:
            where = tr(" See File > Serial Numbers...");
            break;
        case BenchField::Database:
            where = tr(" See Records > Database...");
            break;
        default:
            break;
        }
        const QString why = refused->why;
        tell(refused->kind == BenchRefusal::Kind::File && where.isEmpty()
                 ? why[0].toUpper() + why.mid(1) + QLatin1Char('.')
                 : tr("The station did not start: %1.%2").arg(why, where));
        return false;
    }
    m_notice->clear();
    m_station.start();
    if (m_scan->isVisible())
        m_scan->setFocus();
    for (SlotTile* t : qAsConst(m_tiles))
        refreshTile(t);
    showBench();
    return true;
}

void StationWindow::stop()
{
    if (attached()) {
        stopService();
        return;
    }
    if (!m_station.running())
        return;
    if (m_station.uploadsUnderWay() > 0) {
        const int choice = MessageBoxes::choose(
            tr("%n unit(s) being flashed. Let them finish, or cancel them (they are recorded "
               "as interrupted)?",
               "", m_station.uploadsUnderWay()),
            {tr("Let them finish", "", m_station.uploadsUnderWay()),
             tr("Cancel them", "", m_station.uploadsUnderWay()), tr("Keep running")},
            0, 2);
        if (choice == 1)
            m_station.interrupt(QStringLiteral("the station was stopped"));
        else if (choice == 0)
            m_station.stopAfterUploads();
    } else {
        m_station.stopAfterUploads();
    }
    showBench();
}

void StationWindow::endWithoutQuestions(const QString& why)
{
    m_quitting = true;
    if (!attached() && m_station.running())
        m_station.interrupt(why);
    else
        emit ended();
}

void StationWindow::onStopped()
{
    for (SlotTile* t : qAsConst(m_tiles))
        refreshTile(t);
    showBench();
    if (m_quitting)
        emit ended();
}

void StationWindow::closeEvent(QCloseEvent* event)
{
    // The bench's service goes on without its window.
    if (m_quitting || attached() || !m_station.running()) {
        event->accept();
        emit ended();
        return;
    }
    event->ignore();
    if (m_station.uploadsUnderWay() > 0 &&
        MessageBoxes::choose(tr("%n unit(s) being flashed. Cancel them and quit? They are "
                                "recorded as interrupted.",
                                "", m_station.uploadsUnderWay()),
                             {tr("Cancel them and quit", "", m_station.uploadsUnderWay()),
                              tr("Keep running")},
                             1, 1) != 0)
        return;
    endWithoutQuestions(QStringLiteral("the station window was closed"));
}

void StationWindow::chooseFirmware()
{
    m_files->DialogTitle = tr("Open Firmware");
    m_files->Filter = firmwareFilter();
    m_files->DefaultExt.clear();
    m_files->FileName.clear();
    for (;;) {
        const int error = m_files->ShowOpen();
        if (error == CommonDialog::cdlCancel)
            return;
        if (error != 0) {
            MessageBoxes::show(m_files->errorDescription());
            return;
        }
        if (QFileInfo(m_files->FileName).isFile())
            break;
        MessageBoxes::show(tr("%1 not found!").arg(m_files->FileName));
        m_files->FileName.clear();
    }
    if (m_control->running() && !attached()) {
        MessageBoxes::show(tr("Stop the station before opening another firmware "
                                          "file: the units of one run all get the same file."));
        return;
    }
    openFirmware(m_files->FileName);
}

void StationWindow::pinDigest()
{
    bool ok = false;
    const QString digest =
        QInputDialog::getText(this, tr("Pin SHA-256"),
                              tr("The SHA-256 every unit's file must have (empty: none pinned):"),
                              QLineEdit::Normal, m_setup.bench.sha256, &ok);
    if (ok)
        setPinnedDigest(digest);
}

void StationWindow::chooseSerialNumbers()
{
    const QString statePath = bench().numbering().statePath.isEmpty()
                                  ? recordPath() + QStringLiteral(".serial")
                                  : bench().numbering().statePath;
    SerialNumbersDialog dialog(m_setup.bench, statePath, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.applyTo(&m_setup.bench);
    saveSetup();
    QString why;
    if (dialog.raisedNext() &&
        !UnitNumbering::raiseNextSerial(statePath, *dialog.raisedNext(), &why))
        MessageBoxes::show(why[0].toUpper() + why.mid(1) + QLatin1Char('.'));
    showFirmware();
}

void StationWindow::chooseLabels()
{
    LabelsDialog dialog(m_setup.bench, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.applyTo(&m_setup.bench);
    saveSetup();
    showBench();
}

void StationWindow::chooseDatabase()
{
    bool ok = false;
    QString text = QInputDialog::getText(
        this, tr("Database"),
        tr("Every unit's record also goes to the factory's PostgreSQL at this URI, such as\n"
           "postgresql://bench@db.factory/production (empty: none). The password comes from\n"
           "PGPASSWORD or ~/.pgpass and is never kept here."),
        QLineEdit::Normal, m_setup.bench.database, &ok);
    if (!ok)
        return;
    text = text.trimmed();
    QString why;
    const auto url = text.isEmpty() ? std::optional<DatabaseUrl>() : DatabaseUrl::parse(text, &why);
    if (!text.isEmpty() && !url) {
        MessageBoxes::show(why[0].toUpper() + why.mid(1) + QLatin1Char('.'));
        return;
    }
    if (url && !url->password.isEmpty())
        MessageBoxes::show(tr("The password is not kept with the station's settings: "
                                          "put it in ~/.pgpass (a line "
                                          "host:port:database:user:password, the file readable "
                                          "by you alone)."));
    m_setup.bench.database = url ? url->shown() : QString();
    saveSetup();
    if (m_control->running() && !attached())
        MessageBoxes::show(tr("The database is used from the next start of the "
                                          "station (Shift+F5, then F5)."),
                           MessageBoxes::Icon::None);
    showBench();
}

bool StationWindow::exportConfig(const QString& path, QString* error) const
{
    BenchConfig b = bench();
    if (m_firmware)
        b.file = QFileInfo(m_firmware->path).absoluteFilePath();
    return b.writeFile(path, error);
}

void StationWindow::exportConfigByDialog()
{
    m_files->DialogTitle = tr("Export Bench Config");
    m_files->Filter = tr("Bench Configs (*.conf)|*.conf|All Files (*.*)|*.*");
    m_files->DefaultExt = QStringLiteral("conf");
    m_files->FileName.clear();
    if (m_files->ShowSave() != 0)
        return;
    QString why;
    if (!exportConfig(m_files->FileName, &why)) {
        MessageBoxes::show(why[0].toUpper() + why.mid(1) + QLatin1Char('.'));
        return;
    }
    notify(tr("Exported to %1: firmware-upload --station --config %1 runs this bench "
                          "without a window.")
               .arg(m_files->FileName),
           false);
}

void StationWindow::chooseRecord()
{
    m_files->DialogTitle = tr("Choose Record File");
    m_files->Filter = tr("Records (*.jsonl)|*.jsonl|All Files (*.*)|*.*");
    m_files->DefaultExt = QStringLiteral("jsonl");
    m_files->FileName = recordPath();
    if (m_files->ShowOpen() == 0)
        setRecordPath(m_files->FileName);
}

void StationWindow::showSummary()
{
    RecordSummary summary;
    QString why;
    if (!RecordSummary::read(recordPath(), &summary, &why)) {
        MessageBoxes::show(why);
        return;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Record Summary - %1").arg(recordPath()));
    auto* text = new QPlainTextEdit(summary.toText(), &dialog);
    text->setReadOnly(true);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    text->setFont(mono);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(820, 360);
    dialog.exec();
}

void StationWindow::addSlotByDialog()
{
    AddSlotDialog dialog(suggestedName(), this);
    if (dialog.exec() == QDialog::Accepted)
        if (SlotTile* tile = addSlot(dialog.port(), dialog.name()))
            tile->setFocus();
}

void StationWindow::renameCurrent()
{
    SlotTile* tile = currentTile();
    if (!tile)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("Rename Slot"), tr("&Name:"),
                                               QLineEdit::Normal, tile->name(), &ok);
    if (ok)
        renameSlot(tile, name);
}

void StationWindow::removeCurrent()
{
    removeSlot(currentTile());
}

void StationWindow::openTranscript(SlotTile* tile)
{
    if (!tile)
        return;
    if (m_transcript)
        m_transcript->close();
    m_transcript = new TranscriptDialog(tr("%1 - %2").arg(tile->name(), tile->slot().name),
                                        m_transcripts.value(tile->port()), this);
    m_transcriptPort = tile->port();
    m_transcript->show();
}

QString StationWindow::transcriptOf(SlotTile* tile) const
{
    return tile ? m_transcripts.value(tile->port()) : QString();
}

SlotTile* StationWindow::currentTile() const
{
    for (SlotTile* t : m_tiles) {
        if (t->hasFocus())
            return t;
    }
    return m_tiles.isEmpty() ? nullptr : m_tiles.first();
}

SlotTile* StationWindow::tileOf(int index) const
{
    return m_tiles.value(index);
}

void StationWindow::refreshTile(SlotTile* tile)
{
    tile->refresh(m_control->view(int(m_tiles.indexOf(tile))));
}

bool StationWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        reflow();
    return QMainWindow::eventFilter(watched, event);
}

void StationWindow::setFullScreen(bool on)
{
    m_fullScreen->setChecked(on);
    if (!isVisible())
        setWindowState(on ? windowState() | Qt::WindowFullScreen
                          : windowState() & ~Qt::WindowFullScreen);
    else if (on)
        showFullScreen();
    else
        showNormal();
    if (m_setup.fullScreen != on) {
        m_setup.fullScreen = on;
        saveSetup();
    }
}

int StationWindow::columnsFor(int count, const QSize& area, int spacing)
{
    // The columns whose cells hold the largest landscape 4:3 tile; of about
    // equal ones, the fewest empty cells (four slots: two by two, not 3 + 1).
    int best = 1;
    double bestSide = -1;
    int bestEmpty = 0;
    for (int columns = 1; columns <= qMax(1, count); ++columns) {
        const int rows = (count + columns - 1) / columns;
        const double w = double(area.width() - spacing * (columns - 1)) / columns;
        const double h = double(area.height() - spacing * (rows - 1)) / qMax(1, rows);
        const double side = qMin(w, h * 4 / 3);
        const int empty = columns * rows - count;
        const bool aboutEqual = qAbs(side - bestSide) <= 0.05 * qMax(side, bestSide);
        if ((!aboutEqual && side > bestSide) || (aboutEqual && empty < bestEmpty)) {
            best = columns;
            bestSide = side;
            bestEmpty = empty;
        }
    }
    return best;
}

// Tiles fill the area; the focus goes through them in the order they are shown.
void StationWindow::reflow()
{
    const QWidget* area = m_grid->parentWidget() ? m_grid->parentWidget() : this;
    const int columns = columnsFor(int(m_tiles.size()), area->size(), m_gridLayout->spacing());
    if (columns == m_columns && m_placed == m_tiles)
        return;
    for (SlotTile* t : qAsConst(m_tiles))
        m_gridLayout->removeWidget(t);
    for (int i = 0; i < m_gridLayout->columnCount(); ++i)
        m_gridLayout->setColumnStretch(i, 0);
    for (int i = 0; i < m_gridLayout->rowCount(); ++i)
        m_gridLayout->setRowStretch(i, 0);
    for (int i = 0; i < m_tiles.size(); ++i) {
        m_gridLayout->addWidget(m_tiles[i], i / columns, i % columns);
        m_gridLayout->setColumnStretch(i % columns, 1);
        m_gridLayout->setRowStretch(i / columns, 1);
    }
    for (int i = 1; i < m_tiles.size(); ++i)
        setTabOrder(m_tiles[i - 1], m_tiles[i]);
    m_columns = columns;
    m_placed = m_tiles;
}

void StationWindow::refreshDue()
{
    // Twice a second, a unit that is flashing or being taken away: its
    // figures, the seconds it has been silent, whether it is still in front.
    // Read from a step away, that is as often as they are worth painting.
    m_refreshTick = !m_refreshTick;
    for (SlotTile* t : qAsConst(m_tiles)) {
        const SlotState state = t->slot().state;
        if (m_refreshTick &&
            (state == SlotState::Flashing || state == SlotState::WaitingForRemoval))
            m_due.insert(t);
    }
    if (m_due.isEmpty())
        return;
    const QSet<SlotTile*> due = std::exchange(m_due, {});
    for (SlotTile* t : due)
        refreshTile(t);
    showBench();
}

QString StationWindow::firmwareSummary() const
{
    return m_file->text() + QLatin1Char('\n') + m_check->text();
}

void StationWindow::showFirmware()
{
    FirmwareSummary f;
    if (attached()) {
        f = m_control->firmware();
    } else if (m_firmware) {
        const BenchConfig& b = m_setup.bench;
        std::optional<quint64> next;
        if (b.serial) {
            QString why;
            next = m_station.running() && m_station.numbering().enabled()
                       ? m_station.numbering().nextSerial()
                       : qMax(UnitNumbering::readNextSerial(bench().numbering().statePath, &why)
                                  .value_or(0),
                              b.serialStart);
        }
        f = FirmwareSummary::of(*m_firmware, b, next);
    }
    if (f.isEmpty()) {
        m_file->setText(attached() ? tr("The bench's service has no firmware file open")
                                   : tr("No firmware file: File > Open Firmware... (Ctrl+O)"));
        m_check->clear();
        m_file->setToolTip(QString());
        return;
    }
    m_file->setText(tr("%1   %n lines   SHA-256 %2", "", f.lines)
                        .arg(QFileInfo(f.path).fileName(), f.sha256.left(12)));
    m_file->setToolTip(tr("%1\nSHA-256 %2").arg(f.path, f.sha256));
    // Whole sentences, each in the window's language; the file's problem as the check says it.
    QString check = !f.passed ? tr("Fails its check: %1").arg(f.problem)
                    : f.ranges.isEmpty()
                        ? tr("%1, passes its check").arg(f.format)
                        : tr("%1, passes its check; data %2").arg(f.format, f.ranges);
    if (!f.pinned.isEmpty())
        check += QStringLiteral("  ") +
                 (f.pinned == f.sha256 ? tr("Pinned SHA-256 matches.")
                                       : tr("Pinned SHA-256 %1... does NOT match: the station "
                                            "will not start.")
                                             .arg(f.pinned.left(12)));
    if (f.nextSerial)
        check += QStringLiteral("  ") +
                 tr("Serial numbers at %1, the next %2.").arg(f.serial).arg(*f.nextSerial);
    m_check->setText(check);
}

QString StationWindow::orderWords(const BenchControl::Order& o, bool brief)
{
    // The tile has room for what is left; the status line also says what is here.
    if (o.order.isEmpty())
        return QString();
    if (o.left == 0)
        return tr("%1: its %n unit(s) are made", "", o.units).arg(o.order);
    if (o.left < 0)
        return brief ? tr("%1: %n unit(s)", "", o.units).arg(o.order)
                     : tr("%1: %n unit(s), permits here: %2", "", o.units).arg(o.order).arg(o.held);
    return brief ? tr("%1: %2 of %n left", "", o.units).arg(o.order).arg(o.left)
                 : tr("%1: %2 of %n left, permits here: %3", "", o.units)
                       .arg(o.order)
                       .arg(o.left)
                       .arg(o.held);
}

QString StationWindow::benchSummary() const
{
    return m_counts->text();
}

void StationWindow::showBench()
{
    const bool running = m_control->running();
    const BenchConfig& b = m_setup.bench;
    m_scan->setVisible(b.requireLabel || !b.labelPattern.isEmpty());
    const bool operate = m_control->permission(BenchAction::Operate) != BenchControl::Permission::No;
    m_start->setEnabled(operate && (!running || attached()));
    m_stop->setEnabled(operate && running);
    const std::optional<double> rate = m_control->unitsPerHour();
    const QString perHour = rate ? QString::number(qRound(*rate)) : QStringLiteral("-");
    const QString counts =
        running ? tr("%1 passed, %2 failed, units per hour: %3  (running)")
                      .arg(m_control->passed())
                      .arg(m_control->failed())
                      .arg(perHour)
                : tr("%1 passed, %2 failed, units per hour: %3  (stopped)")
                      .arg(m_control->passed())
                      .arg(m_control->failed())
                      .arg(perHour);
    m_counts->setText(counts);
    const BenchControl::Order order = m_control->order();
    m_order->setText(orderWords(order, false));
    m_order->setVisible(!order.order.isEmpty());
    for (SlotTile* t : qAsConst(m_tiles))
        t->setNote(orderWords(order, true));
    m_record->setText(tr("Record: %1").arg(recordPath()));
    const QString database = m_setup.bench.database;
    const QString forwarding = m_control->databaseState();
    m_database->setVisible(!database.isEmpty());
    m_database->setText(!forwarding.isEmpty() ? forwarding
                                              : tr("database: %1").arg(database));
    m_database->setToolTip(database);
}

void StationWindow::saveSetup()
{
    if (m_restoring)
        return;
    // A service's bench is the service's: a change is asked of it.
    if (attached()) {
        askBenchChange();
        return;
    }
    // A job's bench is the job's: the window's own settings stay as they were.
    if (m_job.active()) {
        auditChanges();
        return;
    }
    QString why;
    if (!m_setup.save(&why))
        notify(why);
}

QString StationWindow::suggestedName() const
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Slot %1").arg(n);
        bool used = false;
        for (SlotTile* t : m_tiles)
            used = used || t->name() == name;
        if (!used)
            return name;
    }
}

// A problem in the window's red; what merely happened in its usual colour.
void StationWindow::notify(const QString& text, bool problem)
{
    QPalette palette = m_notice->parentWidget()->palette();
    if (problem)
        palette.setColor(QPalette::WindowText, QColor(0x9b, 0x1c, 0x1c));
    m_notice->setPalette(palette);
    m_notice->setText(text);
}
