#include "terminaltext.h"

#include "../upload/transcript.h"

#include <QScrollBar>
#include <QTextCursor>
#include <algorithm>

TerminalText::TerminalText(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // No text cursor: a blinking one repaints twice a second for nothing.
    // Ctrl+A, Ctrl+C and the paging keys still work.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::StrongFocus);
    // The view wraps its own lines; this only catches what a font makes wider.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    m_lines.push_back({});
    m_viewTimer.setSingleShot(true);
    m_viewTimer.setInterval(ViewDelayMs);
    m_sinceUpdate.start();
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
        // Whole view lines go with their line breaks; of a line cut in two,
        // the rest stays where it is, as a shorter first line.
        int cut = count - m_viewStart;
        m_viewStart = 0;
        while (cut > 0) {
            ViewLine& first = m_lines.front();
            if (m_lines.size() > 1 && first.textChars <= cut) {
                cut -= first.textChars;
                m_viewDrop += first.shownChars + 1;
                m_lines.pop_front();
                continue;
            }
            // The line break is at the end, so a cut that takes part of it
            // leaves just the break.
            const int shown = std::min(cut, first.shownChars);
            m_viewDrop += shown;
            first.shownChars -= shown;
            first.textChars -= cut;
            cut = 0;
        }
    }
    m_text.remove(0, count);
    m_caret = qMax(0, m_caret - count);
    viewChanged();
}

QString TerminalText::wrapForView(const QString& text)
{
    QString shown;
    shown.reserve(text.size() + text.size() / m_wrapColumns + 1);
    auto endLine = [&](int textChars) {
        m_lines.back().textChars += textChars;
        m_lines.push_back({});
        shown += QLatin1Char('\n');
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            // A CR already counted with its line and this LF are one break.
            endLine(1);
            continue;
        }
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            endLine(2);
            ++i;
            continue;
        }
        if (m_lines.back().shownChars >= m_wrapColumns)
            endLine(0);
        ViewLine& line = m_lines.back();
        ++line.textChars;
        ++line.shownChars;
        shown += Transcript::symbol(c);
    }
    return shown;
}

void TerminalText::updateViewIfDue(int intervalMs)
{
    if (m_viewTimer.isActive() && m_sinceUpdate.elapsed() >= intervalMs)
        updateView();
}

void TerminalText::updateView()
{
    m_viewTimer.stop();
    m_sinceUpdate.restart();
    wrapChanged();
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
        if (m_viewEndsWithCr && m_pending.startsWith(QLatin1Char('\n'))) {
            cursor.deletePreviousChar();
            --m_lines.back().shownChars;
        }
        cursor.insertText(wrapForView(m_pending));
        m_viewEndsWithCr = m_pending.endsWith(QLatin1Char('\r'));
        m_pending.clear();
    }
    cursor.endEditBlock();
    scrollToEndIfFollowing(following);
}

void TerminalText::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    if (wrapChanged())
        viewChanged();
}

bool TerminalText::wrapChanged()
{
    // Room for the scroll bar is kept, so it coming and going changes nothing.
    const int advance = qMax(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int room = contentsRect().width() - verticalScrollBar()->sizeHint().width() -
                     2 * int(document()->documentMargin()) - 2;
    const int columns = qMax(8, room / advance);
    if (columns == m_wrapColumns)
        return false;
    m_wrapColumns = columns;
    m_needsRebuild = true;
    return true;
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
    wrapChanged();
    m_viewStart = qMax(0, length() - ViewLimit);
    // Never start the view between the CR and the LF of a line break.
    if (m_viewStart > 0 && m_text[m_viewStart] == QLatin1Char('\n') &&
        m_text[m_viewStart - 1] == QLatin1Char('\r'))
        ++m_viewStart;
    m_lines.clear();
    m_lines.push_back({});
    setPlainText(wrapForView(m_text.mid(m_viewStart)));
    m_pending.clear();
    m_viewDrop = 0;
    m_needsRebuild = false;
    m_viewEndsWithCr = m_text.endsWith(QLatin1Char('\r'));
    m_viewTimer.stop();
    scrollToEndIfFollowing(true);
}
