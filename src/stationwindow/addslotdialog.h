#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;

// Slot > Add...: the serial ports the system reports, by their stable names
// with vendor and description, or any path typed in; and the slot's name.
class AddSlotDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AddSlotDialog(const QString& suggestedName, QWidget* parent = nullptr);

    QString port() const;
    QString name() const;

    QListWidget* ports = nullptr;
    QLineEdit* path = nullptr;
    QLineEdit* slotName = nullptr;

    // The name a port is best given to a slot by: its by-id name, else its
    // by-path name, else the device.
    static QString stableName(const struct PortEntry& entry);
};
