#pragma once

#include "firmwarestream.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class frmCancelSend;
class frmTerminal;

// A firmware upload: the command that starts it, the handshake that sends the
// rest of the file one line per reply of the unit ("*" the next line, "+" the
// same line again), and its end by completion or Cancel.
class FirmwareUpload : public QObject
{
    Q_OBJECT

public:
    explicit FirmwareUpload(frmTerminal& form);
    ~FirmwareUpload() override;

    static QString dialogTitle() { return QStringLiteral("Load Firmware File"); }
    static QString dialogFilter()
    {
        return QStringLiteral("Text Files (*.TXT)|*.txt|S Files (*.s*)|*.s*|All Files (*.*)|*.*");
    }

    // Upload state shared with the port-event handler and the cancel dialog.
    bool bSending = false;     // an upload is under way
    bool bStopSending = false; // the last line has gone out, or Cancel
    bool bPaceElapsed = false; // the pacing timer ticked
    QByteArray sCurrentLine;   // the line a "+" sends again
    FirmwareStream tsFirmware;

    // The Load Firmware File command.
    void Start();
    // One reply of the unit: the last byte of one read, or -1 for none.
    void HandshakeStep(int received);
    // At the end of every port event: finishes an upload whose last line is out.
    void CompletionCheck();
    // The pacing timer's tick.
    void Timer3_Timer();
    // The cancel dialog's Cancel.
    void Cancel();

    frmCancelSend* cancelDialog() const { return m_dialog.get(); }

private:
    bool stale(quint64 generation) const;
    void insert(const QString& text);
    void transmitWait();
    void showProgress();
    void finish(); // what completion and Cancel share
    frmCancelSend& dialog();

    frmTerminal& m_form;
    std::unique_ptr<frmCancelSend> m_dialog;
    quint64 m_generation = 0;
    bool m_live = false; // a line of the chosen file is out and the upload has not ended
    quint64 m_pacingFor = 0; // the upload whose step waits for its pacing tick
    int m_reply = -1;
    int m_totalLines = 0;
};
