// The readers of what a released job is made of, on any bytes: an INI
// bench and an armored signature. Never a crash, every line found where
// the text has one, and any value written reads back as it was.
#include "platform/initext.h"
#include "platform/sshsignature.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const int lines = int(bytes.count('\n')) + 1;
    int last = 0;
    for (const IniText::Line& line : IniText::parse(bytes)) {
        if (line.number < 1 || line.number > lines || line.number < last)
            std::abort();
        last = line.number;
    }
    (void)SshSignature::signingKey(bytes);
    // What is written is read back the same.
    const QString value = QString::fromUtf8(bytes);
    if (IniText::unescape(IniText::escape(value)) != value)
        std::abort();
    return 0;
}
