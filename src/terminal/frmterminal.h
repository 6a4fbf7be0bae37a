#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QString>
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
class frmTerminal : public QMainWindow
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
    QWidget* clientArea() const { return m_client; }
    QAction* toolbarButton(const QString& key) const;
    // The lamp that shows (the one in front).
    ClickableImage* frontLamp() const;
    bool hasEnded() const { return m_ended; }

    // Handlers.
    void Form_Resize();
    void Form_Unload(bool& cancel);
    void mnuOpen_Click();
    void mnuSendText_Click();
    void mnuClrScreen_Click();
    void mnuFileExit_Click();
    void mnuProperties_Click();
    void mnuHelp_Click();
    void tbrToolBar_ButtonClick(const QString& key);
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer4_Timer();
    void MSComm1_OnComm();
    void StartTiming();
    void StopTiming();

    // The menu check mark and the two upload commands follow `portOpen`.
    void setPortCommands(bool portOpen);
    // "Load Firmware File..." and its toolbar button, always together.
    void setUploadCommandsEnabled(bool enabled);
    // Shows a port event or failure in the "Status" panel for two seconds.
    void showStatusMessage(const QString& message);

    static QString helpText();
    static std::optional<QString> statusMessageFor(int commEvent);

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
    void endProgram();
    void onPortLost(const QString& description);

    QWidget* m_client = nullptr;
    std::unique_ptr<FirmwareUpload> m_upload;
    QDateTime StartTime;
    bool m_exitCancel = false; // scratch flag for Exit
    int m_toggleBoxes = 0;     // message boxes of port toggles now open
    bool m_ended = false;
};
