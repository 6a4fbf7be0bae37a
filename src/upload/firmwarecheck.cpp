#include "firmwarecheck.h"

#include "firmwarestream.h"
#include "hexdigits.h"

#include <QBuffer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <climits>

namespace {

using HexDigits::value;

int byteAt(const QByteArray& r, int i)
{
    return HexDigits::byteAt(r.constData() + i);
}

QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString hexAddress(quint64 address, int digits)
{
    return QStringLiteral("%1").arg(address, digits, 16, QLatin1Char('0')).toUpper();
}

int digitsFor(quint64 highest)
{
    return highest > 0xFFFFFF ? 8 : highest > 0xFFFF ? 6 : 4;
}

QString firstBadDigit(const QByteArray& r, int from)
{
    for (int i = from; i < r.size(); ++i) {
        if (value(r[i]) < 0) {
            return QStringLiteral("character %1 (\"%2\") is not a hexadecimal digit")
                .arg(i + 1)
                .arg(QString::fromLatin1(r.mid(i, 1)));
        }
    }
    return QString();
}

// Bytes of address that each S-record type carries; -1 for no such type.
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

// A sound record, taken apart.
struct Record {
    enum class Kind { Header, Data, Count, End, Other } kind = Kind::Other;
    quint64 address = 0;
    QByteArray data;
};

Record decodeSRecord(const QByteArray& r)
{
    Record record;
    const int addressLength = addressBytes(r[1]);
    const int count = byteAt(r, 2);
    for (int i = 0; i < addressLength; ++i)
        record.address = record.address << 8 | quint64(byteAt(r, 4 + 2 * i));
    for (int i = 4 + 2 * addressLength; i + 3 < r.size(); i += 2)
        record.data.append(char(byteAt(r, i)));
    Q_ASSERT(record.data.size() == count - addressLength - 1);
    switch (r[1]) {
    case '0':
        record.kind = Record::Kind::Header;
        break;
    case '1':
    case '2':
    case '3':
        record.kind = Record::Kind::Data;
        break;
    case '5':
    case '6':
        record.kind = Record::Kind::Count;
        break;
    default:
        record.kind = Record::Kind::End;
        break;
    }
    return record;
}

// Data written by one record, kept to find two records writing one address.
struct Segment {
    quint64 address;
    int length;
    int line;
    int offset; // into the bytes kept
};

} // namespace

QString FirmwareCheck::formatName() const
{
    switch (format) {
    case Format::SRecords:
        return QStringLiteral("S-records");
    case Format::IntelHex:
        return QStringLiteral("Intel HEX records");
    case Format::Text:
        break;
    }
    return QStringLiteral("text lines");
}

QString FirmwareCheck::problemCountText() const
{
    return problemCount == 1 ? QStringLiteral("1 problem")
                             : QStringLiteral("%1 problems").arg(problemCount);
}

QString FirmwareCheck::firstProblemText() const
{
    if (problems.isEmpty())
        return problemCountText();
    // A problem of the whole file (no end record) has no line.
    const Problem& first = problems.first();
    return first.line > 0 ? QStringLiteral("%1, line %2: %3")
                                .arg(problemCountText())
                                .arg(first.line)
                                .arg(first.text)
                          : QStringLiteral("%1: %2").arg(problemCountText(), first.text);
}

QString FirmwareCheck::describeRanges(const QVector<Range>& ranges)
{
    if (ranges.isEmpty())
        return QStringLiteral("no data");
    const int digits = digitsFor(ranges.last().high);
    QStringList parts;
    for (const Range& r : ranges)
        parts << hexAddress(r.low, digits) + QLatin1Char('-') + hexAddress(r.high, digits);
    return parts.join(QStringLiteral(", "));
}

std::optional<FirmwareCheck::Range> FirmwareCheck::parseRange(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 2)
        return std::nullopt;
    auto value = [](QString part, bool* ok) {
        part = part.trimmed();
        if (part.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            part.remove(0, 2);
        return part.isEmpty() ? (*ok = false, 0ull) : part.toULongLong(ok, 16);
    };
    bool okLow = false, okHigh = false;
    const Range r{value(parts[0], &okLow), value(parts[1], &okHigh)};
    if (!okLow || !okHigh || r.low > r.high || r.high > 0xFFFFFFFFull)
        return std::nullopt;
    return r;
}

QString FirmwareCheck::checkRecord(const QByteArray& r)
{
    if (r.size() < 2 || r[0] != 'S' || r[1] < '0' || r[1] > '9')
        return QStringLiteral("not an S-record (a record starts with S and a type digit)");
    const int address = addressBytes(r[1]);
    if (address < 0)
        return QStringLiteral("S%1 is not a record type").arg(QLatin1Char(r[1]));
    if (const QString bad = firstBadDigit(r, 2); !bad.isEmpty())
        return bad;
    if (r.size() < 4)
        return QStringLiteral("the record has no count");
    const int count = byteAt(r, 2);
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
        sum += byteAt(r, i);
    const int expected = ~sum & 0xff;
    const int stated = byteAt(r, r.size() - 2);
    if (expected != stated)
        return QStringLiteral("checksum is %1, the record says %2")
            .arg(hexByte(expected), hexByte(stated));
    return QString();
}

QString FirmwareCheck::checkIntelRecord(const QByteArray& r)
{
    if (r.isEmpty() || r[0] != ':')
        return QStringLiteral("not an Intel HEX record (a record starts with \":\")");
    if (const QString bad = firstBadDigit(r, 1); !bad.isEmpty())
        return bad;
    if (r.size() < 11)
        return QStringLiteral("the record is %1 characters long, too short for a record")
            .arg(r.size());
    if ((r.size() - 1) % 2 != 0)
        return QStringLiteral("the record has an odd number of hexadecimal digits");
    const int length = byteAt(r, 1);
    if (r.size() != 11 + 2 * length) {
        return QStringLiteral("the record has %1 data characters, its length says %2 bytes (%3 "
                              "characters)")
            .arg(r.size() - 11)
            .arg(length)
            .arg(2 * length);
    }
    int sum = 0;
    for (int i = 1; i + 3 < r.size(); i += 2)
        sum += byteAt(r, i);
    const int expected = -sum & 0xff;
    const int stated = byteAt(r, r.size() - 2);
    if (expected != stated)
        return QStringLiteral("checksum is %1, the record says %2")
            .arg(hexByte(expected), hexByte(stated));
    const int type = byteAt(r, 7);
    if (type > 5)
        return QStringLiteral("record type %1 is not one of 00 to 05").arg(hexByte(type));
    static const int lengthOf[] = {-1, 0, 2, 4, 2, 4};
    if (lengthOf[type] >= 0 && length != lengthOf[type])
        return QStringLiteral("a type %1 record has %2 bytes of data, not %3")
            .arg(hexByte(type))
            .arg(lengthOf[type])
            .arg(length);
    return QString();
}

std::optional<FirmwareCheck> FirmwareCheck::of(const QString& path, QString* error,
                                               const Options& options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 could not be opened: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    return of(file, path, error, options);
}

FirmwareCheck FirmwareCheck::of(const QByteArray& bytes, const Options& options)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QString never;
    return *of(buffer, QString(), &never, options);
}

std::optional<FirmwareCheck> FirmwareCheck::of(QIODevice& file, const QString& path, QString* error,
                                               const Options& options)
{
    FirmwareCheck check;
    // The first problems by line are listed. They mostly come in line order,
    // so keeping the lowest few at a time bounds the memory a bad file takes.
    QVector<Problem> found;
    const auto byLine = [](const Problem& a, const Problem& b) {
        return (a.line ? a.line : INT_MAX) < (b.line ? b.line : INT_MAX);
    };
    auto problem = [&](int line, const QString& text) {
        ++check.problemCount;
        found.append({line, text});
        if (found.size() > 4 * MaximumListed) {
            std::stable_sort(found.begin(), found.end(), byLine);
            found.resize(MaximumListed);
        }
    };
    int firstBlank = 0;    // of the blank lines since the last line with text
    int endRecordLine = 0; // the first end record
    bool followed = false; // records came after it
    bool decided = false;  // the first line with text was seen
    int dataRecords = 0;
    quint64 intelBase = 0; // from the last type 02 or 04 record
    QVector<Segment> segments;
    QByteArray written;
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
            if (line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9')
                check.format = Format::SRecords;
            else if (line[0] == ':')
                check.format = Format::IntelHex;
        }
        if (firstBlank) {
            // Blank lines before more text are sent, and nothing answers them;
            // at the very end they are harmless.
            problem(firstBlank, QStringLiteral("empty line: the unit would never answer it"));
            firstBlank = 0;
        }
        if (check.format == Format::Text)
            continue;
        if (endRecordLine && !followed) {
            followed = true;
            problem(endRecordLine, check.format == Format::SRecords
                                       ? QStringLiteral("the end record is not the last record "
                                                        "(line %1 follows it)")
                                             .arg(number)
                                       : QStringLiteral("the end-of-file record is not the last "
                                                        "record (line %1 follows it)")
                                             .arg(number));
        }

        Record record;
        if (check.format == Format::SRecords) {
            const QString wrong = checkRecord(line);
            if (!wrong.isEmpty()) {
                problem(number, wrong);
                continue;
            }
            record = decodeSRecord(line);
        } else {
            const QString wrong = checkIntelRecord(line);
            if (!wrong.isEmpty()) {
                problem(number, wrong);
                continue;
            }
            const int type = byteAt(line, 7);
            const quint64 offset = quint64(byteAt(line, 3) << 8 | byteAt(line, 5));
            for (int i = 9; i + 3 < line.size(); i += 2)
                record.data.append(char(byteAt(line, i)));
            const auto value = [&] {
                quint64 v = 0;
                for (char c : record.data)
                    v = v << 8 | uchar(c);
                return v;
            };
            if (type == 0) {
                record.kind = Record::Kind::Data;
                record.address = intelBase + offset;
            } else if (type == 1) {
                record.kind = Record::Kind::End;
            } else if (type == 2) {
                intelBase = value() << 4;
            } else if (type == 4) {
                intelBase = value() << 16;
            }
        }

        switch (record.kind) {
        case Record::Kind::Data: {
            ++dataRecords;
            if (record.data.isEmpty())
                break;
            const quint64 last = record.address + quint64(record.data.size()) - 1;
            if (options.allowed &&
                (record.address < options.allowed->low || last > options.allowed->high)) {
                const int digits = digitsFor(qMax(last, options.allowed->high));
                problem(number,
                        QStringLiteral("data at %1-%2 lies outside the address range "
                                       "%3-%4")
                            .arg(hexAddress(record.address, digits), hexAddress(last, digits),
                                 hexAddress(options.allowed->low, digits),
                                 hexAddress(options.allowed->high, digits)));
            }
            segments.append({record.address, int(record.data.size()), number, int(written.size())});
            written.append(record.data);
            break;
        }
        case Record::Kind::Count:
            if (record.address != quint64(dataRecords)) {
                problem(number, QStringLiteral("the record counts %1 data records, the file has "
                                               "%2 before it")
                                    .arg(record.address)
                                    .arg(dataRecords));
            }
            break;
        case Record::Kind::End:
            if (!endRecordLine)
                endRecordLine = number;
            break;
        case Record::Kind::Header:
        case Record::Kind::Other:
            break;
        }
    }
    if (check.format == Format::SRecords && !endRecordLine)
        problem(0, QStringLiteral("there is no end record (S7, S8 or S9)"));
    if (check.format == Format::IntelHex && !endRecordLine)
        problem(0, QStringLiteral("there is no end-of-file record (:00000001FF)"));

    // Two records writing one address: different bytes are an error at the
    // later line, the same bytes again only a note.
    std::stable_sort(segments.begin(), segments.end(),
                     [](const Segment& a, const Segment& b) { return a.address < b.address; });
    QVector<Segment> reaching; // earlier segments that reach past the current start
    for (const Segment& s : segments) {
        const quint64 end = s.address + quint64(s.length);
        reaching.erase(std::remove_if(reaching.begin(), reaching.end(),
                                      [&](const Segment& o) {
                                          return o.address + quint64(o.length) <= s.address;
                                      }),
                       reaching.end());
        for (const Segment& o : reaching) {
            const Segment& first = o.line <= s.line ? o : s;
            const Segment& second = o.line <= s.line ? s : o;
            const quint64 low = s.address;
            const quint64 high = qMin(end, o.address + quint64(o.length));
            const int digits = digitsFor(high);
            bool same = true;
            for (quint64 a = low; a < high && same; ++a) {
                const char was = written[first.offset + int(a - first.address)];
                const char now = written[second.offset + int(a - second.address)];
                if (was != now) {
                    same = false;
                    problem(second.line, QStringLiteral("writes %1 to address %2, where line %3 "
                                                        "wrote %4")
                                             .arg(hexByte(uchar(now)), hexAddress(a, digits))
                                             .arg(first.line)
                                             .arg(hexByte(uchar(was))));
                }
            }
            if (same) {
                ++check.noteCount;
                if (check.notes.size() < MaximumListed) {
                    check.notes.append(
                        {second.line,
                         QStringLiteral("writes again what line %1 wrote at %2-%3")
                             .arg(first.line)
                             .arg(hexAddress(low, digits), hexAddress(high - 1, digits))});
                }
            }
        }
        reaching.append(s);
        if (check.ranges.isEmpty() || s.address > check.ranges.last().high + 1)
            check.ranges.append({s.address, end - 1});
        else
            check.ranges.last().high = qMax(check.ranges.last().high, end - 1);
    }
    std::sort(check.notes.begin(), check.notes.end(),
              [](const Problem& a, const Problem& b) { return a.line < b.line; });

    // In line order, what concerns the file as a whole last.
    std::stable_sort(found.begin(), found.end(), byLine);
    check.problems = found.mid(0, MaximumListed);
    return check;
}
