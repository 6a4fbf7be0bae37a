#pragma once

#include <cstddef>
#include <optional>
#include <string>

// How the simulated unit tells where a line ends and whether it is good.
namespace unit {

// For a buffer that starts like an S-record ("S" type count...), the length
// the count field gives the whole record; nothing when it does not start so.
std::optional<std::size_t> srecordLength(const std::string& buffer);

// Whether `line` is an S-record whose hex digits and checksum are right.
bool srecordValid(const std::string& line);
bool looksLikeSrecord(const std::string& line);
// An S7, S8 or S9 record, or Intel HEX's end-of-file record.
bool isEndRecord(const std::string& line);

// Cuts the received bytes into lines: an S-record ends where its count field
// says; any other text ends after a short silence.
class LineFramer
{
public:
    explicit LineFramer(double silenceMs) : m_silenceMs(silenceMs) {}

    void feed(const char* data, std::size_t size, double nowMs);
    // The next complete line, if there is one by now.
    std::optional<std::string> take(double nowMs);
    bool empty() const { return m_buffer.empty(); }
    // When a line that waits for silence will be complete; negative if none.
    double silenceDeadline() const;

private:
    std::string m_buffer;
    double m_lastByteMs = 0;
    double m_silenceMs;
};

} // namespace unit
