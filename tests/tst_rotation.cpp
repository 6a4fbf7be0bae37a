// A station's record rotated, moved, cut shorter and replaced while it
// forwards to a real PostgreSQL and a real Mosquitto: every line the
// station wrote, in whichever file it is now, is one row and at least one
// message; none is skipped.

#include "coresupport.h"
#include "records/recordcursor.h"
#include "records/recordfile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QSet>
#include <QUuid>
#include <csignal>
#include <unistd.h>

using namespace TestSupport;

class RotationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void recordChangedUnderTheStation_data();
    void recordChangedUnderTheStation();
    void readersFinishTheFileBeingWritten();

private:
    PostgresServer m_db;
    MosquittoBroker m_broker;
    QString m_firmware = tempFolder() + "/rotation.s19";
};

void RotationTest::initTestCase()
{
    QString why;
    if (!m_db.prepare(&why) || !m_broker.prepare(&why))
        QSKIP(qPrintable(why));
    QVERIFY(m_db.start());
    QVERIFY(m_broker.start());
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 12), m_firmware));
}

void RotationTest::cleanupTestCase()
{
    m_broker.stop();
    m_db.stop();
}

void RotationTest::recordChangedUnderTheStation_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("rotated: moved, then SIGHUP") << "rotated";
    QTest::newRow("moved away behind its back") << "moved";
    QTest::newRow("cut to nothing behind its back") << "cut";
    QTest::newRow("replaced by a longer file") << "replaced";
}

void RotationTest::recordChangedUnderTheStation()
{
    QFETCH(QString, fault);
    const QString name = "rot-" + fault;
    const QString record = tempFolder() + "/" + name + ".jsonl";
    for (const QString& f : QDir(tempFolder()).entryList({name + ".jsonl*"}))
        QFile::remove(tempFolder() + "/" + f);
    const QString url = m_db.url(QString(name).replace('-', '_'));
    Subscriber keeper(m_broker, "watcher", "factory/" + name + "/units", "keeper-" + name);
    Adaptor adaptor(tempFolder() + "/usb-" + name);
    QVERIFY(adaptor.plugIn({"--next-unit-after", "700"}));
    QProcess station;
    station.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MQTT_PASSWORD", MosquittoBroker::password("bench"));
    station.setProcessEnvironment(env);
    // Standard error not a terminal: SIGHUP is a rotation.
    station.start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
                  {"station", m_firmware, "-p", adaptor.name, "--station-name", name, "--record",
                   record, "--next-after", "0.5", "--database", url, "--mqtt",
                   m_broker.url("bench"), "-q"});
    QVERIFY(station.waitForStarted());
    // Each id the station wrote, read off its files as they stand, before each change.
    QSet<QString> written;
    const auto take = [&](const QString& path) {
        for (const QJsonObject& r : records(path))
            written.insert(r["id"].toString());
    };
    QVERIFY(waitFor([&] { return records(record).size() >= 3; }, 30000));
    const auto rows = [&] {
        const QStringList ids = m_db.query(QString(name).replace('-', '_'), "SELECT id FROM units");
        return QSet<QString>(ids.begin(), ids.end());
    };
    if (fault == "cut") {
        // What is in it reaches the database first; then it is emptied.
        take(record);
        QVERIFY(waitFor([&] { return rows().contains(written); }, 20000));
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(0));
    } else if (fault == "replaced") {
        take(record);
        QByteArray other;
        for (int i = 0; i < 10; ++i) {
            QJsonObject line = records(record).first();
            line["id"] = QUuid::createUuid().toString(QUuid::WithoutBraces);
            other += QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
        }
        const QString swap = writeFile(name + ".swap", other);
        QVERIFY(::rename(QFile::encodeName(swap).constData(), QFile::encodeName(record).constData()) ==
                0);
    } else {
        QVERIFY(QFile::rename(record, record + ".1"));
        if (fault == "rotated")
            signalProcess(station, SIGHUP);
    }
    // Units go on into the record at its path.
    QVERIFY(waitFor([&] { return records(record).size() >= (fault == "replaced" ? 13 : 3); }, 30000));
    pump(500);
    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(15000));
    take(record);
    take(record + ".1");
    // One row each; at least one message each.
    if (!waitFor([&] { return rows() == written; }, 20000)) {
        const QSet<QString> got = rows();
        QFAIL(qPrintable(QString("%1 lines, %2 rows; missing %3, not ours %4\n%5")
                             .arg(written.size())
                             .arg(got.size())
                             .arg(QStringList((written - got).values()).join(' '))
                             .arg(QStringList((got - written).values()).join(' '))
                             .arg(QString::fromUtf8(station.readAll()).right(2000))));
    }
    QSet<QString> got;
    if (!keeper.waitFor(
            [&](Subscriber& s) {
                got.clear();
                for (const QByteArray& p : s.payloads("units"))
                    got.insert(QJsonDocument::fromJson(p).object()["id"].toString());
                return got.contains(written);
            },
            20000))
        QFAIL(qPrintable(QString("%1 lines, %2 messaged; missing %3\n%4")
                             .arg(written.size())
                             .arg(got.size())
                             .arg(QStringList((written - got).values()).join(' '))
                             .arg(QString::fromUtf8(station.readAll()).right(2000))));
    QHash<QString, int> messages;
    for (const QByteArray& p : keeper.payloads("units"))
        ++messages[QJsonDocument::fromJson(p).object()["id"].toString()];
    int doubled = 0;
    for (const QString& id : written)
        doubled += messages.value(id) > 1;
    qInfo("%s: %d lines, %d rows, 0 missing; %d messages doubled", qPrintable(fault),
          int(written.size()), int(rows().size()), doubled);
    const QString said = QString::fromUtf8(station.readAll());
    QVERIFY2(fault == "rotated" ? said.contains("was opened anew")
                                : said.contains("behind the station's back"),
             qPrintable(said.right(2000)));
}

// The path replaced while a reader is behind the station, in one process:
// the lines the station wrote into its file before it noticed are read
// there before the new file, from its first line.
void RotationTest::readersFinishTheFileBeingWritten()
{
    const QString path = tempFolder() + "/live.jsonl";
    QFile::remove(path);
    RecordFile station;
    station.setFollowsPath(true);
    QString error, notice;
    QVERIFY(station.open(path, &error));
    QVERIFY(station.appendLine("{\"id\":\"a\"}\n", &error));
    QVERIFY(station.appendLine("{\"id\":\"b\"}\n", &error));
    RecordCursor cursor;
    {
        std::unique_ptr<RecordSource::Place> place = RecordSource::open(path, cursor, &error);
        QVERIFY(place);
        cursor = place->cursor;
        const QByteArray first = place->file->readLine();
        cursor.offset += first.size();
        cursor.lastId = "a";
    }
    {
        // Two readers (the database's, the broker's) each at their own place.
        std::unique_ptr<RecordSource::Place> one = RecordSource::open(path, cursor, &error);
        std::unique_ptr<RecordSource::Place> two = RecordSource::open(path, cursor, &error);
        QVERIFY(one && two);
        QCOMPARE(RecordSource::idOf(one->file->readLine()), QString("b"));
        QCOMPARE(RecordSource::idOf(two->file->readLine()), QString("b"));
    }
    const QString other = writeFile("live.other", "{\"id\":\"x\"}\n");
    QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0);
    QStringList read;
    const auto readOn = [&] {
        for (int files = 0; files < 4; ++files) {
            std::unique_ptr<RecordSource::Place> place = RecordSource::open(path, cursor, &error);
            if (!place)
                return;
            cursor = place->cursor;
            while (true) {
                const QByteArray line = place->file->readLine();
                if (!line.endsWith('\n'))
                    break;
                cursor.offset += line.size();
                read << RecordSource::idOf(line);
            }
            if (!place->retired)
                return;
            cursor = RecordSource::next(path, cursor);
        }
    };
    readOn();
    QCOMPARE(read, QStringList{"b"});
    QVERIFY(station.appendLine("{\"id\":\"c\"}\n", &error, &notice));
    QVERIFY2(notice.contains("replaced"), qPrintable(notice));
    readOn();
    QCOMPARE(read, (QStringList{"b", "x", "c"}));
}

CORE_TEST_MAIN(RotationTest)
#include "tst_rotation.moc"
