#pragma once

#include "../station/benchconfig.h"
#include "../upload/firmwarefile.h"
#include "exitcode.h"

#include <optional>

// The firmware file of a bench, read once and its check said the same way
// by every verb that reads one: each problem as "file:line: text", and with
// `full` the notes, the format, the data's address ranges and the SHA-256.
namespace FirmwareLines {

// Nothing, and the reason said, when the file cannot be read.
std::optional<FirmwareFile> read(const BenchConfig& bench, bool full);
// For verbs that send: the refusal said (exit code 3), or a file sent
// anyway with --force said so.
std::optional<ExitCode> refuse(const BenchConfig& bench, const FirmwareFile& file);

} // namespace FirmwareLines
