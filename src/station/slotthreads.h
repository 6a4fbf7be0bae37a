#pragma once

#include <QObject>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QThread;

// The threads a station's slots run in, each with its own event loop (on
// Linux an EpollDispatcher's): a slot is made, runs and is deleted in one
// of them, so its port, timers and upload never leave it.
class SlotThreads
{
public:
    explicit SlotThreads(int count);
    ~SlotThreads();

    int count() const { return int(m_homes.size()); }
    // A context object living in thread `index % count()`.
    QObject* home(int index) const { return m_homes[index % m_homes.size()]; }
    const QVector<QObject*>& homes() const { return m_homes; }

    // Runs `work` in the thread of `context` and returns once it has run.
    static void runIn(QObject* context, const std::function<void()>& work);

    // Whether every thread's loop has answered since the last call, which
    // asks each of them again: a watchdog that pings only then sees a hung
    // thread as a hung station.
    bool answering();

private:
    QVector<QThread*> m_threads;
    QVector<QObject*> m_homes;
    std::vector<std::shared_ptr<std::atomic<quint64>>> m_answered; // the last call each answered
    quint64 m_asked = 0;                                           // the last call made
};
