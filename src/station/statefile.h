#pragma once

#include <QString>
#include <functional>

// A station's state file of key=value lines between # comments (the serial
// numbers', the permits'). Each line goes to `take` (key empty for a line
// without '='), which says whether it knows it.
namespace StateFile {

enum class Read { Missing, Read, Failed };
// Failed: `error` says "the NOUN PATH cannot be read: ..." or, of the first
// line `take` does not know, "the NOUN PATH:LINE is "TEXT", not EXPECTED".
Read read(const QString& path, const QString& noun, const QString& expected,
          const std::function<bool(const QString& key, const QString& value)>& take,
          QString* error);

} // namespace StateFile
