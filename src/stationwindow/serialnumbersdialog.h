#pragma once

#include "../station/benchconfig.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// File > Serial Numbers...: where each unit's number goes in the image, how
// it is written, the first, the step and the last, and the next number
// kept beside the record, which may be raised but never lowered (a number
// handed out once is never handed out again).
class SerialNumbersDialog : public QDialog
{
    Q_OBJECT

public:
    SerialNumbersDialog(const BenchConfig& bench, const QString& statePath,
                        QWidget* parent = nullptr);

    // The choices, in the bench's terms; valid once accepted.
    void applyTo(BenchConfig* bench) const;
    // The next number typed, when it is above the one kept.
    std::optional<quint64> raisedNext() const { return m_raised; }

    void accept() override;

private:
    void updateEnabled();

    QString m_statePath;
    std::optional<quint64> m_kept; // the next number the state holds
    std::optional<quint64> m_raised;
    QCheckBox* m_on = nullptr;
    QLineEdit* m_address = nullptr;
    QSpinBox* m_size = nullptr;
    QComboBox* m_format = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_step = nullptr;
    QLineEdit* m_end = nullptr;
    QLineEdit* m_next = nullptr;
    QLineEdit* m_series = nullptr; // the factory's series; empty: this bench's own numbers
    QSpinBox* m_block = nullptr;
    QLabel* m_held = nullptr; // the series' numbers leased and held by this bench
    QLabel* m_error = nullptr;
};
