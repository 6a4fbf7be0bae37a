#pragma once

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <deque>

// The terminal text area. Its text is the transcript as the program writes
// it: lines end in CR LF, each received or sent byte is one character, and
// text is always added at the caret. The caret belongs to the program, so a
// click into the view never moves where the next text goes.
//
// The view shows CR LF as a line break and other control bytes as visible
// symbols, one symbol per byte, wrapped at the width of the window. It keeps
// its lines no longer than that, so a long run of prompts is not laid out
// again whenever one more comes. It follows the text a moment later, so a
// burst of traffic costs one layout and one paint; the window brings it up
// to date right after a reply, while an upload waits out its pacing, so
// painting never delays a send. It shows the end of the text only, so a
// huge line cannot make every redraw slow.
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
    // The same, if the view has not been brought up to date for `intervalMs`.
    void updateViewIfDue(int intervalMs);
    // Characters a view line holds before it wraps.
    int wrapColumns() const { return m_wrapColumns; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // One line of the view: how many transcript characters it stands for
    // (its line break included) and how many it shows.
    struct ViewLine {
        int textChars = 0;
        int shownChars = 0;
    };

    void rebuildView();
    void viewChanged();
    // Takes the columns from the width; true when they changed.
    bool wrapChanged();
    // Adds transcript text to the view's lines; returns what the view shows for it.
    QString wrapForView(const QString& text);
    void scrollToEndIfFollowing(bool following);
    bool followingEnd() const;

    static constexpr int ViewLimit = 32768;
    // Longest the view lags when nobody brings it up to date.
    static constexpr int ViewDelayMs = 800;

    QString m_text;
    int m_caret = 0;
    int m_viewStart = 0; // where in m_text the view begins
    QString m_pending;   // added at the end of m_text, not yet in the view
    int m_viewDrop = 0;  // characters to take from the front of the view
    bool m_viewEndsWithCr = false;
    bool m_needsRebuild = false;
    std::deque<ViewLine> m_lines; // the view's lines; the last one is still open
    int m_wrapColumns = 80;
    QTimer m_viewTimer; // for when no reply comes to bring it up to date
    QElapsedTimer m_sinceUpdate;
};
