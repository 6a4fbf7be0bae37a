#include "unitprotocol.h"

#include <cctype>

namespace unit {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::size_t> srecordLength(const std::string& buffer)
{
    if (buffer.size() < 4 || buffer[0] != 'S' ||
        !std::isdigit(static_cast<unsigned char>(buffer[1])))
        return std::nullopt;
    const int high = hexValue(buffer[2]);
    const int low = hexValue(buffer[3]);
    if (high < 0 || low < 0)
        return std::nullopt;
    return 4 + 2 * static_cast<std::size_t>(high * 16 + low);
}

bool looksLikeSrecord(const std::string& line)
{
    return srecordLength(line).has_value();
}

bool srecordValid(const std::string& line)
{
    const auto length = srecordLength(line);
    if (!length || line.size() != *length || *length < 6)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 2; i + 1 < line.size(); i += 2) {
        const int high = hexValue(line[i]);
        const int low = hexValue(line[i + 1]);
        if (high < 0 || low < 0)
            return false;
        sum += static_cast<unsigned>(high * 16 + low);
    }
    return (sum & 0xff) == 0xff;
}

void LineFramer::feed(const char* data, std::size_t size, double nowMs)
{
    if (size == 0)
        return;
    m_buffer.append(data, size);
    m_lastByteMs = nowMs;
}

std::optional<std::string> LineFramer::take(double nowMs)
{
    if (m_buffer.empty())
        return std::nullopt;
    if (const auto length = srecordLength(m_buffer)) {
        if (m_buffer.size() >= *length) {
            std::string line = m_buffer.substr(0, *length);
            m_buffer.erase(0, *length);
            return line;
        }
        // A short S-record still ends after a silence, as a bad line.
    }
    if (nowMs - m_lastByteMs >= m_silenceMs) {
        std::string line;
        line.swap(m_buffer);
        return line;
    }
    return std::nullopt;
}

double LineFramer::silenceDeadline() const
{
    return m_buffer.empty() ? -1.0 : m_lastByteMs + m_silenceMs;
}

} // namespace unit

bool unit::isEndRecord(const std::string& line)
{
    if (line.size() >= 2 && line[0] == 'S')
        return line[1] == '7' || line[1] == '8' || line[1] == '9';
    return line.size() >= 9 && line.compare(0, 9, ":00000001") == 0;
}
