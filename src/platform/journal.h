#pragma once

#include <QByteArray>

// Standard error as the journal reads it. Under systemd (JOURNAL_STREAM
// names standard error) each line carries its level, "<3>" for errors,
// "<4>" warnings and "<6>" the rest (sd-daemon(3)); elsewhere nothing.
namespace Journal {

enum class Level { Error = 3, Warning = 4, Info = 6 };

bool isStandardError();
// The prefix for a line of this level: empty when not under the journal.
QByteArray prefix(Level level);

} // namespace Journal
