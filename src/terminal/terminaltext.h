#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>

// The terminal text area. Its text is the transcript as the program writes
// it: lines end in CR LF, each received or sent byte is one character, and
// text is always added at the caret. The caret belongs to the program, so a
// click into the view never moves where the next text goes.
//
// The view shows CR LF as a line break and other control bytes as visible
// symbols, one symbol per byte. It follows the text a moment later, so that
// a burst of traffic costs one layout and one paint, and it shows the end
// of the text only, so that a huge line cannot make every redraw slow.
class TerminalText : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TerminalText(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    int length() const { return int(m_text.size()); }
    // Replaces the whole text; the caret goes to the start.
    void setText(const QString& text);

    int caret() const { return m_caret; }
    void setCaret(int position);
    // Inserts at the caret and leaves the caret after the insertion.
    void insertAtCaret(const QString& text);
    // Removes the first `count` characters.
    void removeFront(int count);
    // Brings the view up to date now instead of a moment later.
    void updateView();

    // Bytes as characters, one per byte.
    static QString fromBytes(const QByteArray& bytes) { return QString::fromLatin1(bytes); }
    // How the view shows a piece of transcript.
    static QString displayForm(const QString& text);

private:
    void rebuildView();
    void viewChanged();
    void scrollToEndIfFollowing(bool following);
    bool followingEnd() const;

    static constexpr int ViewLimit = 32768;
    static constexpr int ViewDelayMs = 50;

    QString m_text;
    int m_caret = 0;
    int m_viewStart = 0;      // where in m_text the view begins
    QString m_pending;        // added at the end of m_text, not yet in the view
    int m_viewDrop = 0;       // characters to take from the front of the view
    bool m_viewEndsWithCr = false;
    bool m_needsRebuild = false;
    QTimer m_viewTimer;
};
