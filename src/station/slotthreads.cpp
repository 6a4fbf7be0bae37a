#include "slotthreads.h"

#include "../platform/epolldispatcher.h"

#include <QThread>

SlotThreads::SlotThreads(int count)
{
    for (int i = 0; i < count; ++i) {
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("slots %1").arg(i + 1));
        // A loop that serves many ports, and paces each to the nanosecond;
        // FIRMWARE_STATION_DISPATCHER=qt runs Qt's own, to compare them.
        if (qEnvironmentVariable("FIRMWARE_STATION_DISPATCHER") != QLatin1String("qt") &&
            EpollDispatcher::available()) {
            auto* dispatcher = new EpollDispatcher;
            if (dispatcher->isValid())
                thread->setEventDispatcher(dispatcher);
            else
                delete dispatcher; // said once; Qt's own loop serves instead
        }
        auto* home = new QObject;
        home->moveToThread(thread);
        QObject::connect(thread, &QThread::finished, home, &QObject::deleteLater);
        thread->start();
        m_threads.append(thread);
        m_homes.append(home);
        m_answered.push_back(std::make_shared<std::atomic<quint64>>(0));
    }
}

SlotThreads::~SlotThreads()
{
    for (QThread* thread : m_threads)
        thread->quit();
    for (QThread* thread : m_threads) {
        thread->wait();
        delete thread;
    }
}

void SlotThreads::runIn(QObject* context, const std::function<void()>& work)
{
    if (context->thread() == QThread::currentThread())
        work();
    else
        QMetaObject::invokeMethod(context, work, Qt::BlockingQueuedConnection);
}

bool SlotThreads::answering()
{
    bool all = true;
    for (const auto& answered : m_answered)
        all = all && answered->load() >= m_asked;
    const quint64 call = ++m_asked;
    for (int i = 0; i < m_homes.size(); ++i) {
        QMetaObject::invokeMethod(
            m_homes[i], [answered = m_answered[size_t(i)], call] { answered->store(call); },
            Qt::QueuedConnection);
    }
    return all;
}
