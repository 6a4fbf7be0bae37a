#pragma once

#include "../platform/journal.h"

#include <QString>
#include <QStringList>

// Progress lines on a terminal's standard error, each redrawn in place;
// result lines printed in between scroll above them.
class ProgressLines
{
public:
    // Over the previous drawing; an empty list clears it.
    void draw(const QStringList& lines);
    // A line that stays: printed above the progress, which is drawn anew.
    // Under the journal each line carries `level`.
    static void say(const QString& text, Journal::Level level = Journal::Level::Info);
    // What keeps the command itself from doing its work: an error, named
    // by the program.
    static void complain(const QString& text);
    // "1:05" for a number of seconds.
    static QString minutes(double seconds);

private:
    int m_drawn = 0; // lines of the last drawing
};
