#include "labelsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

LabelsDialog::LabelsDialog(const BenchConfig& bench, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Labels"));
    m_scanner = new QLineEdit(bench.scanner, this);
    m_scanner->setObjectName(QStringLiteral("scanner"));
    m_scanner->setPlaceholderText(tr("none: the scan field under the tiles"));
    m_scanner->setToolTip(tr("A serial (USB CDC) barcode scanner, by its stable name under "
                             "/dev/serial/by-id. A keyboard-wedge scanner needs none: it types "
                             "into the scan field."));
    m_require = new QCheckBox(tr("A unit &waits until its label is scanned"), this);
    m_require->setObjectName(QStringLiteral("require"));
    m_require->setChecked(bench.requireLabel);
    m_pattern = new QLineEdit(bench.labelPattern, this);
    m_pattern->setObjectName(QStringLiteral("pattern"));
    m_pattern->setPlaceholderText(tr("any label"));
    m_pattern->setToolTip(tr("A regular expression every label must match whole, such as "
                             "LBL-[0-9]{6}"));
    m_rework = new QComboBox(this);
    m_rework->setObjectName(QStringLiteral("rework"));
    // In the bench's order of Rework.
    m_rework->addItem(tr("Keep the number it had"), QStringLiteral("keep"));
    m_rework->addItem(tr("Give it a new number"), QStringLiteral("new"));
    m_rework->addItem(tr("Refuse it"), QStringLiteral("refuse"));
    m_rework->setCurrentIndex(m_rework->findData(bench.text(BenchField::Rework).isEmpty()
                                                     ? QStringLiteral("keep")
                                                     : bench.text(BenchField::Rework)));
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Serial &scanner:"), m_scanner);
    form->addRow(QString(), m_require);
    form->addRow(tr("Label &pattern:"), m_pattern);
    form->addRow(tr("A unit that passed &before:"), m_rework);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &LabelsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
}

void LabelsDialog::accept()
{
    const QRegularExpression pattern(m_pattern->text());
    if (!pattern.isValid()) {
        m_error->setText(tr("The pattern is no regular expression: %1 (at character %2).")
                             .arg(pattern.errorString())
                             .arg(pattern.patternErrorOffset() + 1));
        m_pattern->setFocus();
        return;
    }
    QDialog::accept();
}

void LabelsDialog::applyTo(BenchConfig* bench) const
{
    QString ignored;
    bench->scanner = m_scanner->text().trimmed();
    bench->requireLabel = m_require->isChecked();
    bench->labelPattern.clear();
    if (!m_pattern->text().isEmpty())
        (void)bench->set(BenchField::LabelPattern, m_pattern->text(), &ignored);
    (void)bench->set(BenchField::Rework, m_rework->currentData().toString(), &ignored);
}
