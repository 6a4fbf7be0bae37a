#pragma once

#include <QDialog>
#include <functional>

struct UploadProgress;

class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;

// The small always-on-top dialog that names the file being loaded and offers
// "Cancel". While the upload runs it takes the activation back from the
// program's other windows, but never from a modal box or dialog.
class frmCancelSend : public QDialog
{
    Q_OBJECT

public:
    // `stopRequested` tells whether the upload is stopping (then the dialog
    // no longer takes the activation back).
    explicit frmCancelSend(std::function<bool()> stopRequested, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    // Lines sent of the file's lines, and how many went again.
    QProgressBar* Progress = nullptr;

    void setProgress(const UploadProgress& progress);

    // Shows the dialog on top and makes it the active window once the window
    // system has mapped it.
    void showActive();

    // The main window's menus: their access keys pressed here open them, so
    // that the keyboard reaches every command while the dialog holds it.
    void setMenuBar(QMenuBar* menuBar) { m_menuBar = menuBar; }

    void ActivationStep();
    void DeactivationStep();

signals:
    void cancelClicked();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void activateWhenMapped();
    void giveActivationBack();
    bool openMenuFor(QKeyEvent* event);

    std::function<bool()> m_stopRequested;
    QMenuBar* m_menuBar = nullptr;
    bool m_activationWanted = false; // shown, and not yet made the active window
};
