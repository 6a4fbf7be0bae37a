#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// Station > Unlock...: an engineer's own account and password, for the
// system to check; the window keeps neither.
class UnlockDialog : public QDialog
{
    Q_OBJECT

public:
    UnlockDialog(const QString& group, int minutes, QWidget* parent = nullptr);
    QString account() const;
    // Taken once: the field is cleared as it is read.
    QString takePassword();

private:
    QLineEdit* m_account = nullptr;
    QLineEdit* m_password = nullptr;
};
