#include "transcriptdialog.h"

#include "../ui/terminaltext.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

TranscriptDialog::TranscriptDialog(const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new TerminalText(this);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_view->setFont(mono);
    m_view->setText(text);
    m_view->setCaret(int(text.size()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(720, 420);
    m_view->updateView();
}

void TranscriptDialog::append(const QString& text)
{
    m_view->setCaret(m_view->length());
    m_view->insertAtCaret(text);
}
