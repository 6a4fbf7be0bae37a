#include "linecounters.h"

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

class SystemLineCounterSource : public LineCounterSource
{
public:
    std::optional<LineCounters> read(qintptr handle) override
    {
#ifdef Q_OS_LINUX
        serial_icounter_struct icount{};
        if (::ioctl(int(handle), TIOCGICOUNT, &icount) != 0)
            return std::nullopt;
        LineCounters c;
        c.breaks = quint64(icount.brk);
        c.framing = quint64(icount.frame);
        c.parity = quint64(icount.parity);
        c.overrun = quint64(icount.overrun);
        c.bufferOverrun = quint64(icount.buf_overrun);
        return c;
#else
        Q_UNUSED(handle);
        return std::nullopt;
#endif
    }
};

} // namespace

std::unique_ptr<LineCounterSource> makeSystemLineCounterSource()
{
    return std::make_unique<SystemLineCounterSource>();
}

QVector<int> lineErrorEvents(const LineCounters& before, const LineCounters& after)
{
    QVector<int> events;
    if (after.breaks > before.breaks)
        events << 1001;
    if (after.framing > before.framing)
        events << 1004;
    if (after.parity > before.parity)
        events << 1009;
    if (after.overrun > before.overrun)
        events << 1006;
    if (after.bufferOverrun > before.bufferOverrun)
        events << 1008;
    return events;
}
