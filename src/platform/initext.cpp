#include "initext.h"

#include <QStringList>

namespace IniText {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

void chopSpaces(QString& s, int limit)
{
    int n = int(s.size());
    while (n > limit && (s[n - 1] == QLatin1Char(' ') || s[n - 1] == QLatin1Char('\t')))
        --n;
    s.truncate(n);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// QSettings' own marks on a value: "@@" for a text that began with '@',
// @String() and @ByteArray() around text, @Invalid() for none.
QString unmark(const QString& v)
{
    if (v.startsWith(QLatin1String("@@")))
        return v.mid(1);
    for (const char* form : {"@String(", "@ByteArray("}) {
        const QLatin1String f(form);
        if (v.startsWith(f) && v.endsWith(QLatin1Char(')')))
            return v.mid(f.size(), v.size() - f.size() - 1);
    }
    if (v == QLatin1String("@Invalid()"))
        return QString();
    return v;
}

} // namespace

QString unescape(const QByteArray& s, bool* isList)
{
    QStringList items;
    QString current;
    bool list = false, quoted = false, currentQuoted = false;
    int i = 0;
    const int size = int(s.size());
    const auto skipSpaces = [&] {
        while (i < size && isSpace(s[i]))
            ++i;
    };
    skipSpaces();
    int chopLimit = 0;
    while (i < size) {
        const char c = s[i];
        if (c == '\\') {
            ++i;
            if (i >= size)
                break;
            const char e = s[i++];
            static const char codes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                            {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                            {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            bool done = false;
            for (const auto& code : codes) {
                if (e == code[0]) {
                    current += QLatin1Char(code[1]);
                    done = true;
                    break;
                }
            }
            if (!done && e == 'x' && i < size && hexValue(s[i]) >= 0) {
                uint v = 0;
                while (i < size && hexValue(s[i]) >= 0)
                    v = (v * 16 + uint(hexValue(s[i++]))) & 0xFFFF;
                current += QChar(char16_t(v));
            } else if (!done && e >= '0' && e <= '7') {
                uint v = uint(e - '0');
                while (i < size && s[i] >= '0' && s[i] <= '7')
                    v = (v * 8 + uint(s[i++] - '0')) & 0xFFFF;
                current += QChar(char16_t(v));
            } else if (!done && (e == '\n' || e == '\r')) {
                // A line continued: the line break goes.
                if (i < size && (s[i] == '\n' || s[i] == '\r') && s[i] != e)
                    ++i;
            }
            // any other escaped character is dropped, as QSettings drops it
            chopLimit = int(current.size());
            continue;
        }
        if (c == '"') {
            ++i;
            currentQuoted = true;
            quoted = !quoted;
            if (!quoted)
                skipSpaces();
            continue;
        }
        if (c == ',' && !quoted) {
            if (!currentQuoted)
                chopSpaces(current, chopLimit);
            list = true;
            items << unmark(current);
            current.clear();
            currentQuoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
            continue;
        }
        int j = i + 1;
        while (j < size && s[j] != '\\' && s[j] != '"' && s[j] != ',')
            ++j;
        current += QString::fromUtf8(s.constData() + i, j - i);
        i = j;
    }
    if (!currentQuoted)
        chopSpaces(current, chopLimit);
    if (isList)
        *isList = list;
    if (!list)
        return unmark(current);
    items << unmark(current);
    return items.join(QLatin1Char(','));
}

QByteArray escape(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    bool plain = !utf8.isEmpty() && !utf8.startsWith(' ') && !utf8.endsWith(' ') &&
                 !utf8.startsWith('\t') && !utf8.endsWith('\t') && !utf8.startsWith('@');
    for (const char c : utf8)
        plain = plain && c != ',' && c != ';' && c != '"' && c != '\\' && uchar(c) >= 0x20 &&
                c != 0x7f;
    if (plain)
        return utf8;
    // "@" first would be read as a mark of QSettings' own: doubled, as it doubles it.
    QByteArray out = utf8.startsWith('@') ? "\"@" : "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            // The quotes closed and opened again end the hexadecimal digits.
            if (uchar(c) < 0x20 || c == 0x7f)
                out += "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0') + "\"\"";
            else
                out += c;
        }
    }
    return out + '"';
}

QVector<Line> parse(const QByteArray& bytes)
{
    QVector<Line> lines;
    const int size = int(bytes.size());
    int i = 0, number = 1;
    while (i < size) {
        // One logical line: to its end, past quoted and escaped line breaks,
        // its value ending at an unquoted ';'.
        int lead = i;
        while (lead < size && isSpace(bytes[lead]))
            ++lead;
        if (lead < size && (bytes[lead] == '#' || bytes[lead] == ';')) {
            while (lead < size && bytes[lead] != '\n')
                ++lead;
            i = lead + 1;
            ++number;
            continue;
        }
        const int start = i, startNumber = number;
        int equals = -1, comment = -1;
        bool quoted = false;
        while (i < size) {
            const char c = bytes[i];
            if (c == '\n' || c == '\r') {
                if (!quoted)
                    break;
                if (c == '\n')
                    ++number;
                ++i;
                continue;
            }
            if (c == '\\' && i + 1 < size) {
                if (bytes[i + 1] == '\n')
                    ++number;
                if (comment < 0 && bytes[i + 1] == '\r' && i + 2 < size && bytes[i + 2] == '\n') {
                    ++number;
                    ++i;
                }
                i += 2;
                continue;
            }
            if (comment < 0) {
                if (c == '"')
                    quoted = !quoted;
                else if (c == '=' && equals < 0 && !quoted)
                    equals = i;
                else if (c == ';' && !quoted)
                    comment = i;
            }
            ++i;
        }
        const int end = comment >= 0 ? comment : i;
        // Past the line break.
        if (i < size && bytes[i] == '\r')
            ++i;
        if (i < size && bytes[i] == '\n') {
            ++i;
            ++number;
        }
        const QByteArray raw = bytes.mid(start, end - start);
        const QByteArray trimmed = raw.trimmed();
        if (trimmed.isEmpty())
            continue;
        Line line;
        line.number = startNumber;
        line.text = QString::fromUtf8(bytes.mid(start, i - start)).trimmed();
        if (trimmed.startsWith('[')) {
            const int close = int(trimmed.indexOf(']'));
            line.kind = close > 0 ? Line::Kind::Section : Line::Kind::Other;
            line.key = QString::fromUtf8(trimmed.mid(1, close - 1)).trimmed();
        } else if (equals >= 0 && equals < end) {
            line.kind = Line::Kind::Pair;
            line.key = QString::fromUtf8(bytes.mid(start, equals - start)).trimmed();
            line.value = unescape(bytes.mid(equals + 1, end - equals - 1), &line.list);
        }
        lines << line;
    }
    return lines;
}

} // namespace IniText
