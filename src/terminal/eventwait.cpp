#include "eventwait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {
bool ending = false;
}

namespace EventWait {

void onePass(int wakeAfterMs)
{
    if (wakeAfterMs > 0) {
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(wakeAfterMs);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void until(const std::function<bool()>& done, const std::function<int()>& wakeAfterMs)
{
    do {
        onePass(wakeAfterMs ? wakeAfterMs() : 0);
    } while (!ending && !done());
}

void abandonAll()
{
    ending = true;
}

bool abandoned()
{
    return ending;
}

void reset()
{
    ending = false;
}

} // namespace EventWait
