// The settings-string parser, on any text: never a crash, and whatever it
// accepts reads back the same from its own reported form.
#include "serial/commsettings.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    QString why;
    const std::optional<CommSettings> parsed = CommSettings::parse(text, &why);
    if (!parsed) {
        if (why.isEmpty() || why.size() > 600) // says what was wrong, and briefly
            std::abort();
        return 0;
    }
    const std::optional<CommSettings> again = CommSettings::parse(parsed->toString(), &why);
    if (!again || *again != *parsed)
        std::abort();
    return 0;
}
