#include "epolldispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <climits>
#include <cstring>
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
    if (m_epoll < 0) {
        complain(QStringLiteral("epoll_create1"));
        return;
    }
    m_wakeOnly = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_wakeOnly < 0) {
        complain(QStringLiteral("epoll_create1"));
        return;
    }
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0) {
        complain(QStringLiteral("eventfd"));
        return;
    }
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = m_wake;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &e) != 0 ||
        ::epoll_ctl(m_wakeOnly, EPOLL_CTL_ADD, m_wake, &e) != 0) {
        complain(QStringLiteral("epoll_ctl"));
        ::close(m_wake);
        m_wake = -1;
    }
#endif
}

void EpollDispatcher::complain(const QString& what)
{
#ifdef Q_OS_LINUX
    const QString said = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
#else
    const QString said = what;
#endif
    if (m_error.isEmpty())
        m_error = said;
    qWarning("the slots' event loop: %s", qPrintable(said));
}

EpollDispatcher::~EpollDispatcher()
{
#ifdef Q_OS_LINUX
    for (int fd : {m_wake, m_wakeOnly, m_epoll}) {
        if (fd >= 0)
            ::close(fd);
    }
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
    if (m_interrupted.load() || !isValid())
        return false;
    const bool sockets = !flags.testFlag(QEventLoop::ExcludeSocketNotifiers);
    const bool timers = !flags.testFlag(QEventLoop::X11ExcludeTimers);
    // A descriptor epoll cannot watch is always ready: no waiting past it.
    const bool alwaysReady = sockets && !m_unwatchable.isEmpty();
    const bool wait = flags.testFlag(QEventLoop::WaitForMoreEvents) && !alwaysReady;
    // The nearest timer, to the nanosecond; none (or timers left out): as
    // long as it takes, until a wake-up.
    timespec timeout{};
    timespec* until = &timeout;
    if (wait) {
        const auto next =
            std::min_element(m_timers.begin(), m_timers.end(),
                             [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (next == m_timers.end() || !timers) {
            until = nullptr;
        } else {
            const qint64 left = std::max<qint64>(0, next->due - nowNs());
            timeout.tv_sec = time_t(left / 1000000000);
            timeout.tv_nsec = long(left % 1000000000);
        }
        emit aboutToBlock();
    }
    // Notifiers left out: only a wake-up ends the wait, or a ready
    // descriptor would end every one at once.
    const int set = sockets ? m_epoll : m_wakeOnly;
    epoll_event events[MostReady];
    int ready = ::epoll_pwait2(set, events, MostReady, until, nullptr);
    if (ready < 0 && errno == ENOSYS) {
        // A kernel before 5.11: milliseconds, rounded up, never early.
        const int ms = !until ? -1
                              : int(std::min<qint64>(INT_MAX, (qint64(timeout.tv_sec) * 1000000000 +
                                                                timeout.tv_nsec + 999999) /
                                                                   1000000));
        ready = ::epoll_wait(set, events, MostReady, ms);
    }
    if (ready < 0 && errno != EINTR)
        complain(QStringLiteral("epoll_wait"));
    int handled = 0;
    if (ready > 0)
        handled += activateSockets(events, ready);
    if (alwaysReady) {
        for (const int fd : m_unwatchable.keys()) {
            // Looked up for each: a handler may take notifiers away.
            for (QSocketNotifier* Watch::*which : {&Watch::read, &Watch::write}) {
                const auto watch = m_watches.constFind(fd);
                if (watch == m_watches.constEnd() || !(watch.value().*which))
                    continue;
                QEvent event(QEvent::SockAct);
                QCoreApplication::sendEvent(watch.value().*which, &event);
                ++handled;
            }
        }
    }
    if (timers)
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
        // A hang-up or an error is news to every notifier of the descriptor.
        const uint32_t gone = EPOLLHUP | EPOLLERR;
        if (got & (EPOLLIN | EPOLLRDHUP | gone))
            activate(&Watch::read);
        if (got & (EPOLLOUT | gone))
            activate(&Watch::write);
        if (got & (EPOLLPRI | gone))
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
    const auto find = [this](int id) {
        return std::find_if(m_timers.begin(), m_timers.end(),
                            [id](const Timer& t) { return t.id == id; });
    };
    for (const auto& [when, id] : due) {
        const auto it = find(id);
        // Not again from a loop nested in its own handler.
        if (it == m_timers.end() || it->due > now || it->delivering)
            continue;
        const qint64 step = it->interval * 1000000;
        it->due = it->due + step > now ? it->due + step : now + step;
        it->delivering = true;
        QObject* object = it->object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        ++handled;
        // The handler may have killed it, or killed it and started another by its id.
        const auto after = find(id);
        if (after != m_timers.end())
            after->delivering = false;
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
        m_unwatchable.remove(fd);
        // A descriptor closed before its notifier went is gone from epoll already.
        (void)::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        return;
    }
    if (m_unwatchable.contains(fd))
        return;
    int rc = ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &e);
    if (rc != 0 && errno == ENOENT)
        rc = ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &e);
    if (rc == 0)
        return;
    // A plain file, say: epoll will not have it, poll() calls it ready.
    if (errno == EPERM) {
        m_unwatchable.insert(fd, true);
        return;
    }
    complain(QStringLiteral("epoll_ctl of descriptor %1").arg(fd));
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
    if (m_wake >= 0)
        (void)::write(m_wake, &one, sizeof one);
#endif
}

void EpollDispatcher::interrupt()
{
    m_interrupted.store(true);
    wakeUp();
}
