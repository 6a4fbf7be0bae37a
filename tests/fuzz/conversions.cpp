// The store's value conversions (16-bit, 32-bit, Boolean) on any text:
// a number that converts writes back as the same number.
#include "serial/portsettingsstore.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    qint16 small = 0;
    if (convertToInt16(text, QStringLiteral("port number"), &small).isOk()) {
        qint16 back = 0;
        if (convertToInt16(QString::number(small), QStringLiteral("port number"), &back).failed() ||
            back != small)
            std::abort();
    }
    qint32 large = 0;
    const Status s = convertToInt32(text, QStringLiteral("handshaking code"), &large);
    if (s.failed() && s.description().size() > 600)
        std::abort();
    if (s.isOk()) {
        qint32 back = 0;
        if (convertToInt32(QString::number(large), QStringLiteral("x"), &back).failed() ||
            back != large)
            std::abort();
    }
    if (const std::optional<bool> b = convertToBoolean(text)) {
        if (convertToBoolean(booleanText(*b)) != b)
            std::abort();
    }
    return 0;
}
