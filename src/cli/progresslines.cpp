#include "progresslines.h"

#include <cstdio>

void ProgressLines::draw(const QStringList& lines)
{
    QString out;
    if (m_drawn > 0)
        out += QStringLiteral("\x1b[%1A").arg(m_drawn);
    for (const QString& l : lines)
        out += QStringLiteral("\r\x1b[K") + l + QLatin1Char('\n');
    for (int i = int(lines.size()); i < m_drawn; ++i)
        out += QStringLiteral("\r\x1b[K\n");
    if (m_drawn > int(lines.size()))
        out += QStringLiteral("\x1b[%1A").arg(m_drawn - int(lines.size()));
    m_drawn = int(lines.size());
    if (!out.isEmpty()) {
        std::fputs(qPrintable(out), stderr);
        std::fflush(stderr);
    }
}

void ProgressLines::say(const QString& text, Journal::Level level)
{
    const QByteArray prefix = Journal::prefix(level);
    QByteArray out;
    for (const QString& line : text.split(QLatin1Char('\n')))
        out += prefix + line.toLocal8Bit() + '\n';
    std::fputs(out.constData(), stderr);
    std::fflush(stderr);
}

void ProgressLines::complain(const QString& text)
{
    say(QStringLiteral("firmware-upload: ") + text, Journal::Level::Error);
}

QString ProgressLines::minutes(double s)
{
    const int whole = int(s + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}
