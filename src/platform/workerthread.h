#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QThread;

// A worker object in a thread of its own, as the database forwarder, the
// serial ledger and the broker's link each have one: begun in its thread,
// deleted there as the thread ends, and stopped behind what it was sent
// within a bound. A thread held beyond it (a server gone silent in the
// middle of a statement) is let go, and deletes itself once it ends.
class WorkerThread
{
public:
    explicit WorkerThread(const QString& name) : m_name(name) {}
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // `worker` moves to the thread; `begin` runs there first, `finish`
    // there as the thread ends (the connection it holds closed in the
    // thread that opened it).
    void start(QObject* worker, std::function<void()> begin, std::function<void()> finish = {});
    // `ending` runs in the worker's thread behind what it was sent and
    // ends the thread, at once unless given (the broker's goodbye ends it
    // itself, later); the caller waits at most `boundMs`.
    void stop(int boundMs, std::function<void()> ending = {});
    bool running() const { return m_thread != nullptr; }
    QObject* worker() const { return m_worker; }

private:
    QString m_name;
    QThread* m_thread = nullptr;
    QObject* m_worker = nullptr;
};
