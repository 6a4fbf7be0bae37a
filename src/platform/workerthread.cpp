#include "workerthread.h"

#include <QThread>
#include <utility>

WorkerThread::~WorkerThread()
{
    stop(3000);
}

void WorkerThread::start(QObject* worker, std::function<void()> begin, std::function<void()> finish)
{
    stop(3000);
    m_thread = new QThread;
    m_thread->setObjectName(m_name);
    m_worker = worker;
    worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::started, worker, std::move(begin));
    if (finish)
        QObject::connect(m_thread, &QThread::finished, worker, std::move(finish),
                         Qt::DirectConnection);
    QObject::connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    m_thread->start();
}

void WorkerThread::stop(int boundMs, std::function<void()> ending)
{
    if (!m_thread)
        return;
    if (!ending)
        ending = [] { QThread::currentThread()->quit(); };
    QMetaObject::invokeMethod(m_worker, std::move(ending), Qt::QueuedConnection);
    if (m_thread->wait(boundMs))
        delete m_thread;
    else
        QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread = nullptr;
    m_worker = nullptr;
}
