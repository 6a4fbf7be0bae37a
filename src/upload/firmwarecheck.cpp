#include "firmwarecheck.h"

#include "firmwarestream.h"

#include <QFile>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

// Bytes of address that each record type carries; -1 for no such type.
int addressBytes(char type)
{
    switch (type) {
    case '0':
    case '1':
    case '5':
    case '9':
        return 2;
    case '2':
    case '6':
    case '8':
        return 3;
    case '3':
    case '7':
        return 4;
    default:
        return -1;
    }
}

bool isEndRecord(const QByteArray& line)
{
    return line.size() >= 2 && line[0] == 'S' &&
           (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

} // namespace

QString FirmwareCheck::checkRecord(const QByteArray& r)
{
    if (r.size() < 2 || r[0] != 'S' || r[1] < '0' || r[1] > '9')
        return QStringLiteral("not an S-record (a record starts with S and a type digit)");
    const int address = addressBytes(r[1]);
    if (address < 0)
        return QStringLiteral("S%1 is not a record type").arg(QLatin1Char(r[1]));
    for (int i = 2; i < r.size(); ++i) {
        if (hexValue(r[i]) < 0) {
            return QStringLiteral("character %1 (\"%2\") is not a hexadecimal digit")
                .arg(i + 1)
                .arg(QString::fromLatin1(r.mid(i, 1)));
        }
    }
    if (r.size() < 4)
        return QStringLiteral("the record has no count");
    const int count = hexValue(r[2]) * 16 + hexValue(r[3]);
    if (r.size() != 4 + 2 * count) {
        return QStringLiteral("the record has %1 characters after its count, the count says %2 "
                              "bytes (%3 characters)")
            .arg(r.size() - 4)
            .arg(count)
            .arg(2 * count);
    }
    if (count < address + 1)
        return QStringLiteral("count %1 is too short for an S%2 record")
            .arg(hexByte(count))
            .arg(QLatin1Char(r[1]));
    int sum = 0;
    for (int i = 2; i + 3 < r.size(); i += 2)
        sum += hexValue(r[i]) * 16 + hexValue(r[i + 1]);
    const int expected = ~sum & 0xff;
    const int stated = hexValue(r[r.size() - 2]) * 16 + hexValue(r[r.size() - 1]);
    if (expected != stated)
        return QStringLiteral("checksum is %1, the record says %2")
            .arg(hexByte(expected), hexByte(stated));
    return QString();
}

std::optional<FirmwareCheck> FirmwareCheck::of(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 could not be opened: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    FirmwareCheck check;
    auto problem = [&](int line, const QString& text) {
        if (check.problems.size() < MaximumListed)
            check.problems.append({line, text});
        ++check.problemCount;
    };
    int firstBlank = 0;    // of the blank lines since the last line with text
    int endRecordLine = 0; // the first end record
    bool followed = false; // records came after it
    bool decided = false;  // the first line with text was seen
    QByteArray buffer;
    while (!file.atEnd()) {
        const qint64 n = FirmwareStream::readRawLine(file, buffer);
        QByteArray line(buffer.constData(), qMax<qint64>(0, n));
        if (n <= 0 && !file.atEnd()) {
            *error = QStringLiteral("Reading %1 failed: %2.").arg(path, file.errorString());
            return std::nullopt;
        }
        const int number = ++check.lines;
        const bool complete = line.endsWith('\n');
        if (complete) {
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
        }
        if (line.size() > FirmwareStream::MaximumLineLength) {
            problem(number, QStringLiteral("the line is over %1 bytes long, so the file does not "
                                           "look like a firmware text file")
                                .arg(FirmwareStream::MaximumLineLength));
            // The rest of the line is not a line of its own.
            for (bool ended = complete; !ended && !file.atEnd();) {
                const qint64 more = FirmwareStream::readRawLine(file, buffer);
                ended = more <= 0 || buffer[int(more - 1)] == '\n';
            }
            continue;
        }
        if (line.isEmpty()) {
            if (!firstBlank)
                firstBlank = number;
            continue;
        }
        if (!decided) {
            decided = true;
            check.srecords = line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9';
        }
        if (firstBlank) {
            // Blank lines before more text are sent, and nothing answers them;
            // at the very end they are harmless.
            problem(firstBlank, QStringLiteral("empty line: the unit would never answer it"));
            firstBlank = 0;
        }
        if (!check.srecords)
            continue;
        const QString wrong = checkRecord(line);
        if (!wrong.isEmpty())
            problem(number, wrong);
        if (endRecordLine && !followed) {
            followed = true;
            problem(endRecordLine, QStringLiteral("the end record is not the last record (line %1 "
                                                  "follows it)")
                                       .arg(number));
        }
        if (!endRecordLine && wrong.isEmpty() && isEndRecord(line))
            endRecordLine = number;
    }
    if (check.srecords && !endRecordLine)
        problem(0, QStringLiteral("there is no end record (S7, S8 or S9)"));
    return check;
}
