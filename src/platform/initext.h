#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// An INI file's bytes, read as QSettings reads its IniFormat (quotes,
// escapes, lists, ';' comments), but from memory and with each line kept:
// a file is read once and what is checked is what is parsed.
namespace IniText {

struct Line {
    enum class Kind {
        Section, // "[Station]": `key` is the section's name
        Pair,    // key = value
        Other,   // neither: a line QSettings would refuse
    };
    Kind kind = Kind::Other;
    int number = 0; // the line it starts on, from 1
    QString key;
    QString value; // unescaped; a list's items joined by ','
    bool list = false;
    QString text; // the line as written, trimmed
};

// Blank and comment lines are left out.
QVector<Line> parse(const QByteArray& bytes);

// One value's text after '=', as QSettings unescapes it; `list` tells
// whether unquoted commas made it a list (joined by ',').
QString unescape(const QByteArray& raw, bool* list = nullptr);

// A value as it is written after "key = ": quoted and escaped where
// unescape() would otherwise read it otherwise.
QByteArray escape(const QString& value);

} // namespace IniText
