// The firmware file check, on any bytes: it must hold its own limits and
// never read past what a record says.
#include "upload/firmwarecheck.h"

#include <QFile>
#include <QTemporaryFile>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryFile* file = [] {
        auto* f = new QTemporaryFile;
        if (!f->open())
            std::abort();
        return f;
    }();
    file->resize(0);
    file->seek(0);
    file->write(reinterpret_cast<const char*>(data), qint64(size));
    file->flush();
    QString why;
    FirmwareCheck::Options options;
    if (size > 0 && data[0] & 1)
        options.allowed = FirmwareCheck::Range{0x100, 0xFFFF};
    const auto check = FirmwareCheck::of(file->fileName(), &why, options);
    if (!check)
        std::abort();
    if (check->problems.size() > FirmwareCheck::MaximumListed ||
        check->problemCount < check->problems.size() || check->notes.size() > check->noteCount)
        std::abort();
    for (int i = 1; i < check->problems.size(); ++i) {
        const int a = check->problems[i - 1].line, b = check->problems[i].line;
        if (a == 0 && b != 0)
            std::abort(); // whole-file problems come last
        if (a != 0 && b != 0 && a > b)
            std::abort();
    }
    for (int i = 0; i < check->ranges.size(); ++i) {
        if (check->ranges[i].low > check->ranges[i].high)
            std::abort();
        if (i > 0 && check->ranges[i].low <= check->ranges[i - 1].high + 1)
            std::abort(); // merged and ascending
    }
    return 0;
}
