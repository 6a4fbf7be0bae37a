#include "terminaltext.h"

#include <QScrollBar>
#include <QTextCursor>

TerminalText::TerminalText(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
}

void TerminalText::setText(const QString& text)
{
    m_text = text;
    m_caret = 0;
    rebuildView();
}

void TerminalText::setCaret(int position)
{
    m_caret = qBound(0, position, length());
}

void TerminalText::insertAtCaret(const QString& text)
{
    if (text.isEmpty())
        return;
    const bool atEnd = m_caret == length();
    // A CR at the end may pair with an LF that starts the insertion.
    const bool joinsLineBreak = m_text.endsWith(QLatin1Char('\r')) && text.startsWith(QLatin1Char('\n'));
    m_text.insert(m_caret, text);
    m_caret += int(text.size());
    if (atEnd && !joinsLineBreak && length() - m_viewStart <= 2 * ViewLimit)
        appendToView(text);
    else
        rebuildView();
}

QString TerminalText::displayForm(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            shown += QLatin1Char('\n');
            ++i;
        } else if (c == u'\n') {
            shown += QLatin1Char('\n');
        } else if (c < 0x20) {
            shown += QChar(char16_t(0x2400 + c)); // control pictures
        } else if (c == 0x7f) {
            shown += QChar(char16_t(0x2421));
        } else if (c >= 0x80 && c < 0xa0) {
            shown += QChar(char16_t(0xfffd));
        } else {
            shown += QChar(c);
        }
    }
    return shown;
}

bool TerminalText::followingEnd() const
{
    const QScrollBar* bar = verticalScrollBar();
    return bar->value() >= bar->maximum() - 2;
}

void TerminalText::scrollToEndIfFollowing(bool following)
{
    if (following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TerminalText::rebuildView()
{
    m_viewStart = qMax(0, length() - ViewLimit);
    // Never start the view between the CR and the LF of a line break.
    if (m_viewStart > 0 && m_text[m_viewStart] == QLatin1Char('\n') &&
        m_text[m_viewStart - 1] == QLatin1Char('\r'))
        ++m_viewStart;
    setPlainText(displayForm(m_text.mid(m_viewStart)));
    scrollToEndIfFollowing(true);
}

void TerminalText::appendToView(const QString& text)
{
    const bool following = followingEnd();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(displayForm(text));
    scrollToEndIfFollowing(following);
}
