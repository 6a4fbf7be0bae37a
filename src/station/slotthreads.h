#pragma once

#include <QObject>
#include <QVector>
#include <functional>

class QThread;

// The threads a station's slots run in, each with its own event loop: a
// slot is made, runs and is deleted in one of them, so its port, timers and
// upload never leave it.
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

private:
    QVector<QThread*> m_threads;
    QVector<QObject*> m_homes;
};
