#pragma once

#include <QDialog>

class TerminalText;

// A slot's traffic as the loader's terminal shows it: each line sent, each
// reply, the last few thousand lines.
class TranscriptDialog : public QDialog
{
    Q_OBJECT

public:
    TranscriptDialog(const QString& title, const QString& text, QWidget* parent = nullptr);
    void append(const QString& text);
    TerminalText* view() const { return m_view; }

private:
    TerminalText* m_view;
};
