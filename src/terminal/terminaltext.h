#pragma once

#include <QPlainTextEdit>
#include <QString>

// The terminal text area. Its text is the transcript as the program writes
// it: lines end in CR LF, each received or sent byte is one character, and
// text is always added at the caret. The caret belongs to the program, so a
// click into the view never moves where the next text goes.
//
// The view shows CR LF as a line break and other control bytes as visible
// symbols, one symbol per byte. It shows the end of the text only, so that a
// huge line (a binary file sent by mistake) cannot make every redraw slow.
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

    // Bytes as characters, one per byte.
    static QString fromBytes(const QByteArray& bytes) { return QString::fromLatin1(bytes); }
    // How the view shows a piece of transcript.
    static QString displayForm(const QString& text);

private:
    void rebuildView();
    void appendToView(const QString& text);
    void scrollToEndIfFollowing(bool following);
    bool followingEnd() const;

    static constexpr int ViewLimit = 32768;

    QString m_text;
    int m_caret = 0;
    int m_viewStart = 0; // where in m_text the view begins
};
