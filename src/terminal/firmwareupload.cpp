#include "firmwareupload.h"

#include "../serial/mscomm.h"
#include "../ui/clock.h"
#include "../ui/commondialog.h"
#include "../ui/messageboxes.h"
#include "frmcancelsend.h"
#include "uploadwindow.h"

#include <QFileInfo>
#include <QLabel>
#include <QTimer>

namespace {
const QString crlf = QStringLiteral("\r\n");
constexpr int ProgressIntervalMs = 500;
} // namespace

FirmwareUpload::FirmwareUpload(UploadWindow& window) : m_window(window), m_engine(*this)
{
    m_progressTimer.setSingleShot(true);
    m_progressTimer.setInterval(2 * ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &FirmwareUpload::showProgress);
    connect(
        &m_window.port(), &MSComm::transmitSettled, this,
        [this](bool delivered, const QString& why) { m_engine.transmitSettled(delivered, why); });
}

FirmwareUpload::~FirmwareUpload() = default;

frmCancelSend& FirmwareUpload::dialog()
{
    if (!m_dialog) {
        m_dialog = std::make_unique<frmCancelSend>([this] { return m_engine.bStopSending; });
        m_dialog->setMenuBar(m_window.menus());
        connect(m_dialog.get(), &frmCancelSend::cancelClicked, this, &FirmwareUpload::Cancel);
    }
    return *m_dialog;
}

void FirmwareUpload::giveUp()
{
    m_window.setUploadCommandsEnabled(true);
    m_engine.giveUp();
}

void FirmwareUpload::Start()
{
    // A port reset re-enables the command while an upload runs; starting a
    // second one over it would leave the first half-sent.
    if (m_engine.live()) {
        dialog().showActive();
        return;
    }
    CommonDialog& openLog = m_window.fileDialog();

    m_window.setUploadCommandsEnabled(false);
    m_engine.choose();
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

    // Can it be read, and is it line text at all? Nothing is sent otherwise.
    // What is read now is what is sent, whatever happens to the file.
    QString why;
    const std::optional<FirmwareImage> image = FirmwareImage::read(path, &why);
    if (!image) {
        MessageBoxes::show(why);
        giveUp();
        return;
    }
    const FirmwareImage::Facts& facts = image->facts;
    if (facts.longestLine > FirmwareStream::MaximumLineLength) {
        MessageBoxes::show(QStringLiteral("Line %1 of %2 is %3 bytes long, so %2 does not look "
                                          "like a firmware text file. Choose the firmware's "
                                          "S-record or text file.")
                               .arg(facts.longestLineNumber)
                               .arg(path)
                               .arg(facts.longestLine));
        giveUp();
        return;
    }

    m_window.insertText(crlf + QStringLiteral("Loading Firmware File...") + crlf);
    // A quiet second before the first line; no event is handled meanwhile.
    Clock::instance().pause(1000);
    m_engine.bStopSending = false;

    frmCancelSend& cancel = dialog();
    cancel.Label1->setText(QStringLiteral("Loading Firmware File - ") + path);
    cancel.Label1->setToolTip(path);
    cancel.setProgress(UploadProgress{0, facts.lines, 0});
    m_sinceProgress.invalidate(); // the first line shows at once
    cancel.showActive();

    // The port the upload is reopened on, whatever Com n comes to mean.
    m_window.port().holdDevice();
    m_window.port().setAdvice(PortAdvice::Upload);
    const Status failure = m_engine.sendFirstLine(*image);
    if (failure.failed())
        MessageBoxes::show(failure.description());
}

void FirmwareUpload::showTraffic(const QString& text)
{
    m_window.insertText(text);
}

Status FirmwareUpload::send(const QByteArray& line)
{
    return m_window.port().Output(line);
}

bool FirmwareUpload::transmitBufferEmpty()
{
    return !m_window.port().outputPending();
}

void FirmwareUpload::setReceiveEvents(bool on)
{
    (void)m_window.port().setRThreshold(on ? 1 : 0);
}

void FirmwareUpload::discardInput()
{
    (void)m_window.port().setInBufferCount(0);
}

void FirmwareUpload::armPacing()
{
    m_window.enablePacingTimer();
}

void FirmwareUpload::restartPortReset()
{
    m_window.restartPortResetTimer();
}

void FirmwareUpload::stopPortReset()
{
    m_window.disablePortResetTimer();
}

void FirmwareUpload::underWay()
{
    m_window.StartTiming();
}

void FirmwareUpload::HandshakeStep(int received)
{
    m_engine.HandshakeStep(received);
    if (m_progressTimer.isActive() && m_sinceProgress.elapsed() >= ProgressIntervalMs)
        showProgress();
}

void FirmwareUpload::progress(const UploadProgress& progress)
{
    m_progress = progress;
    if (m_progressTimer.isActive())
        return; // shown when it is due
    if (!m_sinceProgress.isValid() || m_sinceProgress.elapsed() >= 2 * ProgressIntervalMs)
        showProgress(); // the first line, or after a quiet while
    else
        m_progressTimer.start();
}

void FirmwareUpload::showProgress()
{
    m_progressTimer.stop();
    m_sinceProgress.restart();
    if (m_dialog)
        m_dialog->setProgress(m_progress);
}

void FirmwareUpload::sendProblem(const QString& description)
{
    m_window.showStatusMessage(description);
}

void FirmwareUpload::ended(const UploadOutcome& outcome)
{
    m_window.port().releaseDevice();
    m_window.port().setAdvice(PortAdvice::Window);
    m_window.setUploadCommandsEnabled(true);
    if (m_dialog)
        m_dialog->hide();
    m_window.StopTiming();
    if (outcome.kind == UploadOutcome::Kind::Failed) {
        // Not from inside the port's or a timer's notification.
        QTimer::singleShot(0, this, [message = outcome.message] { MessageBoxes::show(message); });
    }
}
