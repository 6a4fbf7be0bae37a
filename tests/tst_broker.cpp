// Stations on a real Mosquitto broker of the test's own: their record lines
// and retained state as subscribers see them, a line controller's commands
// and their replies, a broker that goes away and comes back, a station
// killed, a released job loaded from afar, and the supervisor's watch.

#include "coresupport.h"
#include "upload/firmwarefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <csignal>

using namespace TestSupport;

namespace {

QJsonObject json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// The replies whose id is `id`.
QVector<QJsonObject> repliesTo(Subscriber& s, const QJsonValue& id)
{
    QVector<QJsonObject> found;
    for (const QByteArray& p : s.payloads("reply")) {
        const QJsonObject o = json(p);
        if (o.value("id") == id)
            found << o;
    }
    return found;
}

QJsonObject lastState(Subscriber& s)
{
    const QVector<QByteArray> states = s.payloads("state");
    return states.isEmpty() ? QJsonObject() : json(states.last());
}

QVector<QJsonObject> auditLines(const QString& path, const QString& event)
{
    QVector<QJsonObject> found;
    for (const QJsonObject& o : records(path)) {
        if (o.value("event").toString() == event)
            found << o;
    }
    return found;
}

int keygen(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("ssh-keygen"), arguments);
    p.waitForFinished(20000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class BrokerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString why;
        if (!m_broker.prepare(&why))
            QSKIP(qPrintable(why));
        QVERIFY(m_broker.start());
        QVERIFY(makeSrecordFile(realBinaryBytes(16 * 30), m_firmware));
    }
    void cleanupTestCase() { m_broker.stop(); }

    void unitsStateAndCommands();
    void brokerGoneAndBack();
    void lastWillAfterAKill();
    void releasedJobLoadedFromAfar();
    void supervisorsWatch();
    void aRefusedPasswordIsSaid();
    void refusedLinesWaitForTheAcl();
    void frozenBrokerIsADeadConnection();

private:
    // A station named `name` on the broker, with one adaptor; `more` beside.
    void startStation(QProcess& station, const QString& name, const Adaptor& adaptor,
                      const QStringList& more = {},
                      const QString& password = MosquittoBroker::password("bench"));
    QString record(const QString& name) const { return tempFolder() + "/" + name + ".jsonl"; }

    MosquittoBroker m_broker;
    QString m_firmware = tempFolder() + "/broker.s19";
};

void BrokerTest::startStation(QProcess& station, const QString& name, const Adaptor& adaptor,
                              const QStringList& more, const QString& password)
{
    QFile::remove(record(name));
    QFile::remove(record(name) + ".published");
    QFile::remove(record(name) + ".audit");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MQTT_PASSWORD", password);
    station.setProcessEnvironment(env);
    station.start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
                  QStringList{"station", m_firmware, "-p", adaptor.name, "--slot-name", "Bench A",
                              "--station-name", name, "--record", record(name), "--next-after",
                              "0.5", "--mqtt", m_broker.url("bench"), "-q"} +
                      more);
    QVERIFY(station.waitForStarted());
}

void BrokerTest::unitsStateAndCommands()
{
    Subscriber early(m_broker, "watcher", "factory/bench-1/#");
    Adaptor adaptor(tempFolder() + "/usb-MQ1");
    QVERIFY(adaptor.plugIn({"--next-unit-after", "900"}));
    QProcess station;
    startStation(station, "bench-1", adaptor);

    // A unit's record line, on the units topic with its id.
    QVERIFY(waitFor([&] { return records(record("bench-1")).size() >= 1; }, 20000));
    const QString id = records(record("bench-1")).first().value("id").toString();
    QVERIFY(early.waitFor(
        [&](Subscriber& s) {
            for (const QByteArray& p : s.payloads("units"))
                if (json(p).value("id").toString() == id)
                    return true;
            return false;
        },
        10000));

    // One that arrives late sees the retained state.
    {
        Subscriber late(m_broker, "watcher", "factory/bench-1/state");
        // Retained, and up to date within half a second of the unit's result.
        QVERIFY(late.waitFor(
            [](Subscriber& s) {
                return lastState(s)["slots"].toArray().first().toObject()["passed"].toInt() >= 1;
            },
            5000));
        const QJsonObject state = lastState(late);
        QCOMPARE(state.value("station").toString(), QStringLiteral("bench-1"));
        QVERIFY(state.value("online").toBool());
        QVERIFY(state.value("running").toBool());
        const QJsonObject slot = state.value("slots").toArray().first().toObject();
        QCOMPARE(slot.value("slot").toString(), adaptor.name);
        QCOMPARE(slot.value("name").toString(), QStringLiteral("Bench A"));
    }

    // Commands that are no commands: an error each, nothing done.
    const QString command = "factory/bench-1/command";
    QVERIFY(m_broker.publish("controller", command, "{nope"));
    QVERIFY(m_broker.publish("controller", command, R"({"command": "stop"})"));
    QVERIFY(m_broker.publish("controller", command, R"({"id": "u1", "command": "explode"})"));
    QVERIFY(
        early.waitFor([](Subscriber& s) { return repliesTo(s, QJsonValue()).size() >= 2; }, 5000));
    const QVector<QJsonObject> anonymous = repliesTo(early, QJsonValue());
    QVERIFY2(anonymous[0]["error"].toString().contains("no JSON"),
             qPrintable(anonymous[0]["error"].toString()));
    QVERIFY(anonymous[1]["error"].toString().contains("needs an \"id\""));
    QVERIFY(early.waitFor([](Subscriber& s) { return !repliesTo(s, "u1").isEmpty(); }, 5000));
    QVERIFY(
        repliesTo(early, "u1").first()["error"].toString().contains("\"explode\" is no command"));
    QCOMPARE(station.state(), QProcess::Running);

    // Paused (twice by one id: done once), the slot flashes no new unit.
    const QByteArray pause =
        R"({"id": "p1", "command": "pause", "slot": "Bench A", "by": "line-3"})";
    QVERIFY(m_broker.publish("controller", command, pause));
    QVERIFY(m_broker.publish("controller", command, pause));
    QVERIFY(early.waitFor([](Subscriber& s) { return repliesTo(s, "p1").size() >= 2; }, 5000));
    const QVector<QJsonObject> paused = repliesTo(early, "p1");
    QCOMPARE(paused[0], paused[1]);
    QVERIFY(paused[0]["ok"].toBool());
    QCOMPARE(paused[0]["slots"].toArray().first().toString(), adaptor.name);
    const QString audit = record("bench-1") + ".audit";
    int done = 0, repeated = 0;
    for (const QJsonObject& o : auditLines(audit, "command")) {
        if (o["command_id"].toString() == "p1") {
            done += o["outcome"].toString() == "done";
            repeated += o["outcome"].toString() == "repeated";
            QCOMPARE(o["by"].toString(), QStringLiteral("line-3"));
        }
    }
    QCOMPARE(done, 1);
    QCOMPARE(repeated, 1);
    QVERIFY(early.waitFor(
        [](Subscriber& s) {
            const QJsonObject slot = lastState(s)["slots"].toArray().first().toObject();
            return slot["paused"].toBool() &&
                   slot["reason"].toString() == "paused by the line controller";
        },
        8000));
    const int before = records(record("bench-1")).size();
    pump(2500);
    QCOMPARE(records(record("bench-1")).size(), before);

    // Resumed, it goes on.
    QVERIFY(m_broker.publish("controller", command, R"({"id": "r1", "command": "resume"})"));
    QVERIFY(waitFor([&] { return records(record("bench-1")).size() > before; }, 15000));

    // Stopped: one reply, the units under way recorded, a clean end.
    QVERIFY(m_broker.publish("controller", command, R"({"id": "s1", "command": "stop"})"));
    QVERIFY(station.waitForFinished(15000));
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QCOMPARE(station.exitCode(), 0);
    QVERIFY(early.waitFor([](Subscriber& s) { return !lastState(s)["online"].toBool(); }, 5000));
    QCOMPARE(repliesTo(early, "s1").size(), 1);
    QVERIFY(repliesTo(early, "s1").first()["ok"].toBool());
    for (const QJsonObject& r : records(record("bench-1")))
        QCOMPARE(r["result"].toString(), QStringLiteral("pass"));
}

// The broker stopped mid-run and started again: every record line reaches
// a subscriber whose session the broker keeps, and the units go on.
void BrokerTest::brokerGoneAndBack()
{
    {
        // The session made before the station publishes anything.
        Subscriber first(m_broker, "watcher", "factory/bench-2/units", "keeper-2");
        QVERIFY(first.waitFor([](Subscriber&) { return false; }, 500) || true);
    }
    Subscriber keeper(m_broker, "watcher", "factory/bench-2/units", "keeper-2");
    Adaptor adaptor(tempFolder() + "/usb-MQ2");
    QVERIFY(adaptor.plugIn({"--next-unit-after", "700"}));
    QProcess station;
    startStation(station, "bench-2", adaptor);
    QVERIFY(waitFor([&] { return records(record("bench-2")).size() >= 2; }, 20000));
    QVERIFY(m_broker.stop());
    const int atStop = records(record("bench-2")).size();
    // The station goes on without it.
    QVERIFY(waitFor([&] { return records(record("bench-2")).size() >= atStop + 3; }, 20000));
    QVERIFY(m_broker.start());
    QVERIFY(waitFor([&] { return records(record("bench-2")).size() >= atStop + 4; }, 20000));
    QSet<QString> ids;
    for (const QJsonObject& r : records(record("bench-2"))) {
        QCOMPARE(r["result"].toString(), QStringLiteral("pass"));
        ids << r["id"].toString();
    }
    QVERIFY(keeper.waitFor(
        [&](Subscriber& s) {
            QSet<QString> got;
            for (const QByteArray& p : s.payloads("units"))
                got << json(p)["id"].toString();
            return got.contains(ids);
        },
        30000));
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(10000));
}

void BrokerTest::lastWillAfterAKill()
{
    Subscriber states(m_broker, "watcher", "factory/bench-3/state");
    Adaptor adaptor(tempFolder() + "/usb-MQ3");
    QVERIFY(adaptor.plugIn({}));
    QProcess station;
    startStation(station, "bench-3", adaptor);
    QVERIFY(states.waitFor([](Subscriber& s) { return lastState(s)["online"].toBool(); }, 10000));
    station.kill();
    QVERIFY(station.waitForFinished(5000));
    QVERIFY(states.waitFor(
        [](Subscriber& s) {
            const QJsonObject o = lastState(s);
            return !o.isEmpty() && !o["online"].toBool();
        },
        10000));
    Subscriber late(m_broker, "watcher", "factory/bench-3/state");
    QVERIFY(late.waitFor([](Subscriber& s) { return !s.payloads("state").isEmpty(); }, 5000));
    QCOMPARE(lastState(late), QJsonObject({{"station", "bench-3"}, {"online", false}}));
}

void BrokerTest::releasedJobLoadedFromAfar()
{
    // A job releasing another build, signed by an engineer the station trusts.
    const QString key = tempFolder() + "/engineer";
    QFile::remove(key);
    QFile::remove(key + ".pub");
    QCOMPARE(keygen({"-q", "-t", "ed25519", "-N", "", "-C", "eng", "-f", key}), 0);
    QFile pub(key + ".pub");
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QList<QByteArray> parts = pub.readAll().split(' ');
    const QString allowed = writeFile("allowed", "eng@factory namespaces=\"firmware-job\" " +
                                                     parts[0] + ' ' + parts[1] + '\n');
    const QString build = tempFolder() + "/build-2.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), build));
    const QString digest = FirmwareFile::digest(build, nullptr).value_or(QString());
    Adaptor adaptor(tempFolder() + "/usb-MQ4");
    const QString job =
        writeFile("remote.conf", QStringLiteral("[Station]\nfile = %1\nsha256 = %2\n"
                                                "ports = %3\nrecord = %4\n")
                                     .arg(build, digest, adaptor.name, record("bench-4"))
                                     .toUtf8());
    const QString unsigned_ = writeFile(
        "unsigned.conf",
        QStringLiteral("[Station]\nfile = %1\nsha256 = %2\n").arg(build, digest).toUtf8());
    QVERIFY(adaptor.plugIn({"--next-unit-after", "900"}));
    QVERIFY(keygen({"-Y", "sign", "-f", key, "-n", "firmware-job", job}) == 0);

    Subscriber replies(m_broker, "watcher", "factory/bench-4/reply");
    QProcess station;
    startStation(station, "bench-4", adaptor, {"--allowed-signers", allowed});
    QVERIFY(waitFor([&] { return records(record("bench-4")).size() >= 1; }, 20000));
    const QString command = "factory/bench-4/command";
    QVERIFY(m_broker.publish(
        "controller", command,
        QJsonDocument(QJsonObject{{"id", "j0"}, {"command", "load-job"}, {"job", unsigned_}})
            .toJson()));
    QVERIFY(replies.waitFor([](Subscriber& s) { return !repliesTo(s, "j0").isEmpty(); }, 10000));
    QVERIFY(!repliesTo(replies, "j0").first()["ok"].toBool());
    QVERIFY(!repliesTo(replies, "j0").first()["error"].toString().isEmpty());

    QVERIFY(m_broker.publish(
        "controller", command,
        QJsonDocument(QJsonObject{{"id", "j1"}, {"command", "load-job"}, {"job", job}}).toJson()));
    QVERIFY(replies.waitFor([](Subscriber& s) { return !repliesTo(s, "j1").isEmpty(); }, 20000));
    const QJsonObject loaded = repliesTo(replies, "j1").first();
    QVERIFY2(loaded["ok"].toBool(), qPrintable(loaded["error"].toString()));
    QCOMPARE(loaded["job"].toObject()["signer"].toString(), QStringLiteral("eng@factory"));
    // The next unit gets the job's build, and its record says so.
    QVERIFY(waitFor(
        [&] {
            const QVector<QJsonObject> all = records(record("bench-4"));
            return !all.isEmpty() && all.last()["sha256"].toString() == digest;
        },
        20000));
    QCOMPARE(records(record("bench-4")).last()["job"].toObject()["file"].toString(), job);
    QVERIFY(!auditLines(record("bench-4") + ".audit", "job-verified").isEmpty());

    // A job asked for just before a stop (the two back to back) is
    // answered, and never run.
    const int before = records(record("bench-4")).size();
    QVERIFY(m_broker.publishEach(
        "controller", command,
        {QJsonDocument(QJsonObject{{"id", "j2"}, {"command", "load-job"}, {"job", job}})
             .toJson(QJsonDocument::Compact),
         R"({"id": "s2", "command": "stop"})"}));
    QVERIFY(station.waitForFinished(20000));
    QVERIFY2(station.exitCode() == 0, station.readAllStandardError().right(3000).constData());
    QVERIFY(replies.waitFor([](Subscriber& s) { return !repliesTo(s, "j2").isEmpty(); }, 5000));
    QVERIFY(!repliesTo(replies, "j2").first()["ok"].toBool());
    QVERIFY(repliesTo(replies, "s2").first()["ok"].toBool());
    QVERIFY(records(record("bench-4")).size() <= before + 1);
}

void BrokerTest::supervisorsWatch()
{
    Adaptor adaptor(tempFolder() + "/usb-MQ5");
    QVERIFY(adaptor.plugIn({"--next-unit-after", "900"}));
    QProcess station;
    startStation(station, "bench-5", adaptor);
    QProcess watch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MQTT_PASSWORD", MosquittoBroker::password("watcher"));
    watch.setProcessEnvironment(env);
    watch.start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
                {"watch", m_broker.url("watcher"), "--station", "bench-5"});
    QByteArray seen;
    QVERIFY(waitFor(
        [&] {
            seen += watch.readAllStandardOutput();
            return seen.contains("bench-5: running") &&
                   seen.contains(("  " + adaptor.name + "  PASS").toUtf8());
        },
        20000));
    QVERIFY2(seen.contains("  Bench A  ["), seen.constData());
    signalProcess(watch, SIGTERM);
    QVERIFY(watch.waitForFinished(5000));
    QCOMPARE(watch.exitCode(), 0);
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(10000));
}

// A broker that refuses the station's password: said, with the broker's
// words, and the units go on without it.
void BrokerTest::aRefusedPasswordIsSaid()
{
    Adaptor adaptor(tempFolder() + "/usb-MQ6");
    QVERIFY(adaptor.plugIn({}));
    QProcess station;
    startStation(station, "bench-6", adaptor, {}, "wrong");
    QVERIFY(waitFor([&] { return records(record("bench-6")).size() >= 1; }, 20000));
    QByteArray said;
    QVERIFY(waitFor(
        [&] {
            said += station.readAllStandardError();
            // The broker's MQTT v5 reason, in libmosquitto's words.
            return said.contains("not reached (Bad user name or password") ||
                   said.contains("not reached (Not authorized");
        },
        10000));
    QVERIFY(!said.contains("wrong"));
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(10000));
}

namespace {

// Of the record's units, how many the subscriber missed and got twice or more.
QPair<int, int> missedAndDoubled(Subscriber& s, const QString& record)
{
    QHash<QString, int> got;
    for (const QByteArray& p : s.payloads("units"))
        ++got[json(p)["id"].toString()];
    int missed = 0, doubled = 0;
    for (const QJsonObject& r : records(record)) {
        const int n = got.value(r["id"].toString());
        missed += n == 0;
        doubled += n > 1;
    }
    return {missed, doubled};
}

} // namespace

// MQTT 3.1.1 could not say a publish was refused; v5 can: the refusal is
// said, the lines wait, and each arrives once the ACL lets it.
void BrokerTest::refusedLinesWaitForTheAcl()
{
    Subscriber keeper(m_broker, "watcher", "factory/bench-8/units", "keeper-8");
    m_broker.setAcl("user bench\ntopic deny factory/bench-8/units\ntopic readwrite factory/#\n"
                    "user controller\ntopic readwrite factory/#\nuser watcher\ntopic read factory/#\n");
    Adaptor adaptor(tempFolder() + "/usb-MQ8");
    QVERIFY(adaptor.plugIn({"--next-unit-after", "700"}));
    QProcess station;
    station.setProcessChannelMode(QProcess::MergedChannels);
    startStation(station, "bench-8", adaptor);
    QVERIFY(waitFor([&] { return records(record("bench-8")).size() >= 3; }, 30000));
    QVERIFY(waitFor([&] { return station.peek(1 << 20).contains("the broker refuses bench-8's units"); },
                    10000));
    QVERIFY2(station.peek(1 << 20).contains("Not authorized"), station.peek(1 << 20).constData());
    QCOMPARE(keeper.payloads("units").size(), 0);
    m_broker.setAcl(MosquittoBroker::usualAcl());
    QElapsedTimer mended;
    mended.start();
    QVERIFY(keeper.waitFor([&](Subscriber& s) { return missedAndDoubled(s, record("bench-8")).first == 0; },
                           90000));
    const auto [missed, doubled] = missedAndDoubled(keeper, record("bench-8"));
    qInfo("ACL mended: every line in %.1f s, %d missed, %d doubled", mended.elapsed() / 1000.0,
          missed, doubled);
    QCOMPARE(doubled, 0);
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(10000));
}

// A broker that takes the connection and answers nothing (frozen): past the
// deadline it counts as gone, the station says why, and every line arrives
// once it answers again.
void BrokerTest::frozenBrokerIsADeadConnection()
{
    Subscriber keeper(m_broker, "watcher", "factory/bench-9/units", "keeper-9");
    Adaptor adaptor(tempFolder() + "/usb-MQ9");
    QVERIFY(adaptor.plugIn({"--next-unit-after", "700"}));
    QProcess station;
    station.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FIRMWARE_STATION_BROKER_DEADLINE", "3");
    env.insert("MQTT_PASSWORD", MosquittoBroker::password("bench"));
    station.setProcessEnvironment(env);
    QFile::remove(record("bench-9"));
    QFile::remove(record("bench-9") + ".published");
    station.start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
                  {"station", m_firmware, "-p", adaptor.name, "--station-name", "bench-9",
                   "--record", record("bench-9"), "--next-after", "0.5", "--mqtt",
                   m_broker.url("bench"), "-q"});
    QVERIFY(waitFor([&] { return records(record("bench-9")).size() >= 1; }, 20000));
    m_broker.freeze(true);
    const int atFreeze = int(records(record("bench-9")).size());
    QVERIFY(waitFor([&] { return station.peek(1 << 20).contains("acknowledged nothing for 3 s"); },
                    20000));
    QVERIFY(waitFor([&] { return records(record("bench-9")).size() >= atFreeze + 2; }, 20000));
    m_broker.freeze(false);
    QElapsedTimer back;
    back.start();
    QVERIFY(keeper.waitFor([&](Subscriber& s) { return missedAndDoubled(s, record("bench-9")).first == 0; },
                           90000));
    const auto [missed, doubled] = missedAndDoubled(keeper, record("bench-9"));
    qInfo("broker frozen: %d lines, every one %.1f s after it answered again, %d doubled",
          int(records(record("bench-9")).size()), back.elapsed() / 1000.0, doubled);
    QCOMPARE(missed, 0);
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(10000));
}

CORE_TEST_MAIN(BrokerTest)
#include "tst_broker.moc"
