#pragma once

#include <QString>
#include <QVector>
#include <optional>

class QIODevice;

// What can be told about a firmware file before anything is sent.
//
// Motorola S-records (S0 to S9): each record's length, hexadecimal digits
// and checksum, an S5 or S6 count that matches the data records before it,
// and the end record last. Intel HEX: each record's length and checksum,
// record types 00 to 05, and the end-of-file record last. For both: two
// records that write different bytes to one address, and data outside an
// allowed address range. For every file: empty lines in the middle (the
// unit would never answer one) and lines too long to be text.
struct FirmwareCheck {
    enum class Format { Text, SRecords, IntelHex };

    struct Problem {
        int line = 0; // 0: the file as a whole
        QString text;
    };
    // Inclusive.
    struct Range {
        quint64 low = 0;
        quint64 high = 0;
        bool operator==(const Range& o) const { return low == o.low && high == o.high; }
    };
    struct Options {
        std::optional<Range> allowed; // data outside it is a problem
    };

    Format format = Format::Text;
    int lines = 0;
    int problemCount = 0;      // all of them
    QVector<Problem> problems; // the first MaximumListed, in line order
    int noteCount = 0;         // worth knowing, but no problem
    QVector<Problem> notes;
    QVector<Range> ranges; // the addresses the data covers, merged, ascending

    static constexpr int MaximumListed = 50;

    bool passed() const { return problemCount == 0; }
    bool records() const { return format != Format::Text; }
    QString formatName() const;
    // "1 problem" or "3 problems", and with the first: ", line 7: ..."
    QString problemCountText() const;
    QString firstProblemText() const;
    // "0318-0333, 0338-039B", as wide as the highest address needs.
    static QString describeRanges(const QVector<Range>& ranges);
    // "LOW-HIGH" in hexadecimal; nothing when it is not one.
    static std::optional<Range> parseRange(const QString& text);

    // Nothing when the file cannot be read; `error` then says why.
    static std::optional<FirmwareCheck> of(const QString& path, QString* error,
                                           const Options& options = {});
    // The same of bytes already read, such as a firmware image.
    static FirmwareCheck of(const QByteArray& bytes, const Options& options = {});
    // One record, without its line ending; empty when it is sound.
    static QString checkRecord(const QByteArray& record);
    static QString checkIntelRecord(const QByteArray& record);

private:
    static std::optional<FirmwareCheck> of(QIODevice& file, const QString& path, QString* error,
                                           const Options& options);
};
