#include "clock.h"

#include <QElapsedTimer>
#include <QThread>

double Clock::seconds() const
{
    static QElapsedTimer steady;
    if (!steady.isValid())
        steady.start();
    return steady.nsecsElapsed() / 1e9;
}

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}

void Clock::pause(int ms)
{
    QThread::msleep(ulong(ms));
}

namespace {
Clock* installed = nullptr;
}

Clock& Clock::instance()
{
    static Clock system;
    return installed ? *installed : system;
}

void Clock::setInstance(Clock* clock)
{
    installed = clock;
}
