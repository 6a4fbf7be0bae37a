#include "frmcancelsend.h"

#include "../serial/applicationtitle.h"
#include "../ui/messageboxes.h"
#include "../ui/twips.h"
#include "../upload/uploadengine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

frmCancelSend::frmCancelSend(std::function<bool()> stopRequested, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      m_stopRequested(std::move(stopRequested))
{
    setObjectName(QStringLiteral("frmCancelSend"));
    setWindowTitle(applicationTitle());
    setModal(false);
    setFixedSize(Twips::toPixels(5220, this), Twips::toPixels(1290, this));
    Twips::useDialogFont(this);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Twips::rect(120, 120, 4932, 492, this));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setFocusPolicy(Qt::NoFocus);

    // In the free strip between the label and the button.
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setGeometry(Twips::rect(120, 624, 4932, 204, this));
    Progress->setTextVisible(true);
    Progress->setAlignment(Qt::AlignCenter);
    Progress->setRange(0, 1);
    Progress->setValue(0);
    Progress->setFocusPolicy(Qt::NoFocus);

    Command1 = new QPushButton(tr("Cancel"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Twips::rect(2160, 840, 972, 372, this));
    Command1->setDefault(true);
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &frmCancelSend::cancelClicked);
}

void frmCancelSend::setProgress(const UploadProgress& progress)
{
    const int total = qMax(1, progress.totalLines);
    Progress->setRange(0, total);
    Progress->setValue(qBound(0, progress.linesSent, total));
    QString text = tr("%1 of %2 lines").arg(progress.linesSent).arg(progress.totalLines);
    if (progress.resends > 0)
        text += tr(", %n sent again", nullptr, progress.resends);
    Progress->setFormat(text);
    Progress->setToolTip(text);
}

void frmCancelSend::ActivationStep()
{
    // The window is created topmost; raising keeps it above windows that
    // were stacked later.
    raise();
}

void frmCancelSend::DeactivationStep()
{
    if (!isVisible() || m_stopRequested())
        return;
    // A modal box or dialog must be answerable.
    if (QApplication::activeModalWidget() || MessageBoxes::openCount() > 0)
        return;
    // Only windows of this program; another application keeps its activation.
    QWidget* active = QApplication::activeWindow();
    if (!active || active == this)
        return;
    show();
    raise();
    activateWindow();
}

void frmCancelSend::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            ActivationStep();
        else
            QTimer::singleShot(0, this, &frmCancelSend::DeactivationStep);
    }
    QDialog::changeEvent(event);
}

void frmCancelSend::closeEvent(QCloseEvent* event)
{
    // Closing the dialog by the window manager means Cancel.
    event->ignore();
    if (isVisible())
        emit cancelClicked();
}

void frmCancelSend::reject()
{
    emit cancelClicked();
}
