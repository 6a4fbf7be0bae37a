#include "frmcancelsend.h"

#include "../serial/applicationtitle.h"
#include "../ui/messageboxes.h"
#include "../ui/twips.h"
#include "../upload/uploadengine.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

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

void frmCancelSend::showActive()
{
    show();
    raise();
    m_activationWanted = true;
    activateWhenMapped();
}

// Asked for before the window system has mapped the dialog, the activation
// stays pending inside Qt and is carried out at the map, even when a short
// upload has hidden the dialog by then: the program would then take its keys
// for a window nobody sees. So it is asked for only once the dialog shows.
void frmCancelSend::activateWhenMapped()
{
    QWindow* window = windowHandle();
    if (!m_activationWanted || !isVisible() || !window)
        return;
    if (!window->isExposed()) {
        window->installEventFilter(this);
        return;
    }
    m_activationWanted = false;
    activateWindow();
}

bool frmCancelSend::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle())
        activateWhenMapped();
    return QDialog::eventFilter(watched, event);
}

void frmCancelSend::hideEvent(QHideEvent* event)
{
    m_activationWanted = false;
    QDialog::hideEvent(event);
}

// A hidden dialog never keeps the activation; the window the operator sees
// gets it back.
void frmCancelSend::giveActivationBack()
{
    if (isVisible() || QApplication::activeWindow() != this)
        return;
    QWidget* next = QApplication::activeModalWidget();
    if (!next && m_menuBar)
        next = m_menuBar->window();
    if (next && next->isVisible())
        next->activateWindow();
}

void frmCancelSend::keyPressEvent(QKeyEvent* event)
{
    if (openMenuFor(event))
        return;
    QDialog::keyPressEvent(event);
}

bool frmCancelSend::openMenuFor(QKeyEvent* event)
{
    if (!m_menuBar || !m_menuBar->isVisible() || event->modifiers() != Qt::AltModifier)
        return false;
    const QKeySequence pressed(QKeyCombination(Qt::AltModifier, Qt::Key(event->key())));
    const auto actions = m_menuBar->actions();
    for (QAction* action : actions) {
        if (!action->isVisible() || !action->isEnabled() ||
            QKeySequence::mnemonic(action->text()) != pressed)
            continue;
        if (action->menu())
            m_menuBar->setActiveAction(action);
        else
            action->trigger();
        return true;
    }
    return false;
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
    showActive();
}

void frmCancelSend::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow() && !isVisible())
            QTimer::singleShot(0, this, &frmCancelSend::giveActivationBack);
        else if (isActiveWindow())
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
