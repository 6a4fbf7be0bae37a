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

int keygen(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("ssh-keygen"), arguments);
    p.waitForFinished(20000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void put(const QString& path, const QByteArray& text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther);
}

QString sha256Of(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
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
    void operatorCannotGoAroundTheService();
    void outsiderOnlyObserves();
    void engineerConfigures();
    void stopEndsTheServiceAndEveryCallIsAudited();

private:
    SystemBus m_bus;
    std::unique_ptr<Account> m_service, m_operator, m_engineer, m_outsider;
    QProcess m_station;
    VirtualUnit m_unit;
    QString m_device, m_state, m_firmware, m_job;
    QString record() const { return m_state + "/bench-t.jsonl"; }
};

void BusTest::initTestCase()
{
    if (::getuid() != 0)
        QSKIP("needs root: a system bus, polkitd and accounts of the test's own");
    m_service = std::make_unique<Account>("firmware-station", QStringList(), true);
    m_operator = std::make_unique<Account>("tst-fw-op", QStringList{"firmware-operators"});
    m_engineer = std::make_unique<Account>("tst-fw-eng", QStringList{"firmware-engineers"});
    m_outsider = std::make_unique<Account>("tst-fw-out");
    for (const Account* a : {m_service.get(), m_operator.get(), m_engineer.get(), m_outsider.get()})
        QVERIFY2(a->made(), qPrintable(a->why()));
    // The bus reads its policy's accounts as it starts: after they are made.
    QString why;
    if (!m_bus.start(&why))
        QSKIP(qPrintable(why));

    // What the engineers left: the firmware, a released job, their signers.
    const QString shared = sharedFolder();
    m_firmware = shared + "/bus.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 40), m_firmware));
    QFile::setPermissions(m_firmware, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const QString key = tempFolder() + "/bus-engineer";
    QFile::remove(key);
    QCOMPARE(keygen({"-q", "-t", "ed25519", "-N", "", "-C", "eng", "-f", key}), 0);
    QFile pub(key + ".pub");
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QList<QByteArray> parts = pub.readAll().split(' ');
    put(shared + "/allowed_signers", "eng@example " + parts[0] + ' ' + parts[1] + '\n');

    // The bench's adaptor and its state, the service's alone.
    m_device = m_unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "1500"});
    QVERIFY(m_service->take(m_device));
    QFile::setPermissions(m_device, QFile::ReadOwner | QFile::WriteOwner);
    m_state = shared + "/state";
    QDir().mkpath(m_state);
    QVERIFY(m_service->take(m_state));
    m_job = shared + "/bus-job.conf";
    put(m_job, QStringLiteral("[Station]\nname = bench-t\nfile = %1\nsha256 = %2\nports = %3\n"
                              "record = %4\n")
                   .arg(m_firmware, sha256Of(m_firmware), m_device, record())
                   .toUtf8());
    QCOMPARE(keygen({"-Y", "sign", "-f", key, "-n", "firmware-job", m_job}), 0);
    QFile::setPermissions(m_job + ".sig", QFile::ReadOwner | QFile::ReadOther);

    m_station.setProcessChannelMode(QProcess::MergedChannels);
    m_station.setStandardOutputFile(shared + "/station.log");
    m_service->start(m_station, FIRMWARE_UPLOAD_PATH,
                     {"station", m_firmware, "-p", m_device, "--station-name", "bench-t",
                      "--record", record(), "--allowed-signers", shared + "/allowed_signers", "-q"});
    QVERIFY(m_station.waitForStarted());
    const bool up = waitFor([&] { return as(*m_outsider, {"status", "bench-t"}).exitCode == 0; }, 20000);
    QFile log(shared + "/station.log");
    log.open(QIODevice::ReadOnly);
    QVERIFY2(up, qPrintable(as(*m_outsider, {"status", "bench-t"}).said + log.readAll()));
}

void BusTest::cleanupTestCase()
{
    if (m_station.state() != QProcess::NotRunning) {
        m_station.terminate();
        m_station.waitForFinished(10000);
    }
}

void BusTest::anyoneObserves()
{
    const Run listed = as(*m_outsider, {"status"});
    QCOMPARE(listed.exitCode, 0);
    QVERIFY2(listed.said.contains("bench-t: running"), qPrintable(listed.said));
    const Run one = as(*m_operator, {"status", "bench-t"});
    QVERIFY2(one.said.contains(m_device), qPrintable(one.said));
    QVERIFY2(one.said.contains("bus.s19"), qPrintable(one.said));
}

void BusTest::operatorOperates()
{
    Run paused = as(*m_operator, {"pause", "bench-t", m_device});
    QVERIFY2(paused.exitCode == 0, qPrintable(paused.said));
    QVERIFY(waitFor([&] { return as(*m_operator, {"status", "bench-t"}).said.contains("(paused)"); },
                    5000));
    QCOMPARE(as(*m_operator, {"resume", "bench-t"}).exitCode, 0);
    // A unit passes meanwhile, and a released job runs next, its units its own.
    QVERIFY(waitFor([&] { return records(record()).size() >= 1; }, 30000));
    const Run loaded = as(*m_operator, {"load-job", "bench-t", m_job});
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
    const Run refused = as(*m_operator, arguments);
    QCOMPARE(refused.exitCode, 3);
    QVERIFY2(refused.said.contains("polkit refuses " + arguments[0] + " to tst-fw-op "
                                   "(com.tarvellabs.firmware-station.configure)"),
             qPrintable(refused.said));
}

// The system refuses what the service refuses: the adaptor and the record
// are the service's own.
void BusTest::operatorCannotGoAroundTheService()
{
    const Run port = as(*m_operator, {"-c", "echo S9030000FC > " + m_device}, "/bin/sh");
    QVERIFY(port.exitCode != 0);
    QVERIFY2(port.said.contains("Permission denied"), qPrintable(port.said));
    const Run edit = as(*m_operator, {"-c", "echo '{}' >> " + record()}, "/bin/sh");
    QVERIFY(edit.exitCode != 0);
    QVERIFY2(edit.said.contains("Permission denied"), qPrintable(edit.said));
    const Run read = as(*m_operator, {"-c", "head -c 1 " + record()}, "/bin/sh");
    QCOMPARE(read.exitCode, 0); // readable by others, as every record
}

void BusTest::outsiderOnlyObserves()
{
    const Run refused = as(*m_outsider, {"pause", "bench-t"});
    QCOMPARE(refused.exitCode, 3);
    QVERIFY2(refused.said.contains("(com.tarvellabs.firmware-station.operate)"),
             qPrintable(refused.said));
}

void BusTest::engineerConfigures()
{
    const Run cleared = as(*m_engineer, {"clear-fault", "bench-t"});
    QVERIFY2(cleared.exitCode == 0, qPrintable(cleared.said));
}

void BusTest::stopEndsTheServiceAndEveryCallIsAudited()
{
    const Run stopped = as(*m_operator, {"stop", "bench-t"});
    QVERIFY2(stopped.exitCode == 0, qPrintable(stopped.said));
    QVERIFY(m_station.waitForFinished(30000));
    QCOMPARE(m_station.exitCode(), 0);
    QVERIFY(as(*m_outsider, {"status", "bench-t"}).exitCode != 0);
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
