#pragma once

#include <QByteArray>

// Hexadecimal digits of a record, as the file check and the patching of a
// unit's bytes read them.
namespace HexDigits {

// The digit's value, or -1 for a character that is none.
inline int value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The byte two digits at `at` spell.
inline int byteAt(const char* at)
{
    return value(at[0]) * 16 + value(at[1]);
}

} // namespace HexDigits
