#include "serialnumbersdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

SerialNumbersDialog::SerialNumbersDialog(const BenchConfig& bench, const QString& statePath,
                                         QWidget* parent)
    : QDialog(parent), m_statePath(statePath)
{
    setWindowTitle(tr("Serial Numbers"));
    QString why;
    m_kept = UnitNumbering::readNextSerial(statePath, &why);
    const std::optional<SerialFormat> format = bench.serial;

    m_on = new QCheckBox(tr("&Put a serial number of its own into every unit"), this);
    m_on->setObjectName(QStringLiteral("on"));
    m_on->setChecked(format.has_value());
    const auto digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,20}"), this);
    m_address = new QLineEdit(format ? ImagePatch::hexAddress(format->address) : QString(), this);
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setPlaceholderText(QStringLiteral("0x040E"));
    m_address->setToolTip(tr("Where the firmware keeps its serial number: the firmware's "
                             "linker map names the address."));
    m_size = new QSpinBox(this);
    m_size->setObjectName(QStringLiteral("size"));
    m_size->setRange(1, 20);
    m_size->setSuffix(tr(" bytes"));
    m_size->setValue(format ? format->size : 4);
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("format"));
    m_format->addItem(tr("Little-endian binary (le)"), QStringLiteral("le"));
    m_format->addItem(tr("Big-endian binary (be)"), QStringLiteral("be"));
    m_format->addItem(tr("Packed BCD, big-endian (bcd)"), QStringLiteral("bcd"));
    m_format->addItem(tr("ASCII digits, zero-padded (ascii)"), QStringLiteral("ascii"));
    if (format)
        m_format->setCurrentIndex(int(format->encoding));
    m_start = new QLineEdit(QString::number(bench.serialStart), this);
    m_start->setObjectName(QStringLiteral("start"));
    m_start->setValidator(digits);
    m_step = new QLineEdit(QString::number(bench.serialStep), this);
    m_step->setObjectName(QStringLiteral("step"));
    m_step->setValidator(digits);
    m_end = new QLineEdit(bench.serialEnd ? QString::number(*bench.serialEnd) : QString(), this);
    m_end->setObjectName(QStringLiteral("end"));
    m_end->setValidator(digits);
    m_end->setPlaceholderText(tr("none"));
    // The factory's series: numbers from its database, leased a block at a time.
    m_series = new QLineEdit(bench.serialSeries, this);
    m_series->setObjectName(QStringLiteral("series"));
    m_series->setPlaceholderText(tr("none: this bench's own numbers"));
    QStringList held;
    for (const UnitNumbering::Block& b : UnitNumbering::readHeld(statePath))
        held << tr("%1 to %2").arg(b.first).arg(b.last);
    m_series->setToolTip(held.isEmpty()
                             ? tr("Numbers shared by every bench of the factory, from its database "
                                  "(Records > Database...); none held yet")
                             : tr("Leased and held here: %1").arg(held.join(QStringLiteral(", "))));
    m_held = new QLabel(held.isEmpty() ? tr("none") : held.join(QStringLiteral(", ")), this);
    m_held->setObjectName(QStringLiteral("held"));
    m_block = new QSpinBox(this);
    m_block->setObjectName(QStringLiteral("block"));
    m_block->setRange(1, 100000);
    m_block->setValue(bench.serialBlock);
    m_block->setSuffix(tr(" numbers at a time"));
    m_next = new QLineEdit(m_kept ? QString::number(*m_kept) : QString(), this);
    m_next->setObjectName(QStringLiteral("next"));
    m_next->setValidator(digits);
    m_next->setPlaceholderText(tr("the first number, as nothing is kept yet"));
    m_next->setToolTip(tr("Kept in %1. It can be raised, never lowered: a number handed out "
                          "once is never handed out again.")
                           .arg(statePath));
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);
    QPalette warn = m_error->palette();
    warn.setColor(QPalette::WindowText, QColor(0x9b, 0x1c, 0x1c));
    m_error->setPalette(warn);

    auto* form = new QFormLayout;
    form->addRow(tr("&Address:"), m_address);
    form->addRow(tr("Si&ze:"), m_size);
    form->addRow(tr("&Format:"), m_format);
    form->addRow(tr("&First number:"), m_start);
    form->addRow(tr("S&tep:"), m_step);
    form->addRow(tr("&Last number:"), m_end);
    form->addRow(tr("&Next number:"), m_next);
    form->addRow(tr("Factory &series:"), m_series);
    form->addRow(tr("&Block:"), m_block);
    form->addRow(tr("Held here:"), m_held);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SerialNumbersDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_on);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    connect(m_on, &QCheckBox::toggled, this, &SerialNumbersDialog::updateEnabled);
    updateEnabled();
}

void SerialNumbersDialog::updateEnabled()
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_address, m_size, m_format, m_start, m_step,
                                                      m_end, m_next})
        w->setEnabled(m_on->isChecked());
}

void SerialNumbersDialog::accept()
{
    m_raised.reset();
    if (!m_on->isChecked()) {
        QDialog::accept();
        return;
    }
    const auto refuse = [this](const QString& why, QWidget* field) {
        m_error->setText(why);
        field->setFocus();
    };
    QString why;
    const QString serial = QStringLiteral("%1:%2:%3")
                               .arg(m_address->text().trimmed())
                               .arg(m_size->value())
                               .arg(m_format->currentData().toString());
    const auto format = SerialFormat::parse(serial, &why);
    if (!format)
        return refuse(tr("The address is hexadecimal, such as 0x040E, and ASCII digits take up "
                         "to 20 bytes, the other formats up to 8."),
                      m_address);
    bool ok = false;
    const quint64 start = m_start->text().toULongLong(&ok);
    if (!ok)
        return refuse(tr("The first number is a whole number."), m_start);
    const quint64 step = m_step->text().toULongLong(&ok);
    if (!ok || step < 1)
        return refuse(tr("The step is a whole number from 1."), m_step);
    if (!m_end->text().isEmpty()) {
        const quint64 end = m_end->text().toULongLong(&ok);
        if (!ok || end < start)
            return refuse(tr("The last number is empty, or no lower than the first."), m_end);
        if (end > format->largest())
            return refuse(tr("%1 bytes in this format hold numbers up to %2.")
                              .arg(format->size)
                              .arg(format->largest()),
                          m_end);
    }
    if (start > format->largest())
        return refuse(tr("%1 bytes in this format hold numbers up to %2.")
                          .arg(format->size)
                          .arg(format->largest()),
                      m_start);
    if (!m_next->text().isEmpty()) {
        const quint64 next = m_next->text().toULongLong(&ok);
        if (!ok || (m_kept && next < *m_kept))
            return refuse(tr("The next number can be raised, never lowered below %1: the "
                             "numbers below it have been handed out.")
                              .arg(m_kept.value_or(0)),
                          m_next);
        if (!m_kept || next > *m_kept)
            m_raised = next;
    }
    QDialog::accept();
}

void SerialNumbersDialog::applyTo(BenchConfig* bench) const
{
    if (!m_on->isChecked()) {
        bench->serial.reset();
        return;
    }
    // Checked by accept() as the bench checks them.
    QString ignored;
    (void)bench->set(BenchField::Serial,
                     QStringLiteral("%1:%2:%3")
                         .arg(m_address->text().trimmed())
                         .arg(m_size->value())
                         .arg(m_format->currentData().toString()),
                     &ignored);
    (void)bench->set(BenchField::SerialStart, m_start->text(), &ignored);
    (void)bench->set(BenchField::SerialStep, m_step->text(), &ignored);
    if (m_end->text().isEmpty())
        bench->serialEnd.reset();
    else
        (void)bench->set(BenchField::SerialEnd, m_end->text(), &ignored);
    bench->serialSeries = m_series->text().trimmed();
    bench->serialBlock = m_block->value();
}
