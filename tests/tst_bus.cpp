// A bench owned by its station service, on a system bus of the test's own
// with a real polkitd and the project's actions and rules: the service as
// its own account, and an operator, an engineer and an outsider each asking
// it from their own plain accounts, as firmware-upload's client verbs do.

#include "coresupport.h"
#include "records/audittrail.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct Run {
    int exitCode = -1;
    QString said; // standard output and error
};

Run as(const Account& who, const QStringList& arguments, const QString& program = FIRMWARE_UPLOAD_PATH)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    who.start(p, program, arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAll())};
}

} // namespace

class BusTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void anyoneObserves();
    void operatorOperates();
    void operatorCannotConfigure_data();
    void operatorCannotConfigure();
    void operatorCannotGoAroundTheService_data();
    void operatorCannotGoAroundTheService();
    void outsiderOnlyObserves();
    void engineerConfigures();
    void stopEndsTheServiceAndEveryCallIsAudited();

private:
    ServiceBench m_bench;
    Account& op() { return m_bench.operatorAccount(); }
    QString record() { return m_bench.record(); }
};

void BusTest::initTestCase()
{
    QString why;
    if (!m_bench.start("bench-t", &why))
        QSKIP(qPrintable(why));
    QVERIFY(waitFor([&] { return as(m_bench.outsider(), {"status", "bench-t"}).exitCode == 0; },
                    10000));
}

void BusTest::cleanupTestCase() {}

void BusTest::anyoneObserves()
{
    const Run listed = as(m_bench.outsider(), {"status"});
    QCOMPARE(listed.exitCode, 0);
    QVERIFY2(listed.said.contains("bench-t: running"), qPrintable(listed.said));
    const Run one = as(op(), {"status", "bench-t"});
    QVERIFY2(one.said.contains(m_bench.device()), qPrintable(one.said));
    QVERIFY2(one.said.contains("bench-t.s19"), qPrintable(one.said));
}

void BusTest::operatorOperates()
{
    Run paused = as(op(), {"pause", "bench-t", m_bench.device()});
    QVERIFY2(paused.exitCode == 0, qPrintable(paused.said));
    QVERIFY(waitFor([&] { return as(op(), {"status", "bench-t"}).said.contains("(paused)"); },
                    5000));
    QCOMPARE(as(op(), {"resume", "bench-t"}).exitCode, 0);
    // A unit passes meanwhile, and a released job runs next, its units its own.
    QVERIFY(waitFor([&] { return records(record()).size() >= 1; }, 30000));
    const Run loaded = as(op(), {"load-job", "bench-t", m_bench.job()});
    QVERIFY2(loaded.exitCode == 0, qPrintable(loaded.said));
    QVERIFY2(loaded.said.contains("signed by eng@example"), qPrintable(loaded.said));
    const int before = int(records(record()).size());
    QVERIFY(waitFor([&] { return records(record()).size() > before; }, 30000));
    QCOMPARE(records(record()).constLast()["job"]["signer"].toString(),
             QStringLiteral("eng@example"));
}

void BusTest::operatorCannotConfigure_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("an unreleased file") << QStringList{"load-file", "bench-t", "/tmp/other.s19"};
    QTest::newRow("another bench") << QStringList{"set-bench", "bench-t", "/etc/hostname"};
    QTest::newRow("a slot's fault") << QStringList{"clear-fault", "bench-t"};
}

void BusTest::operatorCannotConfigure()
{
    QFETCH(QStringList, arguments);
    const Run refused = as(op(), arguments);
    QCOMPARE(refused.exitCode, 3);
    QVERIFY2(refused.said.contains("polkit refuses " + arguments[0] + " to tst-fw-op "
                                   "(com.tarvellabs.firmware-station.configure)"),
             qPrintable(refused.said));
}

// The system refuses what the service refuses: the adaptor and the record
// are the service's own.
void BusTest::operatorCannotGoAroundTheService_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("a line written to the adaptor") << "echo S9030000FC > DEVICE";
    QTest::newRow("firmware-upload send on the adaptor")
        << "'" FIRMWARE_UPLOAD_PATH "' send --force -p DEVICE /etc/hostname";
    QTest::newRow("a line put into the record") << "echo '{}' >> RECORD";
    QTest::newRow("the audit trail's tail cut") << "truncate -s 0 RECORD.audit";
}

void BusTest::operatorCannotGoAroundTheService()
{
    QFETCH(QString, command);
    command.replace("DEVICE", m_bench.device()).replace("RECORD", record());
    const Run tried = as(op(), {"-c", command}, "/bin/sh");
    QVERIFY(tried.exitCode != 0);
    QVERIFY2(tried.said.contains("Permission denied"), qPrintable(tried.said));
    const Run read = as(op(), {"-c", "head -c 1 " + record()}, "/bin/sh");
    QCOMPARE(read.exitCode, 0); // readable by others, as every record
}

void BusTest::outsiderOnlyObserves()
{
    const Run refused = as(m_bench.outsider(), {"pause", "bench-t"});
    QCOMPARE(refused.exitCode, 3);
    QVERIFY2(refused.said.contains("(com.tarvellabs.firmware-station.operate)"),
             qPrintable(refused.said));
}

void BusTest::engineerConfigures()
{
    const Run cleared = as(m_bench.engineer(), {"clear-fault", "bench-t"});
    QVERIFY2(cleared.exitCode == 0, qPrintable(cleared.said));
}

void BusTest::stopEndsTheServiceAndEveryCallIsAudited()
{
    const Run stopped = as(op(), {"stop", "bench-t"});
    QVERIFY2(stopped.exitCode == 0, qPrintable(stopped.said));
    QVERIFY(m_bench.station().waitForFinished(30000));
    QCOMPARE(m_bench.station().exitCode(), 0);
    QVERIFY(as(m_bench.outsider(), {"status", "bench-t"}).exitCode != 0);
    const QString trail = record() + ".audit";
    QCOMPARE(AuditTrail::verify(trail).broken, 0);
    QStringList calls;
    for (const QJsonObject& line : records(trail)) {
        if (line["event"].toString() == "command" && line["via"].toString() == "dbus")
            calls << line["caller"].toString() + " " + line["command"].toString() + " " +
                         line["outcome"].toString();
    }
    for (const char* expected :
         {"tst-fw-op pause done", "tst-fw-op resume done", "tst-fw-op load-job done",
          "tst-fw-op load-file refused", "tst-fw-op set-bench refused",
          "tst-fw-op clear-fault refused", "tst-fw-out pause refused",
          "tst-fw-eng clear-fault done", "tst-fw-op stop done"})
        QVERIFY2(calls.contains(QLatin1String(expected)),
                 qPrintable(expected + (" not in: " + calls.join(", "))));
}

CORE_TEST_MAIN(BusTest)
#include "tst_bus.moc"
