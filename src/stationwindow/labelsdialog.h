#pragma once

#include "../station/benchconfig.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// File > Labels...: where the units' labels come from (a serial scanner, or
// the scan field a keyboard-wedge scanner types into), whether a unit waits
// for its label, which labels are the units', and what a unit that passed
// before gets.
class LabelsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LabelsDialog(const BenchConfig& bench, QWidget* parent = nullptr);

    // The choices, in the bench's terms; valid once accepted.
    void applyTo(BenchConfig* bench) const;

    void accept() override;

private:
    QLineEdit* m_scanner = nullptr;
    QCheckBox* m_require = nullptr;
    QLineEdit* m_pattern = nullptr;
    QComboBox* m_rework = nullptr;
    QLabel* m_error = nullptr;
};
