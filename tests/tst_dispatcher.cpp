// The slots' event loop on its own: the cases Qt's own timer and socket
// notifier tests check, on the epoll dispatcher this program's slots run on.

#include "coresupport.h"
#include "platform/epolldispatcher.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <unistd.h>

using namespace TestSupport;

class DispatcherTest : public QObject
{
    Q_OBJECT

private slots:
    void isTheLoopsDispatcher();
    void singleShotAndRepeatingTimers_data();
    void singleShotAndRepeatingTimers();
    void timersKilledAndStartedFromTheirOwnCallbacks();
    void remainingTime();
    void nestedLoopDoesNotSendTheTimerAgain();
    void notifierDeletedInItsActivation();
    void hangUpReachesEveryNotifier_data();
    void hangUpReachesEveryNotifier();
    void plainFileIsAlwaysReady();
    void wakeUpFromAnotherThread();
    void leftOutSourcesDoNotEndTheWait_data();
    void leftOutSourcesDoNotEndTheWait();
};

void DispatcherTest::isTheLoopsDispatcher()
{
    auto* d = qobject_cast<EpollDispatcher*>(QAbstractEventDispatcher::instance());
    QVERIFY(d);
    QVERIFY2(d->isValid(), qPrintable(d->error()));
}

void DispatcherTest::singleShotAndRepeatingTimers_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<bool>("singleShot");
    QTest::addColumn<Qt::TimerType>("type");
    QTest::newRow("single shot, precise") << 20 << true << Qt::PreciseTimer;
    QTest::newRow("single shot, coarse") << 20 << true << Qt::CoarseTimer;
    QTest::newRow("repeating, precise") << 10 << false << Qt::PreciseTimer;
    QTest::newRow("repeating, zero") << 0 << false << Qt::CoarseTimer;
}

void DispatcherTest::singleShotAndRepeatingTimers()
{
    QFETCH(int, intervalMs);
    QFETCH(bool, singleShot);
    QFETCH(Qt::TimerType, type);
    QTimer timer;
    timer.setTimerType(type);
    timer.setInterval(intervalMs);
    timer.setSingleShot(singleShot);
    int fired = 0;
    QElapsedTimer since;
    qint64 first = -1;
    connect(&timer, &QTimer::timeout, [&] {
        if (first < 0)
            first = since.elapsed();
        ++fired;
    });
    since.start();
    timer.start();
    pump(250);
    timer.stop();
    if (singleShot) {
        QCOMPARE(fired, 1);
        QVERIFY2(first >= intervalMs, qPrintable(QString::number(first))); // never early
    } else if (intervalMs > 0) {
        // 25 due in 250 ms; a loaded machine may take a few away, none is added.
        QVERIFY2(fired >= 15 && fired <= 25, qPrintable(QString::number(fired)));
    } else {
        QVERIFY(fired > 100); // each pass of the loop
    }
}

void DispatcherTest::timersKilledAndStartedFromTheirOwnCallbacks()
{
    // Two due at once: the first kills the second, which is then not sent;
    // and starts a third, which comes later.
    QTimer a, b, c;
    a.setSingleShot(true);
    b.setSingleShot(true);
    c.setSingleShot(true);
    a.setTimerType(Qt::PreciseTimer);
    b.setTimerType(Qt::PreciseTimer);
    QStringList order;
    connect(&a, &QTimer::timeout, [&] {
        order << "a";
        b.stop();
        c.start(10);
    });
    connect(&b, &QTimer::timeout, [&] { order << "b"; });
    connect(&c, &QTimer::timeout, [&] { order << "c"; });
    a.start(20);
    b.start(20);
    QThread::msleep(30); // both due before the loop looks
    pump(100);
    QCOMPARE(order, (QStringList{"a", "c"}));
    // A repeating timer that stops itself and starts again at another interval.
    QTimer self;
    int times = 0;
    connect(&self, &QTimer::timeout, [&] {
        ++times;
        self.stop();
        if (times < 3)
            self.start(5);
    });
    self.start(5);
    QTRY_COMPARE_WITH_TIMEOUT(times, 3, 1000);
    pump(50);
    QCOMPARE(times, 3);
}

void DispatcherTest::remainingTime()
{
    QTimer t;
    t.setTimerType(Qt::PreciseTimer);
    t.start(1000);
    const int left = t.remainingTime();
    QVERIFY2(left > 900 && left <= 1000, qPrintable(QString::number(left)));
    pump(100);
    QVERIFY(t.remainingTime() <= 900);
    t.stop();
    QCOMPARE(t.remainingTime(), -1);
}

void DispatcherTest::nestedLoopDoesNotSendTheTimerAgain()
{
    QTimer t;
    t.setInterval(5);
    int depth = 0, deepest = 0, fired = 0;
    connect(&t, &QTimer::timeout, [&] {
        ++fired;
        ++depth;
        deepest = qMax(deepest, depth);
        if (fired == 1) {
            // A nested loop in the handler, over many of its intervals.
            QEventLoop nested;
            QTimer::singleShot(60, &nested, &QEventLoop::quit);
            nested.exec();
        }
        --depth;
    });
    t.start();
    pump(150);
    t.stop();
    QCOMPARE(deepest, 1);
    QVERIFY(fired > 1); // and it goes on after the nested loop
}

void DispatcherTest::notifierDeletedInItsActivation()
{
    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    QCOMPARE(::write(fds[1], "x", 1), ssize_t(1));
    auto* first = new QSocketNotifier(fds[0], QSocketNotifier::Read);
    auto* second = new QSocketNotifier(fds[0], QSocketNotifier::Exception);
    int activated = 0;
    // Each takes both away; whichever comes first, the other is not sent.
    const auto both = [&] {
        ++activated;
        delete first;
        first = nullptr;
        delete second;
        second = nullptr;
    };
    connect(first, &QSocketNotifier::activated, both);
    connect(second, &QSocketNotifier::activated, both);
    ::close(fds[1]); // a hang-up too: both would be due
    pump(100);
    QCOMPARE(activated, 1);
    ::close(fds[0]);
}

void DispatcherTest::hangUpReachesEveryNotifier_data()
{
    QTest::addColumn<QSocketNotifier::Type>("type");
    QTest::newRow("read") << QSocketNotifier::Read;
    QTest::newRow("write") << QSocketNotifier::Write;
    QTest::newRow("exception") << QSocketNotifier::Exception;
}

// A pipe's write end with its buffer full is not writable; once its reader
// is gone, the error reaches a notifier of any type, as Qt's own loop has it.
void DispatcherTest::hangUpReachesEveryNotifier()
{
    QFETCH(QSocketNotifier::Type, type);
    int fds[2];
    QVERIFY(::pipe2(fds, O_NONBLOCK) == 0);
    const bool writer = type != QSocketNotifier::Read;
    if (writer) {
        char block[4096] = {};
        while (::write(fds[1], block, sizeof block) > 0) {
        }
    }
    const int watched = writer ? fds[1] : fds[0];
    QSocketNotifier notifier(watched, type);
    int activated = 0;
    connect(&notifier, &QSocketNotifier::activated, [&] {
        ++activated;
        notifier.setEnabled(false); // level-triggered: told once is enough here
    });
    pump(50);
    QCOMPARE(activated, 0);
    ::close(writer ? fds[0] : fds[1]);
    QTRY_COMPARE_WITH_TIMEOUT(activated, 1, 1000);
    ::close(watched);
}

void DispatcherTest::plainFileIsAlwaysReady()
{
    const QString path = writeFile("plain", "text");
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    int activated = 0;
    connect(&notifier, &QSocketNotifier::activated, [&] {
        if (++activated == 3)
            notifier.setEnabled(false);
    });
    QTRY_COMPARE_WITH_TIMEOUT(activated, 3, 1000);
    ::close(fd);
}

void DispatcherTest::wakeUpFromAnotherThread()
{
    // Nothing due: the loop sleeps until the other thread's event comes.
    std::atomic<qint64> sentAt{0};
    QElapsedTimer clock;
    clock.start();
    qint64 gotAt = -1;
    QEventLoop loop;
    std::unique_ptr<QThread> other(QThread::create([&] {
        QThread::msleep(100);
        sentAt = clock.elapsed();
        QMetaObject::invokeMethod(
            &loop,
            [&] {
                gotAt = clock.elapsed();
                loop.quit();
            },
            Qt::QueuedConnection);
    }));
    other->start();
    loop.exec();
    other->wait();
    QVERIFY2(gotAt - sentAt < 50, qPrintable(QString::number(gotAt - sentAt)));
}

void DispatcherTest::leftOutSourcesDoNotEndTheWait_data()
{
    QTest::addColumn<bool>("socketsLeftOut"); // otherwise timers
    QTest::newRow("notifiers left out, one ready") << true;
    QTest::newRow("timers left out, one due") << false;
}

// Left out, a ready descriptor or a due timer would end every wait at once:
// the loop would spin. Only a wake-up ends it.
void DispatcherTest::leftOutSourcesDoNotEndTheWait()
{
    QFETCH(bool, socketsLeftOut);
    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    QCOMPARE(::write(fds[1], "x", 1), ssize_t(1));
    QSocketNotifier ready(fds[0], QSocketNotifier::Read);
    QTimer due;
    due.start(0);
    QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
    std::unique_ptr<QThread> waker(QThread::create([d] {
        QThread::msleep(200);
        d->wakeUp();
    }));
    QElapsedTimer took;
    took.start();
    waker->start();
    const QEventLoop::ProcessEventsFlags flags =
        QEventLoop::WaitForMoreEvents | (socketsLeftOut ? QEventLoop::ExcludeSocketNotifiers
                                                        : QEventLoop::X11ExcludeTimers);
    // With notifiers left out the due timer still ends the wait; without it, a wake-up must.
    if (socketsLeftOut)
        due.stop();
    else
        ready.setEnabled(false);
    d->processEvents(flags);
    waker->wait();
    QVERIFY2(took.elapsed() >= 150, qPrintable(QString::number(took.elapsed())));
    ::close(fds[0]);
    ::close(fds[1]);
}

int main(int argc, char* argv[])
{
    TestSupport::isolateEnvironment();
    QCoreApplication::setEventDispatcher(new EpollDispatcher);
    QCoreApplication app(argc, argv);
    TestSupport::resetCoreSeams();
    DispatcherTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dispatcher.moc"
