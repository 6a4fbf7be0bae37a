#include "slotthreads.h"

#include <QThread>

SlotThreads::SlotThreads(int count)
{
    for (int i = 0; i < count; ++i) {
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("slots %1").arg(i + 1));
        auto* home = new QObject;
        home->moveToThread(thread);
        QObject::connect(thread, &QThread::finished, home, &QObject::deleteLater);
        thread->start();
        m_threads.append(thread);
        m_homes.append(home);
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
