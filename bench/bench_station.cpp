// The production station as a line pays for it: sixteen slots flashing at
// once against sixteen simulated units, beside one slot alone in the same
// run; what waiting slots cost; the record's summary; memory over a long
// soak. Prints each figure with its target.
//
//   bench_station [--quick] [--only slots,idle,summary,soak]

#include "benchsupport.h"
#include "bus/benchservice.h"
#include "coresupport.h"
#include "station/station.h"
#include "stationwindow/slottile.h"
#include "stationwindow/stationwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace Bench;

namespace {

// firmware-upload --station over the given ports, or the station window.
class StationProcess
{
public:
    StationProcess(const QString& file, const QStringList& ports, const QStringList& extra = {},
                   bool window = false)
    {
        // "job:PATH": a released job, which names its file and ports itself.
        QStringList arguments =
            file.startsWith("job:") ? QStringList{"station", "--job", file.mid(4), "-q"}
            : window                ? QStringList{file, "--start"}
                                    : QStringList{"station", file, "-q"};
        for (const QString& p : ports)
            if (!file.startsWith("job:"))
                arguments << "-p" << p;
        m_process.setProcessEnvironment(environment());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(workFolder() + "/station.log", QIODevice::Append);
        m_process.start(window ? QStringLiteral(STATION_PATH)
                               : QStringLiteral(FIRMWARE_UPLOAD_PATH),
                        arguments + extra);
        m_process.waitForStarted();
    }
    ~StationProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};

struct SlotsRun {
    double slowest = 0; // lines per second
    double cpuPercent = 0;
    double residentMiB = 0; // the station's, at the end of the run
};

// The slowest slot's lines per second with `count` slots flashing at once,
// and the station's CPU meanwhile.
SlotsRun slotsRun(const QString& file, int count, bool window, const QStringList& more = {},
                  const std::function<void()>& started = {},
                  const std::function<QString(const QStringList& ports)>& job = {})
{
    const int lines = lineCount(file);
    std::vector<std::unique_ptr<Unit>> units;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        units.push_back(std::make_unique<Unit>(QStringList{"--prompt-interval", "100"}, false));
        ports << units.back()->device();
    }
    // Each unit flashed once: the window's default quiet wait keeps a unit
    // that prompts on from being flashed again, as --next-after does here.
    StationProcess station(job ? "job:" + job(ports) : file, ports,
                           window ? more : QStringList{"--next-after", "600"} + more, window);
    waitUntil([&] { return units.front()->received() >= 1; }, 20000);
    if (started)
        started();
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds(station.pid());
    const bool all = waitUntil(
        [&] {
            return std::all_of(units.begin(), units.end(),
                               [&](const auto& u) { return u->received() >= lines; });
        },
        lines * 100);
    SlotsRun run;
    run.cpuPercent = 100.0 * (cpuSeconds(station.pid()) - cpuStart) / (wall.elapsed() / 1000.0);
    run.residentMiB = residentMiB(station.pid());
    if (!all)
        std::printf("  (not every slot finished its unit)\n");
    for (const auto& unit : units) {
        const UploadFigures f = figuresOf(unit->timing());
        if (run.slowest == 0 || f.linesPerSecond < run.slowest)
            run.slowest = f.linesPerSecond;
    }
    std::printf("  (%s, %d slots at once: slowest %.1f lines/s, CPU %.2f%%)\n",
                window ? "window" : "command line", count, run.slowest, run.cpuPercent);
    return run;
}

// The median of paired rounds' ratios, `with` over `without`: readings on a
// shared host swing by a third from one run to the next.
double pairedRatio(const std::function<double()>& without, const std::function<double()>& with,
                   int rounds)
{
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const double a = without();
        ratios.push_back(with() / a);
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

// Yardsticks for the same number of units in the same run: the plain
// uploader over all of them in one process, and one minimal loader per unit,
// each its own process.
double yardstick(const QString& file, int count, bool minimal)
{
    const int lines = lineCount(file);
    std::vector<std::unique_ptr<Unit>> units;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        units.push_back(std::make_unique<Unit>(
            QStringList{minimal ? "--prompt-only-before-upload" : "--prompt-interval",
                        minimal ? "" : "100"}
                .filter(QRegularExpression(".+")),
            false));
        ports << units.back()->device();
    }
    std::vector<std::unique_ptr<QProcess>> loaders;
    if (minimal) {
        for (const QString& device : ports) {
            loaders.push_back(std::make_unique<QProcess>());
            loaders.back()->start(QStringLiteral(MINIMAL_LOADER_PATH), {device, file});
        }
    } else {
        QStringList arguments{file, "-q"};
        for (const QString& p : ports)
            arguments << "-p" << p;
        loaders.push_back(std::make_unique<QProcess>());
        loaders.back()->setProcessEnvironment(environment());
        loaders.back()->start(QStringLiteral(FIRMWARE_UPLOAD_PATH), arguments);
    }
    waitUntil(
        [&] {
            return std::all_of(units.begin(), units.end(),
                               [&](const auto& u) { return u->received() >= lines; });
        },
        lines * 100);
    for (auto& l : loaders)
        l->waitForFinished(5000);
    double slowest = 0;
    for (const auto& unit : units) {
        const double rate = figuresOf(unit->timing()).linesPerSecond;
        slowest = slowest == 0 ? rate : std::min(slowest, rate);
    }
    return slowest;
}

// The station's CPU share over `seconds` with these slots waiting.
double waitingCpu(const QString& file, int missing, int silent, int seconds)
{
    std::vector<std::unique_ptr<Unit>> units;
    QStringList ports;
    for (int i = 0; i < missing; ++i)
        ports << workFolder() + QStringLiteral("/no-adaptor-%1").arg(i);
    for (int i = 0; i < silent; ++i) {
        units.push_back(std::make_unique<Unit>(QStringList{"--prompt-interval", "0"}, false));
        ports << units.back()->device();
    }
    StationProcess station(file, ports);
    sleepMs(3000); // started, and every slot in its waiting state
    const double start = cpuSeconds(station.pid());
    sleepMs(seconds * 1000);
    return 100.0 * (cpuSeconds(station.pid()) - start) / seconds;
}

// A record file of `lines` units over a few stations, slots and files.
QString recordFile(int lines)
{
    const QString path = workFolder() + "/record.jsonl";
    QFile out(path);
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    const QByteArray digest(64, 'c');
    for (int i = 0; i < lines; ++i) {
        const QByteArray line =
            QByteArray("{\"schema\":1,\"station\":\"bench-") + QByteArray::number(i % 4) +
            "\",\"slot\":\"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X" +
            QByteArray::number(i % 8) +
            "-if00-port0\",\"device\":{\"path\":\"/dev/ttyUSB0\",\"by_id\":[],\"by_path\":[]},"
            "\"file\":\"/srv/firmware/unit-4.2.s19\",\"sha256\":\"" +
            digest.left(63) + QByteArray::number(i % 2) +
            "\",\"bytes\":81234,\"lines\":1743,\"started\":\"2026-12-07T10:00:00.000+01:00\","
            "\"ended\":\"2026-12-07T10:00:19.100+01:00\",\"seconds\":19.1,\"result\":\"" +
            (i % 50 == 0 ? "fail" : "pass") +
            "\",\"reason\":\"\",\"warning\":\"\",\"lines_sent\":1743,\"resends\":3,"
            "\"resend_percent\":0.17,\"worst_line\":{\"line\":544,\"resends\":2},"
            "\"loader_version\":\"1.1.0\"}\n";
        out.write(line);
    }
    return path;
}

int recordLines(const QString& path)
{
    return lineCount(path);
}

// Resident memory after the first units and after `target` units.
void soak(int target, bool window)
{
    std::printf("\nMemory over %d units, %s (4 slots, a unit placed every 0.3 s after each)\n",
                target, window ? "the window" : "the command-line station");
    const QString small = srecordFile("small.s19", 12, QStringLiteral(FIRMWARE_UPLOAD_PATH));
    std::vector<std::unique_ptr<Unit>> units;
    QStringList ports;
    // The window's quiet wait is 2 s; the command line's is set shorter.
    const QString away = window ? "2300" : "300";
    for (int i = 0; i < 4; ++i) {
        units.push_back(std::make_unique<Unit>(
            QStringList{"--prompt-interval", "20", "--next-unit-after", away}, false));
        ports << units.back()->device();
    }
    const QString record = workFolder() + (window ? "/windowsoak.jsonl" : "/soak.jsonl");
    StationProcess station(small, ports,
                           window ? QStringList{"--record", record}
                                  : QStringList{"--next-after", "0.2", "--record", record},
                           window);
    waitUntil([&] { return recordLines(record) >= 4; }, 30000);
    const double first = residentMiB(station.pid());
    QElapsedTimer wall;
    wall.start();
    waitUntil([&] { return recordLines(record) >= target; }, target * 3000);
    const double last = residentMiB(station.pid());
    std::printf("  (%d units in %.0f s)\n", recordLines(record), wall.elapsed() / 1000.0);
    row("resident after the first units", first, "MiB", "-", true);
    row(qPrintable(QStringLiteral("same after %1 units").arg(recordLines(record))), last, "MiB",
        "-", true);
    row("difference", last - first, "MiB", "<= 2", last - first <= 2);
}

// A host that lets a bench's service be looked at and nothing more.
class LookOnly : public BenchHost
{
public:
    bool startStation(QString* why) override
    {
        *why = QStringLiteral("a benchmark");
        return false;
    }
    void stopStation() override {}
    void loadJob(const QString&, std::function<void(const QString&)> done) override
    {
        done(QStringLiteral("a benchmark"));
    }
    void loadBench(const BenchConfig&, std::function<void(const QString&)> done) override
    {
        done(QStringLiteral("a benchmark"));
    }
};

// From a slot's change in its service to the attached window's tile: the
// service's station and the window in this process, every message between
// them through the system bus's daemon, as between two processes.
void attachedLatency(const QString& file, int count)
{
    std::vector<std::unique_ptr<Unit>> units;
    BenchConfig bench;
    bench.name = QStringLiteral("bench-latency");
    bench.file = file;
    bench.nextAfterSeconds = 0.6;
    bench.record = workFolder() + QStringLiteral("/latency%1.jsonl").arg(count);
    for (int i = 0; i < count; ++i) {
        units.push_back(std::make_unique<Unit>(
            QStringList{"--prompt-interval", "100", "--next-unit-after", "900"}, false));
        bench.ports << units.back()->device();
    }
    // The service in a thread of its own, as it would be a process of its own.
    QVector<SlotState> was(count, SlotState::Stopped);
    QVector<QList<QPair<SlotState, qint64>>> changes(count);
    QMutex guard;
    QElapsedTimer clock;
    clock.start();
    std::atomic<int> ready{0}; // 1 on the bus, -1 refused
    std::atomic<bool> finish{false};
    QString why;
    QThread* serviceThread = QThread::create([&] {
        const auto firmware = FirmwareFile::read(file, {}, &why);
        Station station;
        LookOnly host;
        BenchService service(station, host);
        if (!firmware || station.configure(bench, *firmware) || !service.start(bench.name, &why)) {
            ready = -1;
            return;
        }
        // When each slot's state changed in the service.
        QObject::connect(&station, &Station::slotChanged, &station, [&](int i) {
            const SlotState now = station.view(i).state;
            QMutexLocker lock(&guard);
            if (now != was[i]) {
                was[i] = now;
                changes[i].append({now, clock.nsecsElapsed()});
            }
        });
        station.start();
        ready = 1;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (finish && station.running())
                station.interrupt(QStringLiteral("the benchmark is over"));
            else if (finish)
                loop.quit();
        });
        poll.start(50);
        loop.exec();
        service.stop();
    });
    serviceThread->start();
    waitUntil([&] { return ready != 0; }, 20000);
    if (ready != 1) {
        std::printf("  (the service did not start: %s)\n", qPrintable(why));
        serviceThread->wait();
        delete serviceThread;
        return;
    }
    StationWindow window;
    window.show();
    if (!window.attach(bench.name, &why,
                       QDBusConnection::connectToBus(QDBusConnection::SystemBus, "window"))) {
        std::printf("  (the window did not attach: %s)\n", qPrintable(why));
        finish = true;
        serviceThread->wait();
        delete serviceThread;
        return;
    }
    std::vector<double> latencies;
    QVector<SlotState> shown(count, SlotState::Stopped);
    QTimer look;
    look.setInterval(1);
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (int i = 0; i < count && i < window.tiles().size(); ++i) {
            const SlotState s = window.tiles()[i]->slot().state;
            if (s == shown[i])
                continue;
            shown[i] = s;
            // The service's latest change into this state.
            QMutexLocker lock(&guard);
            for (int k = int(changes[i].size()) - 1; k >= 0; --k) {
                if (changes[i][k].first == s) {
                    latencies.push_back((clock.nsecsElapsed() - changes[i][k].second) / 1e6);
                    changes[i].removeAt(k);
                    break;
                }
            }
        }
    });
    look.start();
    TestSupport::waitFor([&] { return latencies.size() >= size_t(count) * 8; }, 40000);
    look.stop();
    finish = true;
    serviceThread->wait();
    delete serviceThread;
    if (latencies.empty()) {
        std::printf("  (no change reached the window)\n");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2];
    const double p99 = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    std::printf("  (%zu changes of state seen on the tiles)\n", latencies.size());
    row(qPrintable(QStringLiteral("%1 slots: service to tile, median").arg(count)), median, "ms",
        "<= 250", median <= 250);
    row(qPrintable(QStringLiteral("%1 slots: service to tile, 99th percentile").arg(count)), p99,
        "ms", "<= 500", p99 <= 500);
}

// The service and a window attached to it, against the window's own station,
// over the same units: CPU while every slot flashes.
void attachedCpu(const QString& file, int count)
{
    const int lines = lineCount(file);
    const auto once = [&](bool attached) {
        std::vector<std::unique_ptr<Unit>> units;
        QStringList ports;
        for (int i = 0; i < count; ++i) {
            units.push_back(std::make_unique<Unit>(QStringList{"--prompt-interval", "100"}, false));
            ports << "-p" << units.back()->device();
        }
        QProcess service, window;
        for (QProcess* p : {&service, &window}) {
            p->setProcessEnvironment(environment());
            p->setStandardOutputFile(QProcess::nullDevice());
            p->setStandardErrorFile(workFolder() + "/attached.log", QIODevice::Append);
        }
        if (attached) {
            service.start(QStringLiteral(FIRMWARE_UPLOAD_PATH),
                          QStringList{"station", file, "-q", "--next-after", "600",
                                      "--station-name", "bench-cpu"} + ports);
            waitUntil([&] { return run(QStringLiteral(FIRMWARE_UPLOAD_PATH), {"status", "bench-cpu"})
                                       .contains("bench-cpu: running"); },
                      20000);
            window.start(QStringLiteral(STATION_PATH), {"--bench", "bench-cpu"});
        } else {
            window.start(QStringLiteral(STATION_PATH), QStringList{file, "--start"} + ports);
        }
        window.waitForStarted();
        waitUntil([&] { return units.front()->received() >= 1; }, 20000);
        QElapsedTimer wall;
        wall.start();
        const auto cpu = [&] {
            return cpuSeconds(window.processId()) + (attached ? cpuSeconds(service.processId()) : 0);
        };
        const double start = cpu();
        waitUntil(
            [&] {
                return std::all_of(units.begin(), units.end(),
                                   [&](const auto& u) { return u->received() >= lines; });
            },
            lines * 100);
        const double percent = 100.0 * (cpu() - start) / (wall.elapsed() / 1000.0);
        for (QProcess* p : {&window, &service}) {
            p->terminate();
            if (!p->waitForFinished(10000))
                p->kill();
        }
        std::printf("  (%s, %d slots: CPU %.2f%%)\n",
                    attached ? "service + attached window" : "the window's own station", count,
                    percent);
        return percent;
    };
    std::vector<double> ratios;
    for (int round = 0; round < 3; ++round) {
        const double own = once(false);
        ratios.push_back(once(true) / own);
    }
    std::sort(ratios.begin(), ratios.end());
    row(qPrintable(QStringLiteral("%1 slots: CPU of service + attached window, ratio (median of 3)")
                       .arg(count)),
        ratios[1], "", "<= 1.5", ratios[1] <= 1.5);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCommandLineParser parser;
    parser.setApplicationDescription("Speed, CPU and memory of the production station.");
    parser.addHelpOption();
    parser.addOption({"quick", "Shorter idle readings and a 200-unit soak."});
    parser.addOption(
        {"slots", "The numbers of slots the slots part runs at once.", "N,N,...", "16,64,128"});
    parser.addOption({"lines", "The lines of the file the slots part sends.", "N", "600"});
    parser.addOption({"only",
                      "Run only these parts: slots, serial, database, ledger, broker, order, "
                      "idle, summary, window, attached, soak, windowsoak.",
                      "PARTS",
                      "slots,serial,database,ledger,broker,order,idle,summary,window,attached,"
                      "soak,windowsoak"});
    parser.process(app);
    const bool quick = parser.isSet("quick");
    const QStringList parts = parser.value("only").split(',');

    QTemporaryDir work;
    setWorkFolder(work.path());
    QDir().mkpath(work.path() + "/config");
    const QString file = srecordFile("speed.s19", 2000, QStringLiteral(FIRMWARE_UPLOAD_PATH));

    if (parts.contains("slots")) {
        // Each count in the same run, one slot alone as the measure of all.
        const QString slotsFile = srecordFile("slots.s19", parser.value("lines").toInt(),
                                              QStringLiteral(FIRMWARE_UPLOAD_PATH));
        std::printf("\nSlots flashing at once (%d lines each), threads: %s\n", lineCount(slotsFile),
                    qEnvironmentVariableIsSet("FIRMWARE_STATION_THREADS")
                        ? qPrintable(qEnvironmentVariable("FIRMWARE_STATION_THREADS"))
                        : "the station's own choice");
        const SlotsRun one = slotsRun(slotsFile, 1, false);
        row("lines per second, one slot", one.slowest, "", "-", true);
        for (const QString& n : parser.value("slots").split(',')) {
            const int count = n.toInt();
            if (count <= 1)
                continue;
            const SlotsRun many = slotsRun(slotsFile, count, false);
            const double ratio = many.slowest / one.slowest;
            const double minimal = count <= 64 ? yardstick(slotsFile, count, true) : 0;
            // Where N minimal loaders cannot reach the target on this machine,
            // being within 1 % of them meets it.
            const double target = count <= 16 ? 0.98 : 0.95;
            const bool met = ratio >= target || (minimal > 0 && many.slowest >= 0.99 * minimal);
            row(qPrintable(QStringLiteral("%1 slots: slowest, lines per second").arg(count)),
                many.slowest, "", "-", true);
            row(qPrintable(QStringLiteral("%1 slots: ratio to one slot").arg(count)), ratio, "",
                count <= 64 ? QStringLiteral(">= %1").arg(target) : QStringLiteral("-"),
                count > 64 || met);
            if (minimal > 0)
                row(qPrintable(
                        QStringLiteral("%1 minimal loaders, one process each: slowest").arg(count)),
                    minimal, "", "yardstick", true);
            row(qPrintable(QStringLiteral("%1 slots: station CPU").arg(count)), many.cpuPercent,
                "%", "-", true);
            row(qPrintable(QStringLiteral("%1 slots: CPU per slot").arg(count)),
                many.cpuPercent / count, "%", "<= 0.27", many.cpuPercent / count <= 0.27);
            row(qPrintable(QStringLiteral("%1 slots: resident memory").arg(count)),
                many.residentMiB, "MiB", "-", true);
            if (count > 64)
                continue;
            // The same on Qt's own dispatcher, the yardstick of the slots' own loop.
            qputenv("FIRMWARE_STATION_DISPATCHER", "qt");
            const SlotsRun qt = slotsRun(slotsFile, count, false);
            qunsetenv("FIRMWARE_STATION_DISPATCHER");
            row(qPrintable(QStringLiteral("%1 slots on Qt's dispatcher: ratio to one slot").arg(count)),
                qt.slowest / one.slowest, "", "yardstick", true);
            row(qPrintable(QStringLiteral("%1 slots on Qt's dispatcher: CPU per slot").arg(count)),
                qt.cpuPercent / count, "%", "yardstick", true);
        }
    }
    if (parts.contains("serial")) {
        std::printf("\nA serial number in every unit, 4 slots (%d lines each)\n", lineCount(file));
        int n = 0;
        const QString state = work.path() + "/bench.serial";
        const double ratio =
            pairedRatio([&] { return slotsRun(file, 4, false).slowest; },
                        [&] {
                            return slotsRun(file, 4, false,
                                            {"--serial", "0x40E:4", "--serial-state",
                                             state + QString::number(++n)})
                                .slowest;
                        },
                        quick ? 1 : 3);
        row("lines per second with --serial, ratio (median of paired rounds)", ratio, "", ">= 0.99",
            ratio >= 0.99);
    }
    if (parts.contains("database")) {
        // A server that takes the connection and never says a word: the
        // worst a line could meet, if the database were on its path.
        int port = 0;
        const int silent = TestSupport::loopbackSocket(true, &port);
        const QString url = QStringLiteral("postgresql://bench@127.0.0.1:%1/factory").arg(port);
        std::printf("\nA database that does not answer, 4 slots (%d lines each)\n",
                    lineCount(file));
        int n = 0;
        const double ratio = pairedRatio(
            [&] {
                return slotsRun(
                           file, 4, false,
                           {"--record", work.path() + QStringLiteral("/plain%1.jsonl").arg(++n)})
                    .slowest;
            },
            [&] {
                return slotsRun(file, 4, false,
                                {"--record", work.path() + QStringLiteral("/db%1.jsonl").arg(n),
                                 "--database", url})
                    .slowest;
            },
            quick ? 1 : 3);
        row("lines per second with the database silent, ratio (median of paired rounds)", ratio, "",
            ">= 0.98", ratio >= 0.98);
        ::close(silent);
    }
    if (parts.contains("broker")) {
        TestSupport::MosquittoBroker broker;
        QString why;
        if (!broker.prepare(&why) || !broker.start()) {
            std::printf("\nThe factory's broker: no Mosquitto here (%s)\n", qPrintable(why));
        } else {
            qputenv("MQTT_PASSWORD", TestSupport::MosquittoBroker::password("bench").toUtf8());
            // A broker that takes the connection and never says a word.
            int port = 0;
            const int silent = TestSupport::loopbackSocket(true, &port);
            std::printf("\nThe factory's broker, 4 slots (%d lines each)\n", lineCount(file));
            int n = 0;
            const auto plain = [&] {
                return slotsRun(
                           file, 4, false,
                           {"--record", work.path() + QStringLiteral("/bplain%1.jsonl").arg(++n)})
                    .slowest;
            };
            const auto on = [&](const QString& url, const std::function<void()>& started) {
                return slotsRun(file, 4, false,
                                {"--record", work.path() + QStringLiteral("/mqtt%1.jsonl").arg(n),
                                 "--mqtt", url},
                                started)
                    .slowest;
            };
            const int rounds = quick ? 1 : 3;
            const double up = pairedRatio(
                plain, [&] { return on(broker.url("bench"), {}); }, rounds);
            row("lines per second on the broker, ratio to without (median of paired rounds)", up,
                "", ">= 0.98", up >= 0.98);
            const double gone = pairedRatio(
                plain,
                [&] {
                    broker.start();
                    return on(broker.url("bench"), [&] { broker.stop(); });
                },
                rounds);
            row("same, the broker stopped mid-run", gone, "", ">= 0.98", gone >= 0.98);
            const double mute = pairedRatio(
                plain,
                [&] {
                    return on(QStringLiteral("mqtt://bench@127.0.0.1:%1/factory").arg(port), {});
                },
                rounds);
            row("same, a broker that never answers", mute, "", ">= 0.98", mute >= 0.98);
            // Frozen (SIGSTOP): the connection stays, nothing is acknowledged.
            const double frozen = pairedRatio(
                plain,
                [&] {
                    const double r = on(broker.url("bench"), [&] { broker.freeze(true); });
                    broker.freeze(false);
                    return r;
                },
                rounds);
            row("same, the broker frozen mid-run", frozen, "", ">= 0.98", frozen >= 0.98);
            ::close(silent);
        }
    }
    if (parts.contains("ledger")) {
        TestSupport::PostgresServer server;
        QString why;
        if (!server.prepare(&why) || !server.start()) {
            std::printf("\nThe factory's serial numbers: no PostgreSQL server here (%s)\n",
                        qPrintable(why));
        } else {
            const QString url = server.url("ledger");
            const QString slotsFile = srecordFile("ledger.s19", parser.value("lines").toInt(),
                                                  QStringLiteral(FIRMWARE_UPLOAD_PATH));
            std::printf("\nSerial numbers from the factory's series, 4 slots (%d lines each)\n",
                        lineCount(slotsFile));
            int n = 0;
            const QString state = work.path() + "/ledger.serial";
            const auto local = [&] {
                return slotsRun(
                           slotsFile, 4, false,
                           {"--serial", "0x40E:4", "--serial-state", state + QString::number(++n)})
                    .slowest;
            };
            const auto ledger = [&](const QString& held, const std::function<void()>& started) {
                return slotsRun(slotsFile, 4, false,
                                {"--serial", "0x40E:4", "--serial-series", "bench",
                                 "--serial-block", "40", "--database", url, "--record",
                                 held + ".jsonl", "--serial-state", held},
                                started)
                    .slowest;
            };
            const QString held = work.path() + "/held.serial";
            const double up = pairedRatio(
                local, [&] { return ledger(held, {}); }, quick ? 1 : 3);
            row("lines per second from the series, ratio to numbers of its own (server up)", up, "",
                ">= 0.99", up >= 0.99);
            // The server stopped once the block is leased and the units under
            // way: the station goes on from the block it holds. A clean stop
            // gives the block back, so each round starts the server again.
            const double down = pairedRatio(
                local,
                [&] {
                    server.start();
                    return ledger(held, [&] { server.stop(); });
                },
                quick ? 1 : 3);
            row("same, the server stopped mid-run (the block held)", down, "", ">= 0.99",
                down >= 0.99);
        }
    }
    if (parts.contains("order")) {
        TestSupport::PostgresServer server;
        QString why;
        if (!server.prepare(&why) || !server.start()) {
            std::printf("\nA work order's permits: no PostgreSQL server here (%s)\n", qPrintable(why));
        } else {
            const QString key = work.path() + "/engineer";
            run("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-C", "eng", "-f", key});
            QFile pub(key + ".pub");
            pub.open(QIODevice::ReadOnly);
            const QList<QByteArray> parts2 = pub.readAll().split(' ');
            const QString signers = work.path() + "/signers";
            QFile s(signers);
            s.open(QIODevice::WriteOnly);
            s.write("eng@bench " + parts2.value(0) + ' ' + parts2.value(1) + '\n');
            s.close();
            QFile fw(file);
            fw.open(QIODevice::ReadOnly);
            const QString digest = QString::fromLatin1(
                QCryptographicHash::hash(fw.readAll(), QCryptographicHash::Sha256).toHex());
            int n = 0;
            // A job of its own for each round: the order, its units more than made.
            const auto jobFor = [&](const QStringList& ports, bool order) {
                const QString path = work.path() + QStringLiteral("/order-job%1.conf").arg(++n);
                QFile j(path);
                j.open(QIODevice::WriteOnly);
                QString text = QStringLiteral("[Station]\nfile = %1\nsha256 = %2\nports = %3\n"
                                              "record = %4.jsonl\n")
                                   .arg(file, digest, ports.join(", "), path);
                if (order)
                    text += QStringLiteral("order = WO-%1\norder-units = 1000\n").arg(n);
                j.write(text.toUtf8());
                j.close();
                run("ssh-keygen", {"-Y", "sign", "-f", key, "-n", "firmware-job", path});
                return path;
            };
            const QStringList more{"--allowed-signers", signers, "--database", server.url("orders")};
            std::printf("\nA work order's permits from the database, 4 slots (%d lines each)\n",
                        lineCount(file));
            const auto plain = [&] {
                return slotsRun(file, 4, false, more, {},
                                [&](const QStringList& p) { return jobFor(p, false); })
                    .slowest;
            };
            const double up = pairedRatio(
                plain,
                [&] {
                    return slotsRun(file, 4, false, more, {},
                                    [&](const QStringList& p) { return jobFor(p, true); })
                        .slowest;
                },
                quick ? 1 : 3);
            row("lines per second of an order, ratio to the same job without one", up, "",
                ">= 0.99", up >= 0.99);
            const double down = pairedRatio(
                plain,
                [&] {
                    server.start();
                    return slotsRun(file, 4, false, more, [&] { server.stop(); },
                                    [&](const QStringList& p) { return jobFor(p, true); })
                        .slowest;
                },
                quick ? 1 : 3);
            server.start();
            row("same, the server stopped mid-run (the permits held)", down, "", ">= 0.99",
                down >= 0.99);
        }
    }
    if (parts.contains("idle")) {
        const int seconds = quick ? 20 : 60;
        std::printf("\nWaiting slots, station CPU over %d s\n", seconds);
        const double adaptor = waitingCpu(file, 1, 0, seconds);
        row("one slot waiting for its adaptor", adaptor, "%", "< 0.1", adaptor < 0.1);
        const double unit = waitingCpu(file, 0, 1, seconds);
        row("one slot waiting for a unit", unit, "%", "< 0.1", unit < 0.1);
        const double sixteen = waitingCpu(file, 8, 8, seconds);
        row("sixteen waiting slots (8 adaptors, 8 units)", sixteen, "%", "< 1", sixteen < 1);
    }
    if (parts.contains("summary")) {
        const QString record = recordFile(100000);
        QElapsedTimer wall;
        wall.start();
        run(QStringLiteral(FIRMWARE_UPLOAD_PATH), {"summary", record});
        const double seconds = wall.elapsed() / 1000.0;
        std::printf("\nRecord summary\n");
        row("--summary of 100,000 record lines", seconds, "s", "< 1", seconds < 1);
    }
    if (parts.contains("window")) {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            std::printf("\nThe window: no X server; run bench/run.sh\n");
        } else {
            const QString windowFile = srecordFile("window.s19", parser.value("lines").toInt(),
                                                   QStringLiteral(FIRMWARE_UPLOAD_PATH));
            for (const int count : {16, 64}) {
                std::printf("\nThe station window beside the command-line station, %d slots\n",
                            count);
                // One run's readings swing by a third on a shared host: three
                // rounds, each side right after the other, and the median of
                // the rounds' ratios.
                std::vector<double> speed, cpu;
                for (int round = 0; round < 3; ++round) {
                    const SlotsRun c = slotsRun(windowFile, count, false);
                    const SlotsRun w = slotsRun(windowFile, count, true);
                    speed.push_back(w.slowest / c.slowest);
                    cpu.push_back(w.cpuPercent / c.cpuPercent);
                }
                const auto median = [](std::vector<double> v) {
                    std::sort(v.begin(), v.end());
                    return v[v.size() / 2];
                };
                row("window slowest slot, ratio (median of 3)", median(speed), "", ">= 0.95",
                    median(speed) >= 0.95);
                row("window CPU, ratio (median of 3)", median(cpu), "", "<= 1.5",
                    median(cpu) <= 1.5);
            }
        }
    }
    if (parts.contains("attached")) {
        TestSupport::SystemBus bus;
        QString why;
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !bus.start(&why)) {
            std::printf("\nA window attached to a bench's service: %s\n",
                        qEnvironmentVariableIsEmpty("DISPLAY") ? "no X server; run bench/run.sh"
                                                               : qPrintable(why));
        } else {
            const QString attachedFile = srecordFile("attached.s19", parser.value("lines").toInt(),
                                                     QStringLiteral(FIRMWARE_UPLOAD_PATH));
            for (const int count : {16, 64}) {
                std::printf("\nA window attached to a bench's service, %d slots\n", count);
                attachedLatency(attachedFile, count);
                attachedCpu(attachedFile, count);
            }
        }
    }
    const int soakUnits = quick ? 200 : 1000;
    if (parts.contains("soak"))
        soak(soakUnits, false);
    if (parts.contains("windowsoak") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        soak(soakUnits / 2, true);
    return 0;
}
