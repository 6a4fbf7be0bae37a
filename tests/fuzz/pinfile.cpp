// The port-number pin file, as any bytes: one line, never more.
#include "serial/portresolver.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray contents(reinterpret_cast<const char*>(data), int(size));
    const QString device = PortResolver::pinnedDevice(contents);
    if (device.contains(QLatin1Char('\n')) || device != device.trimmed())
        std::abort();
    return 0;
}
