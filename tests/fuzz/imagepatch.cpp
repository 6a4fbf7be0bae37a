// A unit's bytes put into any image: whatever the records, every line keeps
// its length, only lines that hold a patched byte change, and a file that
// passed its check still passes it.
#include "upload/imagepatch.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    // The first bytes choose the patch; the rest is the file.
    const quint64 address = quint64(data[0]) << 8 | data[1];
    const int length = 1 + data[2] % 8;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 3, int(size - 3));
    FirmwareImage image;
    image.path = QStringLiteral("fuzzed");
    image.bytes = bytes;
    image.facts = FirmwareImage::examine(bytes);
    const FirmwareCheck check = FirmwareCheck::of(bytes);
    QString why;
    const auto patchable = PatchableImage::of(image, check, &why);
    if (!patchable)
        return 0;
    const ImagePatch patch{address, QByteArray(length, char(data[2]))};
    QVector<int> changed;
    if (!patchable->lines(patch, &changed, &why))
        return 0;
    const FirmwareImage unit = patchable->apply({patch});
    const QList<QByteArray> was = bytes.split('\n');
    const QList<QByteArray> now = unit.bytes.split('\n');
    if (now.size() != was.size())
        std::abort();
    for (int i = 0; i < was.size(); ++i) {
        if (now[i].size() != was[i].size())
            std::abort();
        if (now[i] != was[i] && !changed.contains(i + 1))
            std::abort();
    }
    if (check.passed() && !FirmwareCheck::of(unit.bytes).passed())
        std::abort();
    return 0;
}
