#pragma once

#include "../upload/uploadengine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class frmCancelSend;
class UploadWindow;

// The main window's upload: the Load Firmware File command that starts it,
// the cancel dialog, and the engine's host, which puts its traffic into the
// window's transcript and its lines onto the window's port.
class FirmwareUpload : public QObject, private UploadHost
{
    Q_OBJECT

public:
    explicit FirmwareUpload(UploadWindow& window);
    ~FirmwareUpload() override;

    static QString dialogTitle() { return QStringLiteral("Load Firmware File"); }
    static QString dialogFilter()
    {
        return QStringLiteral("Text Files (*.TXT)|*.txt|S Files (*.s*)|*.s*|All Files (*.*)|*.*");
    }

    UploadEngine& engine() { return m_engine; }
    const UploadEngine& engine() const { return m_engine; }
    bool sending() const { return m_engine.bSending; }

    // The Load Firmware File command.
    void Start();
    // From the port-event handler: the last byte of one read, -1 for none.
    void HandshakeStep(int received);
    void CompletionCheck() { m_engine.CompletionCheck(); }
    // The pacing timer's tick.
    void Timer3_Timer() { m_engine.pacingTick(); }
    // The cancel dialog's Cancel.
    void Cancel() { m_engine.Cancel(); }

    frmCancelSend* cancelDialog() const { return m_dialog.get(); }

private:
    frmCancelSend& dialog();
    void giveUp();
    void showProgress();

    // UploadHost
    void showTraffic(const QString& text) override;
    Status send(const QByteArray& line) override;
    bool transmitBufferEmpty() override;
    void setReceiveEvents(bool on) override;
    void discardInput() override;
    void armPacing() override;
    void restartPortReset() override;
    void stopPortReset() override;
    void underWay() override;
    void progress(const UploadProgress& progress) override;
    void sendProblem(const QString& description) override;
    void ended(const UploadOutcome& outcome) override;

    UploadWindow& m_window;
    UploadEngine m_engine;
    std::unique_ptr<frmCancelSend> m_dialog;
    // A bar redrawn for every line costs more than the line. It is redrawn
    // a few times a second, right after a reply, while the pacing waits.
    UploadProgress m_progress;
    QElapsedTimer m_sinceProgress;
    QTimer m_progressTimer; // runs while newer progress waits to be shown
};
