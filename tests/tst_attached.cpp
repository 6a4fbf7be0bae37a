// The station window as a client of a bench's service, on Xvfb with a
// real window manager: attached as the operator's account (its connection
// to the test's system bus is the operator's, as polkit sees it), the tiles
// follow the service, what polkit refuses is not offered, and a window
// closed and opened again while a unit is flashing loses nothing.

#include "coresupport.h"
#include "stationwindow/slottile.h"
#include "stationwindow/stationwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>

using namespace TestSupport;

class AttachedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tilesFollowTheService();
    void refusedActionsAreNotOffered();
    void closingTheWindowLosesNothing();

private:
    ServiceBench m_bench;
};

void AttachedTest::initTestCase()
{
    QString why;
    if (!m_bench.start("bench-w", &why))
        QSKIP(qPrintable(why));
}

void AttachedTest::tilesFollowTheService()
{
    StationWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QString why;
    QVERIFY2(window.attach("bench-w", &why,
                           ServiceBench::busAs(m_bench.operatorAccount(), "operator-1")),
             qPrintable(why));
    QVERIFY(window.attached());
    QCOMPARE(window.tiles().size(), 1);
    QCOMPARE(window.tiles()[0]->port(), m_bench.device());
    QVERIFY(window.windowTitle().startsWith("bench-w"));
    QVERIFY2(window.findChild<QLabel*>("firmware")->text().startsWith("bench-w.s19"),
             qPrintable(window.findChild<QLabel*>("firmware")->text()));
    // A unit flashed by the service shows on the tile, then its result.
    QVERIFY(waitFor([&] { return window.tiles()[0]->slot().state == SlotState::Flashing; }, 20000));
    const int before = int(records(m_bench.record()).size());
    QVERIFY(waitFor([&] { return int(records(m_bench.record()).size()) > before; }, 20000));
    QVERIFY(waitFor([&] { return window.tiles()[0]->slot().passed > before; }, 3000));
    QVERIFY(window.benchSummary().contains(QStringLiteral("%1 passed").arg(window.control().passed())));
}

void AttachedTest::refusedActionsAreNotOffered()
{
    StationWindow outsider;
    QString why;
    QVERIFY2(outsider.attach("bench-w", &why,
                             ServiceBench::busAs(m_bench.outsider(), "outsider-1")),
             qPrintable(why));
    // polkit's answers come in once asked.
    QVERIFY(waitFor([&] { return !actionNamed(outsider, "&Start")->isVisible(); }, 5000));
    QVERIFY(!outsider.findChild<QPushButton*>("stop")->isEnabled());
    QVERIFY(!actionNamed(outsider, "&Open Firmware...")->isVisible());
    QVERIFY(!actionNamed(outsider, "&Add...")->isVisible());

    StationWindow op;
    QVERIFY2(op.attach("bench-w", &why, ServiceBench::busAs(m_bench.operatorAccount(), "operator-2")),
             qPrintable(why));
    QVERIFY(waitFor([&] { return actionNamed(op, "&Start")->isVisible(); }, 5000));
    // A change is offered: polkit would ask for an engineer's password.
    QVERIFY(waitFor(
        [&] {
            return op.control().permission(BenchAction::Configure) ==
                   BenchControl::Permission::Challenge;
        },
        5000));
    QVERIFY(actionNamed(op, "&Open Firmware...")->isVisible());
    QVERIFY(!actionNamed(op, "&Transcript")->isVisible()); // the service's traffic stays there
    QVERIFY(!actionNamed(op, "&Unlock...")->isVisible());
}

void AttachedTest::closingTheWindowLosesNothing()
{
    const QDBusConnection bus = ServiceBench::busAs(m_bench.operatorAccount(), "operator-3");
    const int before = int(records(m_bench.record()).size());
    {
        StationWindow first;
        first.show();
        QString why;
        QVERIFY2(first.attach("bench-w", &why, bus), qPrintable(why));
        QVERIFY(waitFor([&] { return first.tiles()[0]->slot().state == SlotState::Flashing; },
                        20000));
        first.close(); // no question: the bench goes on without it
        QVERIFY(!first.isVisible());
    }
    QCOMPARE(m_bench.station().state(), QProcess::Running);
    StationWindow second;
    second.show();
    QString why;
    QVERIFY2(second.attach("bench-w", &why, bus), qPrintable(why));
    QVERIFY(waitFor([&] { return int(records(m_bench.record()).size()) > before; }, 20000));
    const QJsonObject unit = records(m_bench.record()).value(before);
    QCOMPARE(unit["result"].toString(), QStringLiteral("pass"));
    QCOMPARE(unit["lines_sent"].toInt(), unit["lines"].toInt());
    QVERIFY(waitFor([&] { return second.tiles()[0]->slot().passed == second.control().passed(); },
                    3000));
}

WINDOW_TEST_MAIN(AttachedTest, "tst_attached")

#include "tst_attached.moc"
