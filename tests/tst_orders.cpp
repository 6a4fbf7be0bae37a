// Work orders: released jobs that make N units and no more, across benches
// that share the count through a real PostgreSQL, through kills and an
// outage; a unit taken away gives its permit back; a release that ended, an
// unsigned bench with an order, and a copied state add no unit.

#include "coresupport.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <csignal>

using namespace TestSupport;

namespace {

int keygen(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("ssh-keygen"), arguments);
    p.waitForFinished(20000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString sha256Of(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

// The units of the records that got their final line, and the permits they spent.
struct Made {
    int finalLines = 0;
    QHash<qint64, QString> permits; // number -> record id
    int spentTwice = 0;
};
Made madeIn(const QStringList& records)
{
    Made m;
    for (const QString& r : records) {
        for (const QJsonObject& o : TestSupport::records(r)) {
            if (o["lines_sent"].toInt() >= o["lines"].toInt())
                ++m.finalLines;
            if (!o["permit"].isObject())
                continue;
            const qint64 n = o["permit"]["number"].toInteger();
            m.spentTwice += m.permits.contains(n);
            m.permits.insert(n, o["id"].toString());
        }
    }
    return m;
}

} // namespace

class OrdersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.stop(); }
    void benchesShareOneOrder();
    void aUnitTakenAwayGivesItsPermitBack();
    void whatAddsNoUnit_data();
    void whatAddsNoUnit();

private:
    // A job of the order for one bench, signed by the engineer.
    QString job(const QString& name, const QString& device, const QString& record, int units,
                const QString& more = QString());
    QProcess* station(const QString& job, const QStringList& more = {},
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    PostgresServer m_db;
    QString m_key, m_signers, m_firmware = tempFolder() + "/order.s19";
    std::vector<std::unique_ptr<QProcess>> m_stations;
};

void OrdersTest::initTestCase()
{
    if (QStandardPaths::findExecutable("ssh-keygen").isEmpty())
        QSKIP("needs ssh-keygen (openssh-client)");
    QString why;
    if (!m_db.prepare(&why))
        QSKIP(qPrintable(why));
    QVERIFY(m_db.start());
    m_key = tempFolder() + "/order-engineer";
    QFile::remove(m_key);
    QCOMPARE(keygen({"-q", "-t", "ed25519", "-N", "", "-C", "eng", "-f", m_key}), 0);
    QFile pub(m_key + ".pub");
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QList<QByteArray> parts = pub.readAll().split(' ');
    m_signers = writeFile("order-signers", "eng@example " + parts[0] + ' ' + parts[1] + '\n');
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 40), m_firmware));
}

QString OrdersTest::job(const QString& name, const QString& device, const QString& record,
                        int units, const QString& more)
{
    const QString path = writeFile(name + ".conf",
                                   QStringLiteral("[Station]\nname = %1\nfile = %2\nsha256 = %3\n"
                                                  "ports = %4\nrecord = %5\norder = WO-%6\n"
                                                  "order-units = %7\n%8")
                                       .arg(name, m_firmware, sha256Of(m_firmware), device, record)
                                       .arg(QString(name).section('-', 0, 0))
                                       .arg(units)
                                       .arg(more)
                                       .toUtf8());
    QFile::remove(path + ".sig");
    keygen({"-Y", "sign", "-f", m_key, "-n", "firmware-job", path});
    return path;
}

QProcess* OrdersTest::station(const QString& job, const QStringList& more,
                              const QProcessEnvironment& env)
{
    m_stations.push_back(std::make_unique<QProcess>());
    QProcess* p = m_stations.back().get();
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
             QStringList{"station", "--job", job, "--allowed-signers", m_signers, "--next-after",
                         "0.25", "-q"} +
                 more);
    p->waitForStarted();
    return p;
}

// Three benches, each its own job of one order of 10, 8 units arriving at
// each: one killed while it holds permits and started again, the server
// stopped and started under them. At most 10 units get their final line,
// each spent permit is one unit's record and a row naming it.
void OrdersTest::benchesShareOneOrder()
{
    const QString url = m_db.url("orders");
    VirtualUnit units[3];
    QStringList records, jobs;
    for (int i = 0; i < 3; ++i) {
        const QString device = units[i].start(0, {"--prompt-interval", "50", "--next-unit-after",
                                                  QString::number(400 + 50 * i), "--units", "8"});
        records << tempFolder() + QStringLiteral("/shared-%1.jsonl").arg(i);
        for (const char* end : {"", ".permits", ".audit"})
            QFile::remove(records[i] + end);
        jobs << job(QStringLiteral("shared-%1").arg(i), device, records[i], 10);
    }
    QProcess* benches[3];
    for (int i = 0; i < 3; ++i)
        benches[i] = station(jobs[i], {"--database", url});
    QVERIFY(waitFor([&] { return madeIn(records).permits.size() >= 3; }, 40000));
    // One killed with permits in hand, then started again on its state.
    QFile state(records[1] + ".permits");
    QVERIFY(waitFor([&] { return state.open(QIODevice::ReadOnly) && !state.readAll().contains("free=\n") && (state.close(), true); }, 20000));
    signalProcess(*benches[1], SIGKILL);
    QVERIFY(benches[1]->waitForFinished(5000));
    benches[1] = station(jobs[1], {"--database", url});
    QVERIFY(m_db.stop());
    pump(2000);
    QVERIFY(m_db.start());
    // Until the order is made: every bench says so and starts no unit.
    QString said;
    QVERIFY(waitFor(
        [&] {
            for (QProcess* b : benches)
                said += QString::fromUtf8(b->readAll());
            return said.count("WO-shared: its 10 units are made") >= 1;
        },
        60000));
    pump(1500);
    for (QProcess* b : benches) {
        QCOMPARE(b->state(), QProcess::Running); // it stays up
        signalProcess(*b, SIGTERM);
        QVERIFY(b->waitForFinished(15000));
    }
    const Made made = madeIn(records);
    qInfo("made %d of 10 (%d permits spent)", made.finalLines, int(made.permits.size()));
    QVERIFY2(made.finalLines <= 10, qPrintable(QString::number(made.finalLines)));
    QCOMPARE(made.finalLines, int(made.permits.size())); // every final line spent one
    QCOMPARE(made.spentTwice, 0);
    const QStringList rows = m_db.query("orders",
                                        "SELECT number, CAST(unit_id AS text) FROM serials WHERE "
                                        "series = 'order:WO-shared' AND state = 'used'");
    QCOMPARE(rows.size(), made.permits.size());
    for (const QString& row : rows) {
        const QStringList c = row.split('|');
        QCOMPARE(made.permits.value(c[0].toLongLong()), c[1]);
    }
    QCOMPARE(m_db.query("orders", "SELECT last FROM serial_series WHERE name = 'order:WO-shared'"),
             QStringList{"10"});
    QCOMPARE(m_db.query("orders", "SELECT count(*) FROM serials WHERE series = 'order:WO-shared' "
                                  "AND state = 'leased'"),
             QStringList{"0"}); // stopped cleanly, none held
}

// Without a database the count is the bench's own: a unit taken away at
// line 30 gives its permit back, and the next two make the order.
void OrdersTest::aUnitTakenAwayGivesItsPermitBack()
{
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "400",
                                          "--leave-after", "30:1200"});
    const QString record = tempFolder() + "/away.jsonl";
    for (const char* end : {"", ".permits", ".audit"})
        QFile::remove(record + end);
    QProcess* b = station(job("away-1", device, record, 2));
    QString said;
    QVERIFY(waitFor(
        [&] {
            said += QString::fromUtf8(b->readAll());
            return said.contains("WO-away: its 2 units are made");
        },
        60000));
    signalProcess(*b, SIGTERM);
    QVERIFY(b->waitForFinished(15000));
    const QVector<QJsonObject> all = records(record);
    QVERIFY2(all.size() >= 3, qPrintable(QString::number(all.size())));
    QCOMPARE(all[0]["result"].toString(), QStringLiteral("fail")); // taken away
    QVERIFY(!all[0]["permit"].isObject());
    QSet<qint64> permits;
    for (const QJsonObject& o : all.mid(1))
        permits.insert(o["permit"]["number"].toInteger());
    QCOMPARE(permits, (QSet<qint64>{1, 2}));
}

void OrdersTest::whatAddsNoUnit_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("a job whose release ended") << "ended" << 3 << "it was released until";
    QTest::newRow("an unsigned bench with an order") << "unsigned" << 3 << "only a released job can limit its units";
    QTest::newRow("a state copied from another station") << "copied" << 2 << "leased to another computer";
}

void OrdersTest::whatAddsNoUnit()
{
    QFETCH(QString, story);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50"});
    const QString record = tempFolder() + "/none-" + story + ".jsonl";
    for (const char* end : {"", ".permits", ".audit"})
        QFile::remove(record + end);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (story == "ended") {
        station(job("ended-1", device, record, 5,
                    "valid-until = " + QDate::currentDate().addDays(-1).toString(Qt::ISODate) + "\n"));
    } else if (story == "unsigned") {
        const QString bench = writeFile("unsigned-order.conf",
                                        QStringLiteral("[Station]\nfile = %1\nports = %2\nrecord = "
                                                       "%3\norder = WO-9\norder-units = 5\n")
                                            .arg(m_firmware, device, record)
                                            .toUtf8());
        m_stations.push_back(std::make_unique<QProcess>());
        m_stations.back()->setProcessChannelMode(QProcess::MergedChannels);
        m_stations.back()->start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
                                 {"station", "--config", bench, "-q"});
    } else {
        // What another station's state says, put beside this one's record.
        writeFile("none-copied.jsonl.permits",
                  "order=WO-copied\nunits=5\nmachine=another-computer\nholder=x\nfree=1-5\n"
                  "taken=\nspent=0\n");
        QFile::rename(tempFolder() + "/none-copied.jsonl.permits", record + ".permits");
        station(job("copied-1", device, record, 5));
    }
    QProcess* s = m_stations.back().get();
    QVERIFY(s->waitForFinished(20000));
    const QString out = QString::fromUtf8(s->readAll());
    QVERIFY2(out.contains(said), qPrintable(out));
    QCOMPARE(s->exitCode(), exitCode);
    pump(200);
    QCOMPARE(unit.receivedLines().size(), 0);
}

CORE_TEST_MAIN(OrdersTest)
#include "tst_orders.moc"
