#pragma once

#include <QString>

class CommonDialog;
class MSComm;
class QMenuBar;

// What an upload needs of the main window: its port, its file dialog, its
// transcript, its upload commands and its timers.
class UploadWindow
{
public:
    virtual ~UploadWindow() = default;

    virtual MSComm& port() = 0;
    // Whose menus stay reachable by their access keys during an upload.
    virtual QMenuBar* menus() const = 0;
    virtual CommonDialog& fileDialog() = 0;
    // Adds transcript text at the caret.
    virtual void insertText(const QString& text) = 0;
    // "Load Firmware File..." and its toolbar button, always together.
    virtual void setUploadCommandsEnabled(bool enabled) = 0;
    // The 10 ms pacing timer: enabling keeps a running countdown.
    virtual void enablePacingTimer() = 0;
    // The port-reset timer.
    virtual void restartPortResetTimer() = 0;
    virtual void disablePortResetTimer() = 0;
    // The elapsed-time clock.
    virtual void StartTiming() = 0;
    virtual void StopTiming() = 0;
    // A problem worth a look but not a box.
    virtual void showStatusMessage(const QString& message) = 0;
};
