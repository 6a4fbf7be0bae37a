#pragma once

#include <QDialog>
#include <functional>

struct UploadProgress;

class QLabel;
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

    void ActivationStep();
    void DeactivationStep();

signals:
    void cancelClicked();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    std::function<bool()> m_stopRequested;
};
