#pragma once

#include <QAbstractEventDispatcher>
#include <QHash>
#include <QString>
#include <atomic>
#include <vector>

class QSocketNotifier;

// The event loop of a thread that serves many serial ports (Linux). Qt's
// own loop on UNIX polls every descriptor at every wake-up, and rounds each
// wait for a timer up to the next whole millisecond: in a loop woken by
// dozens of ports a 10 ms pacing timer fires 0.6 ms late on average, and
// the polling of every pseudo-terminal is most of what the loop costs.
// Here the descriptors are registered once with epoll, a wake-up costs what
// is ready, and a timer fires when it is due, to the nanosecond.
//
// Timers of every type are kept precisely; posted events, socket notifiers
// (a hang-up or an error wakes every notifier of the descriptor), the
// flags that leave out notifiers or timers, and quitting behave as in Qt's
// own loop. A timer whose event is being delivered is not sent again from
// a loop nested in its handler. What the system refuses (no epoll, a
// descriptor it cannot watch) is said once; a descriptor epoll cannot watch
// counts as always ready, as poll() has it.
class EpollDispatcher : public QAbstractEventDispatcher
{
    Q_OBJECT

public:
    explicit EpollDispatcher(QObject* parent = nullptr);
    ~EpollDispatcher() override;

    // Whether this system has what it needs; otherwise use Qt's own.
    static bool available();
    // Made whole (its epoll instance and its wake-up); when not, use Qt's
    // own dispatcher in its place (error() says why).
    bool isValid() const { return m_epoll >= 0 && m_wake >= 0; }
    QString error() const { return m_error; }

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        QSocketNotifier* exception = nullptr;
    };
    struct Timer {
        int id;
        qint64 interval; // ms
        Qt::TimerType type;
        QObject* object;
        qint64 due; // ns on the monotonic clock
        bool delivering = false; // its event is being sent
    };
    void watch(int fd);
    int activateTimers();
    int activateSockets(const void* events, int ready);

    void complain(const QString& what);

    int m_epoll = -1;
    int m_wakeOnly = -1; // an epoll of the wake-up alone, for a loop that leaves notifiers out
    int m_wake = -1;     // an eventfd that others write to wake the loop
    QString m_error;
    QHash<int, bool> m_unwatchable; // descriptors epoll refused: always ready
    QHash<int, Watch> m_watches;
    std::vector<Timer> m_timers;
    std::atomic<bool> m_interrupted{false};
};
