#include "imagepatch.h"

#include "hexdigits.h"

#include <QSet>
#include <algorithm>

namespace {

using HexDigits::byteAt;

} // namespace

QString ImagePatch::hexAddress(quint64 address)
{
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

QString ImagePatch::text() const
{
    return hexAddress(address) + QLatin1Char(':') + QString::fromLatin1(bytes.toHex().toUpper());
}

std::optional<PatchableImage> PatchableImage::of(const FirmwareImage& image,
                                                 const FirmwareCheck& check, QString* error)
{
    PatchableImage p;
    p.m_image = image;
    p.m_format = check.format;
    for (const FirmwareCheck::Problem& problem : check.problems) {
        if (problem.line > 0)
            p.m_reported.append(problem.line);
    }
    std::sort(p.m_reported.begin(), p.m_reported.end());
    if (!check.records()) {
        *error = QStringLiteral("%1 holds no S-records or Intel HEX records, so there is nowhere "
                                "to put a unit's own bytes")
                     .arg(image.path);
        return std::nullopt;
    }
    const QByteArray& bytes = image.bytes;
    quint64 intelBase = 0;
    int number = 0;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > start && bytes.at(end - 1) == '\r')
            --end;
        ++number;
        const QByteArray record = QByteArray::fromRawData(bytes.constData() + start, end - start);
        const char* r = record.constData();
        if (check.format == FirmwareCheck::Format::SRecords) {
            const char type = record.size() > 1 ? r[1] : 0;
            if ((type == '1' || type == '2' || type == '3') &&
                FirmwareCheck::checkRecord(record).isEmpty()) {
                const int addressLength = type - '0' + 1;
                quint64 address = 0;
                for (int i = 0; i < addressLength; ++i)
                    address = address << 8 | quint64(byteAt(r + 4 + 2 * i));
                const int length = byteAt(r + 2) - addressLength - 1;
                if (length > 0)
                    p.m_segments.append(
                        {address, length, number, start + 2, start + 4 + 2 * addressLength});
            }
        } else if (FirmwareCheck::checkIntelRecord(record).isEmpty()) {
            const int type = byteAt(r + 7);
            const int length = byteAt(r + 1);
            quint64 value = 0;
            for (int i = 0; i < length; ++i)
                value = value << 8 | quint64(byteAt(r + 9 + 2 * i));
            if (type == 0 && length > 0) {
                const quint64 offset = quint64(byteAt(r + 3) << 8 | byteAt(r + 5));
                p.m_segments.append({intelBase + offset, length, number, start + 1, start + 9});
            } else if (type == 2) {
                intelBase = value << 4;
            } else if (type == 4) {
                intelBase = value << 16;
            }
        }
        start = next;
    }
    std::stable_sort(p.m_segments.begin(), p.m_segments.end(),
                     [](const Segment& a, const Segment& b) { return a.address < b.address; });
    return p;
}

template <typename Visit>
bool PatchableImage::forEachHolder(quint64 address, Visit visit) const
{
    // Records are at most 255 bytes long: those that may hold the address
    // start within that much below it.
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), address,
                               [](quint64 v, const Segment& s) { return v < s.address; });
    bool held = false;
    while (it != m_segments.begin()) {
        --it;
        if (address - it->address > 255)
            break;
        if (address >= it->address + quint64(it->length))
            continue;
        held = true;
        if (!visit(*it))
            return true;
    }
    return held;
}

bool PatchableImage::lines(const ImagePatch& patch, QVector<int>* lines, QString* error) const
{
    QSet<int> found;
    for (quint64 a = patch.address; a < patch.end(); ++a) {
        bool reported = false;
        const bool held = forEachHolder(a, [&](const Segment& s) {
            reported = std::binary_search(m_reported.begin(), m_reported.end(), s.line);
            if (reported) {
                *error = QStringLiteral("%1 lies on line %2 of %3, which fails the file check")
                             .arg(ImagePatch::hexAddress(a))
                             .arg(s.line)
                             .arg(m_image.path);
                return false;
            }
            found.insert(s.line);
            return true;
        });
        if (reported)
            return false;
        if (!held) {
            *error = QStringLiteral("no data record of %1 holds address %2")
                         .arg(m_image.path, ImagePatch::hexAddress(a));
            return false;
        }
    }
    *lines = QVector<int>(found.begin(), found.end());
    std::sort(lines->begin(), lines->end());
    return true;
}

FirmwareImage PatchableImage::apply(const QVector<ImagePatch>& patches) const
{
    FirmwareImage unit = m_image;
    if (patches.isEmpty())
        return unit;
    QByteArray& bytes = unit.bytes;
    bytes.detach();
    QSet<int> touched; // indexes into m_segments
    for (const ImagePatch& patch : patches) {
        for (quint64 a = patch.address; a < patch.end(); ++a) {
            forEachHolder(a, [&](const Segment& s) {
                put(bytes, s, a, uchar(patch.bytes.at(int(a - patch.address))));
                touched.insert(int(&s - m_segments.constData()));
                return true;
            });
        }
    }
    for (int i : touched)
        checksum(bytes, m_segments[i]);
    return unit;
}

namespace {

// Digits as the record has them: lower case only where it already is.
bool lowerCase(const QByteArray& bytes, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i) {
        if (bytes.at(i) >= 'a' && bytes.at(i) <= 'f')
            return true;
    }
    return false;
}

void putByte(QByteArray& bytes, qsizetype at, uchar value, bool lower)
{
    const char* digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
    bytes[at] = digits[value >> 4];
    bytes[at + 1] = digits[value & 0xF];
}

} // namespace

void PatchableImage::put(QByteArray& bytes, const Segment& s, quint64 address, uchar value) const
{
    const qsizetype end = s.dataAt + 2 * s.length + 2;
    putByte(bytes, s.dataAt + 2 * qsizetype(address - s.address), value,
            lowerCase(bytes, s.recordAt, end));
}

void PatchableImage::checksum(QByteArray& bytes, const Segment& s) const
{
    const qsizetype at = s.dataAt + 2 * s.length; // the checksum's digits
    int sum = 0;
    for (qsizetype i = s.recordAt; i < at; i += 2)
        sum += byteAt(bytes.constData() + i);
    const int value = m_format == FirmwareCheck::Format::SRecords ? (~sum & 0xff) : (-sum & 0xff);
    putByte(bytes, at, uchar(value), lowerCase(bytes, s.recordAt, at + 2));
}
