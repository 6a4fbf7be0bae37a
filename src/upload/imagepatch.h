#pragma once

#include "firmwarecheck.h"
#include "firmwarestream.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

// Bytes put into a firmware image at an address, for one unit.
struct ImagePatch {
    quint64 address = 0;
    QByteArray bytes;

    quint64 end() const { return address + quint64(bytes.size()); } // one past the last
    // "0x2000:0011AABB"
    QString text() const;
    // "0x040E": four digits at least, upper case.
    static QString hexAddress(quint64 address);
};

// Where each data byte of an S-record or Intel HEX image lies, so that a
// unit's own bytes (a serial number, a key) go out in the lines that hold
// them: the same length, address and record type, new data and a new
// checksum. Every other line stays the file's own bytes. The file on disk
// is never touched.
class PatchableImage
{
public:
    // Nothing for a file that holds no data records; `error` says why.
    static std::optional<PatchableImage> of(const FirmwareImage& image, const FirmwareCheck& check,
                                            QString* error);

    // The lines (1-based) that `patch` changes; false, with the address in
    // `error`, for a byte no data record holds or one on a line the file
    // check reports.
    [[nodiscard]] bool lines(const ImagePatch& patch, QVector<int>* lines, QString* error) const;

    // A copy of the image with the patches put in.
    FirmwareImage apply(const QVector<ImagePatch>& patches) const;

private:
    // One data record: its bytes at `address`, their hexadecimal digits at
    // `dataAt` in the image, the checksum's right after them.
    struct Segment {
        quint64 address;
        int length;
        int line;
        qsizetype recordAt; // the first digit the checksum covers
        qsizetype dataAt;
    };

    // Calls `visit` with each record that holds `address` while it returns
    // true; false when no record holds it.
    template <typename Visit>
    bool forEachHolder(quint64 address, Visit visit) const;
    void put(QByteArray& bytes, const Segment& s, quint64 address, uchar value) const;
    void checksum(QByteArray& bytes, const Segment& s) const;

    FirmwareImage m_image;
    FirmwareCheck::Format m_format = FirmwareCheck::Format::Text;
    QVector<Segment> m_segments; // by address
    QVector<int> m_reported;     // lines the check reports, ascending
};
