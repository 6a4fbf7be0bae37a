#pragma once

#include "../station/benchcontrol.h"
#include "../station/linecontrol.h"
#include "../station/localbench.h"
#include "../station/operatorlock.h"
#include "../station/jobsession.h"
#include "../station/station.h"
#include "../station/stationpolicy.h"
#include "stationsetup.h"

#include <QDBusConnection>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

class CommonDialog;
class QAction;
class QGridLayout;
class QLabel;
class QPushButton;
class SlotTile;
class TranscriptDialog;

// firmware-station: a production bench at a glance. One tile per slot,
// reflowing with the window; the firmware file and its check above them;
// Start, Stop and the bench's counts below. It shows and forwards: every
// rule of the bench is the station core's.
class StationWindow : public QMainWindow, public BenchHost
{
    Q_OBJECT

public:
    explicit StationWindow(QWidget* parent = nullptr);
    ~StationWindow() override;

    // The window's own station (what it runs when attached to no service).
    Station& station() { return m_station; }
    // What the window shows and drives: its own station, or a service's.
    BenchControl& control() { return *m_control; }
    bool attached() const { return m_control && m_control->isService(); }
    // The bench of the station service `name` on the system bus, in place of
    // the window's own; false, with why, when there is none.
    bool attach(const QString& name, QString* why,
                const QDBusConnection& bus = QDBusConnection::systemBus());
    const QVector<SlotTile*>& tiles() const { return m_tiles; }

    // The commands, also for the command line and the tests.
    bool openFirmware(const QString& path);
    bool setPinnedDigest(const QString& digest);
    void setRecordPath(const QString& path);
    QString recordPath() const;
    SlotTile* addSlot(const QString& port, const QString& name);
    bool removeSlot(SlotTile* tile);
    void renameSlot(SlotTile* tile, const QString& name);
    void moveSlot(SlotTile* tile, int by);
    bool start();
    void stop();
    // A logout, shutdown or Ctrl+C: uploads under way are cancelled and
    // recorded as interrupted for `why`, the ports released, then ended().
    void endWithoutQuestions(const QString& why);
    // The bench as it would run now: the record where it goes.
    BenchConfig bench() const;
    // The bench as a config for firmware-upload station --config.
    [[nodiscard]] bool exportConfig(const QString& path, QString* error) const;
    QString firmwareSummary() const;
    // View > Full Screen, kept for the next start.
    void setFullScreen(bool on);
    // The window's language as the command line gives it (--language), over
    // the one kept; a released job's own wins over both.
    void setLanguage(const QString& code);
    // How many columns `count` tiles get in `area`.
    static int columnsFor(int count, const QSize& area, int spacing);
    QString benchSummary() const;
    // The last few thousand lines a slot's unit traffic left.
    QString transcriptOf(SlotTile* tile) const;

    // A released job, run in operator mode: locked, nothing that changes the
    // bench offered; false, a box said why (and the trail kept it), when
    // it is refused.
    bool openJob(const QString& path);
    // Back to the bench kept in the window's settings; only while stopped
    // and not locked.
    bool closeJob();
    bool inJobMode() const { return m_job.active(); }
    OperatorLock& operatorLock() { return m_lock; }
    // An engineer's unlock, as polkit decides (the desktop's agent asks for
    // an engineer's password where its rules say so); the answer comes later.
    void unlock();
    void lockNow();

    // The factory's broker (Records > Broker...): the station's state and
    // record published there, a line controller's commands taken; empty:
    // none. False, with `why`, for a URL that is refused.
    bool useBroker(const QString& url, QString* why);
    const LineControl& lineControl() const { return *m_line; }
    // A line controller's commands; what would be a box is the reply.
    bool startStation(QString* why) override;
    void stopStation() override;
    void loadJob(const QString& path, std::function<void(const QString& error)> done) override;
    void loadBench(const BenchConfig& bench,
                   std::function<void(const QString& error)> done) override;

signals:
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void applyLanguage();
    void retranslate();
    void useControl(std::unique_ptr<BenchControl> control);
    void attachByDialog();
    // The service's bench, tiles and job, as it now has them.
    void followService();
    // A command's reply: nothing, or a box saying why it was refused.
    void answered(const QJsonObject& reply);
    void askBenchChange();
    void stopService();
    // What the window offers as it stands: in operator mode, locked, only
    // what leaves the bench as it is.
    void showMode();
    void chooseJob();
    // Every change of the bench an engineer made, in the audit trail.
    void auditChanges();
    void auditNote(const QString& event, QJsonObject details);
    void useBench(const BenchConfig& bench);
    QWidget* buildBench();
    void chooseFirmware();
    void pinDigest();
    void chooseSerialNumbers();
    void chooseRecord();
    void chooseLabels();
    void chooseDatabase();
    void chooseBroker();
    // The link on the bench's broker, as the bench names the station now.
    void connectBroker();
    // A box, or for a line controller's command the reason it gets.
    void tell(const QString& text);
    // The work order's count, `brief` for a tile.
    static QString orderWords(const BenchControl::Order& order, bool brief);
    // A text of the window's (marked QT_TR_NOOP): in its language for a box,
    // in English for a line controller, whose replies are the machines' words.
    QString words(const char* source) const { return m_remote ? QString::fromUtf8(source) : tr(source); }
    void exportConfigByDialog();
    void showSummary();
    void addSlotByDialog();
    void renameCurrent();
    void removeCurrent();
    void openTranscript(SlotTile* tile);
    SlotTile* currentTile() const;
    SlotTile* tileOf(int index) const;
    void refreshTile(SlotTile* tile);
    void reflow();
    void refreshDue();
    void showFirmware();
    void showBench();
    // The status bar's notice; `problem` shows it as one.
    void notify(const QString& text, bool problem = true);
    void saveSetup();
    void onStopped();
    QString suggestedName() const;

    Station m_station;
    std::unique_ptr<BenchControl> m_control;
    BenchConfig m_shownBench; // the service's, as its tiles were last made
    StationSetup m_setup;
    std::optional<FirmwareFile> m_firmware;
    QVector<SlotTile*> m_tiles;
    QHash<QString, QString> m_transcripts; // by port
    QPointer<TranscriptDialog> m_transcript;
    QString m_transcriptPort;
    CommonDialog* m_files = nullptr;
    QWidget* m_grid = nullptr;
    QGridLayout* m_gridLayout = nullptr;
    QLabel* m_file = nullptr;
    QLabel* m_check = nullptr;
    QLabel* m_counts = nullptr;
    QLabel* m_record = nullptr;
    QLabel* m_notice = nullptr;
    QLabel* m_database = nullptr;
    QAction* m_fullScreen = nullptr;
    QAction* m_sound = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QTimer m_refresh; // tiles are shown again at most four times a second
    QSet<SlotTile*> m_due;
    bool m_refreshTick = false; // every other tick refreshes the figures
    int m_columns = 0;
    QVector<SlotTile*> m_placed; // the tiles as the grid last had them
    JobSession m_job; // the released job open, if any
    StationPolicy m_policy;
    OperatorLock m_lock;
    QList<QAction*> m_changing;  // what changes the bench
    QList<QAction*> m_operating; // what runs it
    QAction* m_transcriptAction = nullptr;
    class QActionGroup* m_languages = nullptr;
    QMenu* m_languageMenu = nullptr;
    QString m_languageGiven;            // --language
    QString m_languageShown = QStringLiteral("?"); // what the window's words are in
    QAction* m_unlockAction = nullptr;
    QAction* m_lockAction = nullptr;
    QAction* m_closeJobAction = nullptr;
    QLabel* m_jobLabel = nullptr;
    QLabel* m_order = nullptr;
    class QLineEdit* m_scan = nullptr; // a keyboard-wedge scanner types here
    BenchConfig m_audited;             // the bench as the trail last had it
    bool m_quitting = false;
    bool m_restoring = false; // the last run's setup is being read back
    std::unique_ptr<LineControl> m_line;
    QLabel* m_broker = nullptr;
    QString* m_remote = nullptr; // where tell() puts its text while a command runs
};
