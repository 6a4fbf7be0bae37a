#include "addslotdialog.h"

#include "../serial/portlisting.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

AddSlotDialog::AddSlotDialog(const QString& suggestedName, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Add Slot"));
    ports = new QListWidget(this);
    ports->setObjectName(QStringLiteral("ports"));
    const QVector<PortEntry> listed = PortListing::list();
    for (const PortEntry& e : listed) {
        QStringList about;
        if (!e.description.isEmpty())
            about << e.description;
        if (!PortListing::usbIds(e).isEmpty())
            about << tr("USB %1").arg(PortListing::usbIds(e));
        if (!e.serialNumber.isEmpty())
            about << tr("serial %1").arg(e.serialNumber);
        if (!e.access.isEmpty())
            about << e.access;
        const QString stable = stableName(e);
        QString text = stable;
        if (stable != e.device)
            text += QStringLiteral("\n    ") + e.device;
        if (!about.isEmpty())
            text += QStringLiteral("  ") + about.join(QStringLiteral(", "));
        auto* item = new QListWidgetItem(text, ports);
        item->setData(Qt::UserRole, stable);
        item->setToolTip(text);
    }
    path = new QLineEdit(this);
    path->setObjectName(QStringLiteral("path"));
    path->setPlaceholderText(QStringLiteral("/dev/serial/by-id/..."));
    slotName = new QLineEdit(suggestedName, this);
    slotName->setObjectName(QStringLiteral("slotName"));
    connect(ports, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            path->setText(item->data(Qt::UserRole).toString());
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    const auto update = [this, ok] { ok->setEnabled(!port().isEmpty() && !name().isEmpty()); };
    connect(path, &QLineEdit::textChanged, this, update);
    connect(slotName, &QLineEdit::textChanged, this, update);
    update();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* portsLabel = new QLabel(tr("&Ports the system reports:"), this);
    portsLabel->setBuddy(ports);
    auto* form = new QFormLayout;
    form->addRow(tr("P&ath:"), path);
    form->addRow(tr("&Name:"), slotName);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(portsLabel);
    layout->addWidget(ports, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(620, 380);
    if (ports->count() > 0)
        ports->setCurrentRow(0);
    (ports->count() > 0 ? static_cast<QWidget*>(ports) : path)->setFocus();
}

QString AddSlotDialog::port() const
{
    return path->text().trimmed();
}

QString AddSlotDialog::name() const
{
    return slotName->text().trimmed();
}

QString AddSlotDialog::stableName(const PortEntry& e)
{
    if (!e.byId.isEmpty())
        return e.byId.first();
    if (!e.byPath.isEmpty())
        return e.byPath.first();
    return e.device;
}
