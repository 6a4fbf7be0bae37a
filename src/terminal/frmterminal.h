#pragma once

#include "../properties/propertieshost.h"
#include "uploadwindow.h"

#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

class ClickableImage;
class CommonDialog;
class FirmwareUpload;
class FormTimer;
class KeyedStatusBar;
class MSComm;
class QAction;
class QMenu;
class QToolBar;
class TerminalText;

// The main window: a small terminal onto the unit, the port state, and the
// commands. Its elements keep their design names, also as Qt object names.
class frmTerminal : public QMainWindow, public UploadWindow, public PropertiesHost
{
    Q_OBJECT

public:
    // Builds the window and runs its load step (settings from the store).
    explicit frmTerminal(QWidget* parent = nullptr);
    ~frmTerminal() override;

    static constexpr int TextLimit = 16000;
    static constexpr int TrimBlock = 4096;
    static QString defaultSettings() { return QStringLiteral("38400,N,8,1"); }

    // Elements.
    TerminalText* txtTerm = nullptr;
    QToolBar* tbrToolBar = nullptr;
    QWidget* Frame1 = nullptr;
    ClickableImage* imgConnected = nullptr;
    ClickableImage* imgNotConnected = nullptr;
    KeyedStatusBar* sbrStatus = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuSendText = nullptr;
    QAction* mnuClrScreen = nullptr;
    QAction* mnuBar0 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuPort = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* MBar1 = nullptr;
    QAction* mnuProperties = nullptr;
    QAction* Bar3 = nullptr;
    QAction* mnuHelp = nullptr;
    FormTimer* Timer1 = nullptr; // elapsed-time clock
    FormTimer* Timer2 = nullptr; // status panel reset
    FormTimer* Timer3 = nullptr; // upload pacing
    FormTimer* Timer4 = nullptr; // port reset
    MSComm* MSComm1 = nullptr;
    CommonDialog* OpenLog = nullptr;

    // The echo setting: chosen, shown and kept, and read by nothing else.
    bool bEcho = false;

    FirmwareUpload& upload() { return *m_upload; }
    // Waiting for queued output before the program ends.
    bool isClosing() const { return m_closing; }
    QWidget* clientArea() const { return m_client; }
    QAction* toolbarButton(const QString& key) const;
    // The lamp that shows (the one in front).
    ClickableImage* frontLamp() const;
    bool hasEnded() const { return m_ended; }

    // Handlers.
    void Form_Resize();
    void Form_Unload(bool& cancel);
    // A logout, shutdown or Ctrl+C: ends as Exit does, without its questions.
    void endWithoutQuestions();
    void mnuOpen_Click();
    void mnuSendText_Click();
    void mnuClrScreen_Click();
    void mnuFileExit_Click();
    void mnuProperties_Click();
    void mnuHelp_Click();
    void tbrToolBar_ButtonClick(const QString& key);
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void MSComm1_OnComm();
    void StartTiming() override;
    void StopTiming() override;

    // PropertiesHost and UploadWindow.
    MSComm& port() override { return *MSComm1; }
    bool echo() const override { return bEcho; }
    void setEcho(bool on) override { bEcho = on; }
    void setPortCommands(bool portOpen) override;
    CommonDialog& fileDialog() override { return *OpenLog; }
    QMenuBar* menus() const override { return menuBar(); }
    void insertText(const QString& text) override;
    void setUploadCommandsEnabled(bool enabled) override;
    void enablePacingTimer() override;
    void restartPortResetTimer() override;
    void disablePortResetTimer() override;
    // Shows a port event or failure in the "Status" panel for two seconds.
    void showStatusMessage(const QString& message) override;

    static QString helpText();
    static std::optional<QString> statusMessageFor(int commEvent);
    // The elapsed time as "hh:nn:ss" with the locale's time separator.
    static QString elapsedText(qint64 seconds);

signals:
    // The program is to end now: the port is closed and every window is gone.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void Form_Load();
    void showPortState();
    void dockBars();
    void checkDrained();
    void endProgram();
    void onPortLost(const QString& description);
    void reopenLostPort();

    QWidget* m_client = nullptr;
    std::unique_ptr<FirmwareUpload> m_upload;
    QDateTime StartTime;
    bool m_exitCancel = false; // scratch flag for Exit
    int m_toggleBoxes = 0;     // message boxes of port toggles now open
    bool m_inResetTick = false;
    // A reset tick could not reopen the port and said so; until it opens
    // again, later ticks only say so in the status panel.
    bool m_portAway = false;
    // The port went away during the upload under way; the reset ticks only
    // try to open it again until it is back.
    bool m_lostInUpload = false;
    bool m_closing = false;
    double m_drainDeadline = 0;
    QTimer m_drainPoll;
    bool m_ended = false;
};
