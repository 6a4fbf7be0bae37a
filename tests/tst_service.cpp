// The station as an unattended service: started from a config file alone,
// telling systemd it is ready and pinging its watchdog from the event loop
// (missing the pings while stopped), lines with the journal's levels, and
// a metrics file that promtool accepts and the real node_exporter serves.

#include "cli/exitcode.h"
#include "coresupport.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// The socket systemd would give a service in NOTIFY_SOCKET.
class NotifySocket
{
public:
    explicit NotifySocket(const QString& path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un at{};
        at.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(at.sun_path, name.constData(), size_t(name.size()));
        ::unlink(name.constData());
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    }
    ~NotifySocket() { ::close(m_fd); }
    // Every message that came since the last call.
    QStringList take()
    {
        QStringList got;
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            got << QString::fromUtf8(buffer, int(n));
        return got;
    }

private:
    QString m_path;
    int m_fd = -1;
};

// The body of GET /metrics from 127.0.0.1:port; empty when nothing answers.
QByteArray scrape(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(quint16(port));
    QByteArray reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) {
        const QByteArray request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        (void)::write(fd, request.constData(), size_t(request.size()));
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            reply.append(buffer, int(n));
    }
    ::close(fd);
    const int body = int(reply.indexOf("\r\n\r\n"));
    return body < 0 ? QByteArray() : reply.mid(body + 4);
}

// "device:inode" of a file, as JOURNAL_STREAM names standard error.
QByteArray journalStream(const QString& path)
{
    struct stat st {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

// A value of the metrics text: the series named, with these labels in any
// order (node_exporter sorts them); -1 when there is none.
double metric(const QByteArray& text, const QByteArray& name, const QByteArrayList& labels = {})
{
    for (const QByteArray& line : text.split('\n')) {
        const int open = int(line.indexOf('{'));
        const int close = int(line.lastIndexOf('}'));
        if (open < 0 || close < open || line.left(open) != name)
            continue;
        const QByteArrayList has = line.mid(open + 1, close - open - 1).split(',');
        if (std::all_of(labels.begin(), labels.end(),
                        [&](const QByteArray& l) { return has.contains(l); }) &&
            has.size() == labels.size())
            return line.mid(close + 2).toDouble();
    }
    return -1;
}

} // namespace

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCoreSeams(); }

    void benchFromItsConfigFileAlone();
    void configRefused_data();
    void configRefused();
    void unitFileVerifies();
    void exitCodesAgree();
};

void ServiceTest::benchFromItsConfigFileAlone()
{
    const QString folder = tempFolder() + "/bench";
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder + "/textfile"));
    const QString firmware = folder + "/fw.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(16 * 20), firmware));
    // No record in the file: the service's state folder keeps it.
    const QString record = folder + "/bench-7.jsonl";
    const QString metrics = folder + "/textfile/bench.prom";
    VirtualUnit unit;
    const QString device = unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "1000"});
    const QString config = writeFile("bench.conf", QStringLiteral("; a bench of one slot\n"
                                                                  "[Station]\n"
                                                                  "name = bench-7\n"
                                                                  "file = %1\n"
                                                                  "ports = %2\n"
                                                                  "metrics = %3\n"
                                                                  "next-after = 0.6\n"
                                                                  "serial = 0x20:4\n"
                                                                  "serial-start = 500\n")
                                                       .arg(firmware, device, metrics)
                                                       .toUtf8());
    NotifySocket notify(folder + "/notify");
    const QString errors = folder + "/stderr";
    QFile(errors).open(QIODevice::WriteOnly);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTIFY_SOCKET", folder + "/notify");
    env.insert("WATCHDOG_USEC", "400000");
    env.insert("STATE_DIRECTORY", folder);
    env.insert("JOURNAL_STREAM", QString::fromLatin1(journalStream(errors)));
    QProcess station;
    station.setProcessEnvironment(env);
    station.setStandardErrorFile(errors, QIODevice::Append);
    station.start(FIRMWARE_UPLOAD_PATH, {"station", "--config", config, "-q"});
    QStringList said;
    QVERIFY(waitFor(
        [&] {
            said += notify.take();
            return said.contains("READY=1") && said.count("WATCHDOG=1") >= 3;
        },
        5000));
    QVERIFY(waitFor([&] { return records(record).size() >= 2; }, 20000));

    // A loop that does not run sends no pings; one that runs again does.
    signalProcess(station, SIGSTOP);
    pump(300);
    notify.take();
    pump(1200);
    const QStringList whileStopped = notify.take();
    signalProcess(station, SIGCONT);
    QVERIFY2(!whileStopped.contains("WATCHDOG=1"), qPrintable(whileStopped.join(' ')));
    QVERIFY(waitFor([&] { return notify.take().contains("WATCHDOG=1"); }, 2000));

    signalProcess(station, SIGTERM);
    QVERIFY(station.waitForFinished(10000));
    QCOMPARE(station.exitCode(), 143);
    QVERIFY(notify.take().contains("STOPPING=1"));

    // Each line with its level for the journal.
    QFile log(errors);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    const QString all = QString::fromUtf8(lines.join('\n'));
    QVERIFY2(
        QRegularExpression("(^|\n)<6>station bench-7: \\d+ passed, 0 failed").match(all).hasMatch(),
        qPrintable(all));
    for (const QByteArray& line : lines)
        QVERIFY2(line.isEmpty() || QRegularExpression("^<[346]>").match(line).hasMatch(),
                 line.constData());

    // The metrics as the record has them.
    const QVector<QJsonObject> units = records(record);
    int passed = 0;
    qint64 linesSent = 0;
    for (const QJsonObject& r : units) {
        passed += r["result"].toString() == "pass" ? 1 : 0;
        linesSent += r["lines_sent"].toInt();
    }
    QFile prom(metrics);
    QVERIFY(prom.open(QIODevice::ReadOnly));
    const QByteArray text = prom.readAll();
    const QByteArrayList slot = {"station=\"bench-7\"", "slot=\"" + device.toUtf8() + '"'};
    const QByteArrayList bench = {"station=\"bench-7\""};
    QCOMPARE(metric(text, "firmware_station_units_total", slot + QByteArrayList{"result=\"pass\""}),
             double(passed));
    QCOMPARE(metric(text, "firmware_station_lines_sent_total", slot), double(linesSent));
    QCOMPARE(metric(text, "firmware_station_unit_duration_seconds_count", bench),
             double(units.size()));
    QCOMPARE(metric(text, "firmware_station_serial_next", bench), 500.0 + units.size());
    QCOMPARE(
        metric(text, "firmware_station_slot_state", slot + QByteArrayList{"state=\"stopped\""}),
        1.0);
    QVERIFY(!QFile::exists(metrics + ".tmp"));

    if (QStandardPaths::findExecutable("promtool").isEmpty())
        QSKIP("needs promtool (scripts/test.sh installs prometheus)");
    QProcess check;
    check.setStandardInputFile(metrics);
    check.start("promtool", {"check", "metrics"});
    QVERIFY(check.waitForFinished(20000));
    QVERIFY2(check.exitCode() == 0, check.readAll().constData());

    // The real node_exporter, with its textfile collector alone.
    const QString exporter = "/usr/bin/prometheus-node-exporter";
    if (!QFile::exists(exporter))
        QSKIP("needs prometheus-node-exporter (scripts/test.sh installs it)");
    int port = 0;
    ::close(TestSupport::loopbackSocket(false, &port));
    QProcess node;
    node.start(exporter, {"--collector.disable-defaults", "--collector.textfile",
                          "--collector.textfile.directory=" + folder + "/textfile",
                          "--web.listen-address=127.0.0.1:" + QString::number(port)});
    QByteArray served;
    QVERIFY(waitFor(
        [&] {
            served = scrape(port);
            return served.contains("firmware_station_units_total");
        },
        10000));
    node.terminate();
    node.waitForFinished(5000);
    QCOMPARE(
        metric(served, "firmware_station_units_total", slot + QByteArrayList{"result=\"pass\""}),
        double(passed));
    QVERIFY(served.contains("\nnode_textfile_scrape_error 0\n"));
}

void ServiceTest::configRefused_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("more");
    QTest::addColumn<QString>("message"); // after the file's name
    QTest::newRow("an unknown key, named with its line")
        << "[Station]\nname = bench-7\nport = /dev/ttyUSB0\n"
        << QStringList() << ":3: unknown key \"port\"";
    QTest::newRow("a bad value, named with its key and line")
        << "[Station]\n; comment\n\ntimeout = soon\nports = /dev/pts/99\n"
        << QStringList() << ":4: timeout: --timeout takes whole seconds";
    QTest::newRow("another group") << "[station]\nname = x\n"
                                   << QStringList() << ":1: [station] is not read";
    // The command line wins: its --timeout is taken, and the run goes on
    // to the record, which cannot be written.
    QTest::newRow("the command line wins")
        << "[Station]\ntimeout = soon\nports = /dev/pts/99\nrecord = /no-such-folder/r.jsonl\n"
        << QStringList{"--timeout", "5"} << "the record /no-such-folder/r.jsonl cannot be written";
}

void ServiceTest::configRefused()
{
    QFETCH(QString, config);
    QFETCH(QStringList, more);
    QFETCH(QString, message);
    const QString firmware = tempFolder() + "/refused.s19";
    QVERIFY(makeSrecordFile(realBinaryBytes(64), firmware));
    const QString path = writeFile("refused.conf", config.toUtf8());
    QProcess station;
    station.start(FIRMWARE_UPLOAD_PATH,
                  QStringList{"station", "--config", path, firmware, "-q"} + more);
    QVERIFY(station.waitForFinished(10000));
    const QString errors = QString::fromLocal8Bit(station.readAllStandardError());
    QCOMPARE(station.exitCode(), 2);
    QVERIFY2(errors.contains(message.startsWith(':') ? path + message : message),
             qPrintable(errors));
}

// The unit the package installs, as systemd reads it (the installed one is
// verified again once the package is installed).
void ServiceTest::unitFileVerifies()
{
    if (QStandardPaths::findExecutable("systemd-analyze").isEmpty())
        QSKIP("needs systemd-analyze");
    QFile unit(QStringLiteral(SOURCE_DIR "/packaging/systemd/firmware-station@.service"));
    QVERIFY(unit.open(QIODevice::ReadOnly));
    QByteArray text = unit.readAll();
    QVERIFY(text.contains("ExecStart=/usr/bin/firmware-upload station --config "
                          "/etc/firmware-station/%i.conf"));
    text.replace("/usr/bin/firmware-upload", FIRMWARE_UPLOAD_PATH);
    QVERIFY(QDir().mkpath(tempFolder() + "/units"));
    const QString copy = tempFolder() + "/units/firmware-station@.service";
    QFile out(copy);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(text);
    out.close();
    QProcess verify;
    verify.setProcessChannelMode(QProcess::MergedChannels);
    verify.start("systemd-analyze", {"verify", "--man=no", copy});
    QVERIFY(verify.waitForFinished(30000));
    QVERIFY2(verify.exitCode() == 0, verify.readAll().constData());
}

// The unit's exit statuses, the manual page's table and the README's say
// what the program's one list of exit codes says.
void ServiceTest::exitCodesAgree()
{
    const auto read = [](const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    };
    const QString unit =
        read(QStringLiteral(SOURCE_DIR "/packaging/systemd/firmware-station@.service"));
    const auto statuses = [&](const QString& key) {
        const QRegularExpressionMatch m =
            QRegularExpression("\n" + key + "=([0-9 ]+)\n").match(unit);
        QList<int> codes;
        for (const QString& c : m.captured(1).split(' ', Qt::SkipEmptyParts))
            codes << c.toInt();
        return codes;
    };
    QList<int> clean, unmended;
    for (ExitCode code : ExitCodes::all()) {
        if (code != ExitCode::Success && ExitCodes::endsServiceCleanly(code))
            clean << ExitCodes::value(code);
        if (!ExitCodes::restartMends(code))
            unmended << ExitCodes::value(code);
    }
    QCOMPARE(statuses("SuccessExitStatus"), clean);
    QCOMPARE(statuses("RestartPreventExitStatus"), unmended);

    const QString manual = read(QStringLiteral(SOURCE_DIR "/docs/man/firmware-upload.1"));
    const QString readme = read(QStringLiteral(SOURCE_DIR "/README.md"));
    for (ExitCode code : ExitCodes::all()) {
        const QString n = QString::number(ExitCodes::value(code));
        QVERIFY2(readme.contains("\n| " + n + " | "), qPrintable("README lacks exit code " + n));
        QVERIFY2(manual.contains("\n.B " + n + "\n") || manual.contains("\n.BR " + n + " "),
                 qPrintable("the manual page lacks exit code " + n));
    }
}

CORE_TEST_MAIN(ServiceTest)
#include "tst_service.moc"
