#include "epolldispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <climits>
#include <cstdint>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

qint64 nowNs()
{
#ifdef Q_OS_LINUX
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
#else
    return 0;
#endif
}

constexpr int MostReady = 128; // events taken from one wait

} // namespace

EpollDispatcher::EpollDispatcher(QObject* parent) : QAbstractEventDispatcher(parent)
{
#ifdef Q_OS_LINUX
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = m_wake;
    if (m_epoll >= 0 && m_wake >= 0)
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &e);
#endif
}

EpollDispatcher::~EpollDispatcher()
{
#ifdef Q_OS_LINUX
    if (m_wake >= 0)
        ::close(m_wake);
    if (m_epoll >= 0)
        ::close(m_epoll);
#endif
}

bool EpollDispatcher::available()
{
#ifdef Q_OS_LINUX
    const int fd = ::epoll_create1(EPOLL_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
#else
    return false;
#endif
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
#ifdef Q_OS_LINUX
    m_interrupted.store(false);
    emit awake();
    QCoreApplication::sendPostedEvents();
    if (m_interrupted.load())
        return false;
    const bool wait = flags.testFlag(QEventLoop::WaitForMoreEvents);
    // The nearest timer, to the nanosecond; none: as long as it takes.
    timespec timeout{};
    timespec* until = &timeout;
    if (wait) {
        const auto next =
            std::min_element(m_timers.begin(), m_timers.end(),
                             [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (next == m_timers.end()) {
            until = nullptr;
        } else {
            const qint64 left = std::max<qint64>(0, next->due - nowNs());
            timeout.tv_sec = time_t(left / 1000000000);
            timeout.tv_nsec = long(left % 1000000000);
        }
        emit aboutToBlock();
    }
    epoll_event events[MostReady];
    int ready = ::epoll_pwait2(m_epoll, events, MostReady, until, nullptr);
    if (ready < 0 && errno == ENOSYS) {
        // A kernel before 5.11: milliseconds, rounded up, never early.
        const int ms = !until ? -1
                              : int(std::min<qint64>(INT_MAX, (qint64(timeout.tv_sec) * 1000000000 +
                                                                timeout.tv_nsec + 999999) /
                                                                   1000000));
        ready = ::epoll_wait(m_epoll, events, MostReady, ms);
    }
    int handled = 0;
    if (ready > 0 && !flags.testFlag(QEventLoop::ExcludeSocketNotifiers))
        handled += activateSockets(events, ready);
    else if (ready > 0)
        handled += activateSockets(nullptr, 0); // the wake-up is still taken
    if (!flags.testFlag(QEventLoop::X11ExcludeTimers))
        handled += activateTimers();
    return handled > 0;
#else
    Q_UNUSED(flags);
    return false;
#endif
}

int EpollDispatcher::activateSockets(const void* list, int ready)
{
    int handled = 0;
#ifdef Q_OS_LINUX
    const auto* events = static_cast<const epoll_event*>(list);
    for (int i = 0; i < ready; ++i) {
        const int fd = events[i].data.fd;
        const uint32_t got = events[i].events;
        if (fd == m_wake) {
            uint64_t count = 0;
            (void)::read(m_wake, &count, sizeof count);
            continue;
        }
        // A notifier handled before may have taken another away: each is
        // looked up again, as it is when it comes.
        const auto activate = [&](QSocketNotifier* Watch::*which) {
            const auto it = m_watches.constFind(fd);
            if (it == m_watches.constEnd() || !(it.value().*which))
                return;
            QEvent event(QEvent::SockAct);
            QCoreApplication::sendEvent(it.value().*which, &event);
            ++handled;
        };
        if (got & (EPOLLIN | EPOLLHUP | EPOLLERR))
            activate(&Watch::read);
        if (got & (EPOLLOUT | EPOLLERR))
            activate(&Watch::write);
        if (got & EPOLLPRI)
            activate(&Watch::exception);
    }
#else
    Q_UNUSED(list);
    Q_UNUSED(ready);
#endif
    return handled;
}

int EpollDispatcher::activateTimers()
{
    // The timers due now, by when they were due; one that a handler takes
    // away, or starts anew, is looked up again before it is sent.
    const qint64 now = nowNs();
    std::vector<std::pair<qint64, int>> due;
    for (const Timer& t : m_timers) {
        if (t.due <= now)
            due.push_back({t.due, t.id});
    }
    std::sort(due.begin(), due.end());
    int handled = 0;
    for (const auto& [when, id] : due) {
        const auto it = std::find_if(m_timers.begin(), m_timers.end(),
                                     [id = id](const Timer& t) { return t.id == id; });
        if (it == m_timers.end() || it->due > now)
            continue;
        const qint64 step = it->interval * 1000000;
        it->due = it->due + step > now ? it->due + step : now + step;
        QObject* object = it->object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        ++handled;
    }
    return handled;
}

void EpollDispatcher::watch(int fd)
{
#ifdef Q_OS_LINUX
    const auto it = m_watches.constFind(fd);
    const bool known = it != m_watches.constEnd();
    epoll_event e{};
    e.data.fd = fd;
    if (known) {
        if (it->read)
            e.events |= EPOLLIN;
        if (it->write)
            e.events |= EPOLLOUT;
        if (it->exception)
            e.events |= EPOLLPRI;
    }
    if (!known || e.events == 0) {
        m_watches.remove(fd);
        // A descriptor closed before its notifier went is gone from epoll already.
        (void)::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        return;
    }
    if (::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &e) != 0 && errno == ENOENT)
        (void)::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &e);
#else
    Q_UNUSED(fd);
#endif
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier* notifier)
{
    const int fd = int(notifier->socket());
    Watch& w = m_watches[fd];
    switch (notifier->type()) {
    case QSocketNotifier::Read:
        w.read = notifier;
        break;
    case QSocketNotifier::Write:
        w.write = notifier;
        break;
    case QSocketNotifier::Exception:
        w.exception = notifier;
        break;
    }
    watch(fd);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier)
{
    const int fd = int(notifier->socket());
    const auto it = m_watches.find(fd);
    if (it == m_watches.end())
        return;
    for (QSocketNotifier** n : {&it->read, &it->write, &it->exception}) {
        if (*n == notifier)
            *n = nullptr;
    }
    watch(fd);
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                    QObject* object)
{
    m_timers.push_back({timerId, interval, timerType, object, nowNs() + interval * 1000000});
}

bool EpollDispatcher::unregisterTimer(int timerId)
{
    const auto it = std::find_if(m_timers.begin(), m_timers.end(),
                                 [timerId](const Timer& t) { return t.id == timerId; });
    if (it == m_timers.end())
        return false;
    m_timers.erase(it);
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject* object)
{
    const auto before = m_timers.size();
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [object](const Timer& t) { return t.object == object; }),
                   m_timers.end());
    return m_timers.size() != before;
}

QList<QAbstractEventDispatcher::TimerInfo> EpollDispatcher::registeredTimers(QObject* object) const
{
    QList<TimerInfo> list;
    for (const Timer& t : m_timers) {
        if (t.object == object)
            list.append(TimerInfo(t.id, int(t.interval), t.type));
    }
    return list;
}

int EpollDispatcher::remainingTime(int timerId)
{
    for (const Timer& t : m_timers) {
        if (t.id == timerId)
            return int(std::max<qint64>(0, (t.due - nowNs() + 999999) / 1000000));
    }
    return -1;
}

void EpollDispatcher::wakeUp()
{
#ifdef Q_OS_LINUX
    const uint64_t one = 1;
    (void)::write(m_wake, &one, sizeof one);
#endif
}

void EpollDispatcher::interrupt()
{
    m_interrupted.store(true);
    wakeUp();
}
