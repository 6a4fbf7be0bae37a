#pragma once

#include <QVector>
#include <QtGlobal>
#include <memory>
#include <optional>

// The driver's line-error counters. Qt no longer reports break, framing or
// parity errors, so the control compares these whenever data arrives.
struct LineCounters {
    quint64 breaks = 0;
    quint64 framing = 0;
    quint64 parity = 0;
    quint64 overrun = 0;
    quint64 bufferOverrun = 0;
};

class LineCounterSource
{
public:
    virtual ~LineCounterSource() = default;
    // Nothing when the device keeps no counters (a pseudo-terminal).
    virtual std::optional<LineCounters> read(qintptr handle) = 0;
};

std::unique_ptr<LineCounterSource> makeSystemLineCounterSource();

// The event codes for every counter that grew: break 1001, framing 1004,
// parity 1009, overrun 1006, receive-buffer overflow 1008.
QVector<int> lineErrorEvents(const LineCounters& before, const LineCounters& after);
