#include "firmwareupload.h"

#include "../serial/mscomm.h"
#include "../terminal/clock.h"
#include "../terminal/commondialog.h"
#include "../terminal/eventwait.h"
#include "../terminal/formtimer.h"
#include "../terminal/frmterminal.h"
#include "../terminal/messageboxes.h"
#include "../terminal/terminaltext.h"
#include "frmcancelsend.h"

#include <QFileInfo>
#include <QLabel>

namespace {
const QString crlf = QStringLiteral("\r\n");
}

FirmwareUpload::FirmwareUpload(frmTerminal& form) : m_form(form) {}

FirmwareUpload::~FirmwareUpload() = default;

frmCancelSend& FirmwareUpload::dialog()
{
    if (!m_dialog) {
        m_dialog = std::make_unique<frmCancelSend>([this] { return bStopSending; });
        connect(m_dialog.get(), &frmCancelSend::cancelClicked, this, &FirmwareUpload::Cancel);
    }
    return *m_dialog;
}

void FirmwareUpload::insert(const QString& text)
{
    m_form.txtTerm->insertAtCaret(text);
}

bool FirmwareUpload::stale(quint64 generation) const
{
    return generation != m_generation || !bSending || bStopSending || !m_live ||
           EventWait::abandoned();
}

void FirmwareUpload::transmitWait()
{
    MSComm& port = *m_form.MSComm1;
    EventWait::until([&] { return port.OutBufferCount() == 0 || bStopSending; },
                     [&] { return port.drainTimeHintMs(); });
}

void FirmwareUpload::showProgress()
{
    if (m_dialog)
        m_dialog->setProgress(tsFirmware.linesRead(), m_totalLines);
}

void FirmwareUpload::Start()
{
    // A port reset re-enables the command while an upload runs; starting a
    // second one over it would leave the first half-sent.
    if (bSending && m_live) {
        dialog().show();
        dialog().raise();
        dialog().activateWindow();
        return;
    }
    MSComm& port = *m_form.MSComm1;
    CommonDialog& openLog = *m_form.OpenLog;

    m_form.setUploadCommandsEnabled(false);
    bSending = true;
    bStopSending = false;
    // No upload after all: back to the state before the command.
    auto giveUp = [this] {
        m_form.setUploadCommandsEnabled(true);
        bSending = false;
    };
    openLog.DialogTitle = dialogTitle();
    openLog.Filter = dialogFilter();

    QString path;
    for (;;) {
        openLog.FileName.clear();
        const int error = openLog.ShowOpen();
        if (error == CommonDialog::cdlCancel) {
            giveUp();
            return;
        }
        path = openLog.FileName;
        if (error != 0) {
            MessageBoxes::show(openLog.errorDescription());
            giveUp();
            return;
        }
        if (!QFileInfo(path).isFile()) {
            MessageBoxes::show(path + QStringLiteral(" not found!"));
            continue;
        }
        break;
    }

    {
        FirmwareStream probe;
        const Status opened = probe.open(path);
        if (opened.failed()) {
            MessageBoxes::show(opened.description());
            giveUp();
            return;
        }
    }

    PendingError error;
    insert(crlf + QStringLiteral("Loading Firmware File...") + crlf);
    // A quiet second before the first line; no event is handled meanwhile.
    Clock::instance().pause(1000);
    bStopSending = false;

    frmCancelSend& cancel = dialog();
    cancel.Label1->setText(QStringLiteral("Loading Firmware File - ") + path);
    cancel.Label1->setToolTip(path);
    cancel.setProgress(0, 0);
    cancel.show();
    cancel.raise();
    cancel.activateWindow();

    ++m_generation;
    const quint64 generation = m_generation;
    error.note(tsFirmware.open(path));
    m_totalLines = qMax(0, FirmwareStream::countLines(path));
    const Status firstRead = tsFirmware.readLine(&sCurrentLine);
    error.note(firstRead);
    if (firstRead.isOk()) {
        showProgress();
        insert(TerminalText::fromBytes(sCurrentLine) + crlf);
        // Prompts that piled up while the dialog was open and during the
        // pause are not replies to this line; read as replies they would put
        // the loader one reply ahead of the unit.
        (void)port.setInBufferCount(0);
        m_live = true;
        error.note(port.Output(sCurrentLine));
        if (tsFirmware.atEnd())
            bStopSending = true; // a one-line file is complete once its line is out
    }
    if (error.isPending())
        MessageBoxes::show(error.description());
    if (firstRead.failed()) {
        // No line to send (an empty file, or the file went away): nothing
        // will ever answer, so the upload ends here, as a Cancel would.
        bStopSending = true;
        finish();
        return;
    }

    transmitWait();
    // The unit may have answered, and the upload ended or been cancelled,
    // inside the wait; arming the timers then would outlive it.
    if (generation != m_generation || !bSending)
        return;
    bPaceElapsed = false;
    m_form.Timer3->setEnabled(true);
    m_form.Timer4->setEnabled(true);
    m_form.StartTiming();
    CompletionCheck();
}

void FirmwareUpload::HandshakeStep(int received)
{
    MSComm& port = *m_form.MSComm1;
    const bool reply = received == '*' || received == '+';

    if (!m_live) {
        // No line of the chosen file is out yet (the file dialog is open):
        // nothing may be sent, and a prompt shows as it does when idle.
        if (received == '+')
            insert(QStringLiteral("+"));
        return;
    }
    if (bStopSending)
        return; // the completion check of this same event ends the upload
    if (m_pacingFor != 0 && m_pacingFor == m_generation) {
        // A step of this upload is waiting for its pacing tick; the newest
        // reply is the one it answers, as if both had come in one read.
        if (reply) {
            insert(QString(QChar(received)));
            m_reply = received;
        }
        return;
    }

    const quint64 generation = m_generation;
    if (reply) {
        insert(QString(QChar(received)));
        m_reply = received;
        // A stale step of an earlier upload may still be pacing below us.
        const quint64 outerPacing = m_pacingFor;
        m_pacingFor = generation;
        m_form.Timer3->setEnabled(true);
        EventWait::until([&] { return bPaceElapsed || stale(generation); });
        m_pacingFor = outerPacing;
        if (stale(generation))
            return;
        bPaceElapsed = false;

        if (m_reply == '*') {
            const Status read = tsFirmware.readLine(&sCurrentLine);
            if (read.failed()) {
                m_form.showStatusMessage(read.description());
                bStopSending = true;
                return;
            }
            showProgress();
        }
        insert(TerminalText::fromBytes(sCurrentLine) + crlf);
        (void)port.setRThreshold(0);
        const Status sent = port.Output(sCurrentLine);
        if (sent.failed())
            m_form.showStatusMessage(sent.description());
        if (m_reply == '*' && tsFirmware.atEnd())
            bStopSending = true;
    }
    transmitWait();
    (void)port.setRThreshold(1);
}

void FirmwareUpload::CompletionCheck()
{
    if (!(bStopSending && bSending))
        return;
    insert(crlf + QStringLiteral("Done.") + crlf);
    finish();
}

void FirmwareUpload::finish()
{
    bSending = false;
    m_live = false;
    m_form.setUploadCommandsEnabled(true);
    if (m_dialog)
        m_dialog->hide();
    m_form.StopTiming();
    m_form.Timer4->setEnabled(false);
    tsFirmware.close();
}

void FirmwareUpload::Timer3_Timer()
{
    bPaceElapsed = true;
    m_form.Timer3->setEnabled(false);
}

void FirmwareUpload::Cancel()
{
    bStopSending = true;
    // The rest of the file is skipped: neither shown nor sent.
    while (tsFirmware.isOpen() && !tsFirmware.atEnd()) {
        if (tsFirmware.readLine(&sCurrentLine).failed())
            break;
    }
    finish();
}
