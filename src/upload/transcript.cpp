#include "transcript.h"

namespace Transcript {

QChar symbol(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7f)
        return QChar(char16_t(0x2421));
    if (u >= 0x80 && u < 0xa0)
        return QChar(char16_t(0xfffd));
    return c;
}

QString shown(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            result += QLatin1Char('\n');
            ++i;
        } else if (c == QLatin1Char('\n')) {
            result += QLatin1Char('\n');
        } else {
            result += symbol(c);
        }
    }
    return result;
}

} // namespace Transcript
