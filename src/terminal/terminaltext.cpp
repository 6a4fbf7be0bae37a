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
    m_viewTimer.setSingleShot(true);
    m_viewTimer.setInterval(ViewDelayMs);
    connect(&m_viewTimer, &QTimer::timeout, this, &TerminalText::updateView);
}

void TerminalText::setText(const QString& text)
{
    m_text = text;
    m_caret = 0;
    rebuildView();
}

void TerminalText::viewChanged()
{
    if (!m_viewTimer.isActive())
        m_viewTimer.start();
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
    m_text.insert(m_caret, text);
    m_caret += int(text.size());
    if (atEnd)
        m_pending += text;
    if (!atEnd || length() - m_viewStart > 2 * ViewLimit)
        m_needsRebuild = true;
    viewChanged();
}

void TerminalText::removeFront(int count)
{
    count = qBound(0, count, length());
    if (count == 0)
        return;
    const int shownEnd = length() - int(m_pending.size());
    if (m_needsRebuild || count >= shownEnd) {
        m_needsRebuild = true;
    } else if (count <= m_viewStart) {
        m_viewStart -= count;
    } else {
        // The view shows one character for each of these but for CR LF,
        // which it shows as one line break; a CR whose LF stays is part of
        // the line break that stays.
        const int from = m_viewStart;
        for (int i = from; i < count; ++i) {
            const bool crOfPair = m_text[i] == QLatin1Char('\r') && i + 1 < length() &&
                                  m_text[i + 1] == QLatin1Char('\n');
            if (!crOfPair)
                ++m_viewDrop;
        }
        m_viewStart = 0;
    }
    m_text.remove(0, count);
    m_caret = qMax(0, m_caret - count);
    viewChanged();
}

void TerminalText::updateView()
{
    m_viewTimer.stop();
    if (m_needsRebuild) {
        rebuildView();
        return;
    }
    if (m_pending.isEmpty() && m_viewDrop == 0)
        return;
    const bool following = followingEnd();
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (m_viewDrop > 0) {
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, m_viewDrop);
        cursor.removeSelectedText();
        m_viewDrop = 0;
    }
    if (!m_pending.isEmpty()) {
        cursor.movePosition(QTextCursor::End);
        // A CR shown at the end and the LF that now follows it are one line break.
        if (m_viewEndsWithCr && m_pending.startsWith(QLatin1Char('\n')))
            cursor.deletePreviousChar();
        cursor.insertText(displayForm(m_pending));
        m_viewEndsWithCr = m_pending.endsWith(QLatin1Char('\r'));
        m_pending.clear();
    }
    cursor.endEditBlock();
    scrollToEndIfFollowing(following);
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
    m_pending.clear();
    m_viewDrop = 0;
    m_needsRebuild = false;
    m_viewEndsWithCr = m_text.endsWith(QLatin1Char('\r'));
    m_viewTimer.stop();
    scrollToEndIfFollowing(true);
}
