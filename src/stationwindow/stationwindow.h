#pragma once

#include "../station/station.h"
#include "stationsetup.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
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
class StationWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit StationWindow(QWidget* parent = nullptr);
    ~StationWindow() override;

    Station& station() { return m_station; }
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
    // How many columns `count` tiles get in `area`.
    static int columnsFor(int count, const QSize& area, int spacing);
    QString benchSummary() const;
    // The last few thousand lines a slot's unit traffic left.
    QString transcriptOf(SlotTile* tile) const;

signals:
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    QWidget* buildBench();
    void chooseFirmware();
    void pinDigest();
    void chooseSerialNumbers();
    void chooseRecord();
    void chooseDatabase();
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
    void saveSetup();
    void onStopped();
    QString suggestedName() const;

    Station m_station;
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
    bool m_quitting = false;
    bool m_restoring = false; // the last run's setup is being read back
};
