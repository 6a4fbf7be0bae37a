#pragma once

#include <QByteArray>
#include <QString>

// Small files that a reader must never see half written (a state, a
// cursor, a metrics file): written to a temporary file beside them, then
// renamed over them. `durable` also flushes the file and its folder to the
// disk, so a power cut leaves the old contents or the new, never neither.
namespace AtomicFile {

[[nodiscard]] bool write(const QString& path, const QByteArray& contents, bool durable,
                         QString* error);
// Flushes a folder's entries (a file made or renamed in it) to the disk.
[[nodiscard]] bool syncFolderOf(const QString& path);

} // namespace AtomicFile
