#include "unlockdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UnlockDialog::UnlockDialog(const QString& group, int minutes, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Unlock the Station"));
    auto* about = new QLabel(tr("An engineer (a member of %1) may change this bench for %2 "
                                "minutes. Every change is kept in the audit trail.")
                                 .arg(group)
                                 .arg(minutes),
                             this);
    about->setWordWrap(true);
    m_account = new QLineEdit(this);
    m_account->setObjectName(QStringLiteral("account"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(tr("&Account:"), m_account);
    form->addRow(tr("&Password:"), m_password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Unlock"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(about);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_account->setFocus();
}

QString UnlockDialog::account() const
{
    return m_account->text().trimmed();
}

QString UnlockDialog::takePassword()
{
    QString password = m_password->text();
    m_password->clear();
    return password;
}
