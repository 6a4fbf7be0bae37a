// What the operator pays: the real firmware-loader on an X server, driven by
// its keyboard commands, uploading to the simulated unit; beside it the
// minimal loader on the same file in the same run. Prints each figure with
// its target. Run it through bench/run.sh, which provides the X server.
//
//   bench_upload [--quick] [--lines N] [--large N] [--soak-minutes M]

#include "benchsupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

using namespace Bench;

namespace {

bool fileDialogShown()
{
    return !run("xdotool", {"search", "--onlyvisible", "--name", "^Load Firmware File$"}).isEmpty();
}

// The real program, driven through its access keys as an operator would.
class Loader
{
public:
    Loader()
    {
        m_process.setProcessEnvironment(environment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(LOADER_PATH), {});
        m_window = run("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                                   "^Tarvel Labs Firmware Loader$"})
                       .split('\n')
                       .value(0);
    }
    ~Loader()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    bool ok() const { return !m_window.isEmpty(); }
    qint64 pid() const { return m_process.processId(); }
    void keys(const QStringList& keys)
    {
        run("xdotool", {"windowfocus", "--sync", m_window});
        for (const QString& k : keys) {
            run("xdotool", {"key", k});
            sleepMs(150);
        }
    }
    void openPort() { keys({"alt+c", "o"}); }
    void upload(const QString& path)
    {
        keys({"alt+f", "l"});
        run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Load Firmware File$"});
        sleepMs(300);
        run("xdotool", {"type", "--delay", "0", path});
        // A Return may go to the name field's completion list first.
        for (int i = 0; i < 5 && fileDialogShown(); ++i) {
            run("xdotool", {"key", "Return"});
            sleepMs(500);
        }
    }

private:
    QProcess m_process;
    QString m_window;
};

UploadFigures minimalUpload(const QString& file)
{
    Unit unit({"--prompt-only-before-upload"});
    QProcess minimal;
    QElapsedTimer wall;
    wall.start();
    minimal.start(QStringLiteral(MINIMAL_LOADER_PATH), {unit.device(), file});
    minimal.waitForFinished(600000);
    UploadFigures f = figuresOf(unit.timing());
    f.cpuPercent =
        100.0 * minimal.readAllStandardOutput().trimmed().toDouble() / (wall.elapsed() / 1000.0);
    return f;
}

struct WindowUpload {
    UploadFigures figures;
    double peak = 0;
};

WindowUpload windowUpload(const QString& file)
{
    WindowUpload result;
    const int lines = lineCount(file);
    Unit unit({"--prompt-only-before-upload"});
    Loader loader;
    if (!loader.ok()) {
        std::printf("  the loader's window did not show\n");
        return result;
    }
    loader.openPort();
    loader.upload(file);
    if (!waitUntil([&] { return unit.received() >= 1; }, 10000)) {
        std::printf("  the upload did not start\n");
        return result;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds(loader.pid());
    waitUntil([&] { return unit.received() >= lines; }, lines * 100);
    const double cpu = cpuSeconds(loader.pid()) - cpuStart;
    result.figures = figuresOf(unit.timing());
    result.figures.cpuPercent = 100.0 * cpu / (wall.elapsed() / 1000.0);
    sleepMs(500);
    result.peak = peakMiB(loader.pid());
    return result;
}

// The loader's CPU share over `seconds`. Meanwhile the minimal loader only
// reads a second unit prompting as often: what reading a port costs on this
// machine at that moment, for nothing else.
double idleCpu(Loader& loader, const QString& promptInterval, int seconds)
{
    Unit other({"--prompt-interval", promptInterval}, false);
    QProcess minimal;
    minimal.start(QStringLiteral(MINIMAL_LOADER_PATH),
                  {"--idle", other.device(), QString::number(seconds)});
    const double start = cpuSeconds(loader.pid());
    sleepMs(seconds * 1000);
    const double share = 100.0 * (cpuSeconds(loader.pid()) - start) / seconds;
    minimal.waitForFinished(5000);
    std::printf("  (the minimal loader reading a unit meanwhile: %.2f%%)\n",
                100.0 * minimal.readAllStandardOutput().trimmed().toDouble() / seconds);
    return share;
}

// Each port reset closes and opens the device; the opens are timed.
QVector<double> resetIntervals(const QString& device, int count)
{
    QVector<double> intervals;
    const int fd = inotify_init1(IN_NONBLOCK);
    if (fd < 0 || inotify_add_watch(fd, device.toLocal8Bit().constData(), IN_OPEN) < 0)
        return intervals;
    QElapsedTimer clock;
    clock.start();
    double last = -1;
    while (intervals.size() < count && clock.elapsed() < 20000) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0)
            continue;
        const double now = clock.nsecsElapsed() / 1e6;
        char buffer[4096];
        while (read(fd, buffer, sizeof buffer) > 0) {
        }
        // One reset is a close and an open; opens in one burst are one reset.
        if (last >= 0 && now - last > 100)
            intervals << now - last;
        if (last < 0 || now - last > 100)
            last = now;
    }
    ::close(fd);
    return intervals;
}

// The slowest unit's rate when `units` take the file at once.
double cliRate(const QString& file, int units)
{
    std::vector<std::unique_ptr<Unit>> simulated;
    QStringList arguments{file, "-q"};
    for (int i = 0; i < units; ++i) {
        // Each unit links itself as Com1; the uploader is given devices.
        simulated.push_back(std::make_unique<Unit>(QStringList{"--prompt-interval", "100"}));
        arguments << "-p" << simulated.back()->device();
    }
    QProcess cli;
    cli.setProcessEnvironment(environment());
    cli.start(QStringLiteral(FIRMWARE_UPLOAD_PATH), arguments);
    cli.waitForFinished(900000);
    double slowest = 0;
    for (const auto& unit : simulated) {
        const UploadFigures f = figuresOf(unit->timing());
        if (slowest == 0 || f.linesPerSecond < slowest) {
            slowest = f.linesPerSecond;
            std::printf(
                "  (%d at once, slowest so far: %.1f lines/s, beyond pacing median %.2f ms, "
                "99th %.2f ms)\n",
                units, f.linesPerSecond, f.medianMs, f.p99Ms);
        }
    }
    return slowest;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Speed, CPU and memory of the loader against the simulated unit.");
    parser.addHelpOption();
    parser.addOption({"quick", "Short idle soak (2 minutes) and a 5,000-line large file."});
    parser.addOption({"lines", "Lines of the speed file.", "N", "2000"});
    parser.addOption({"large", "Lines of the large file for memory.", "N", "20000"});
    parser.addOption({"soak-minutes", "Idle time before the last CPU reading.", "M", "10"});
    parser.addOption({"only",
                      "Run only these parts: upload, memory, idle, flood, cli (comma-separated).",
                      "PARTS", "upload,memory,idle,flood,cli"});
    parser.process(app);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_upload: no X server; run it through bench/run.sh\n");
        return 2;
    }
    const bool quick = parser.isSet("quick");
    const int lines = parser.value("lines").toInt();
    const int large = quick ? 5000 : parser.value("large").toInt();
    const int soak = quick ? 2 : parser.value("soak-minutes").toInt();
    const QStringList parts = parser.value("only").split(',');

    QTemporaryDir work;
    setWorkFolder(work.path());
    QDir().mkpath(work.path() + "/config");
    const QString file = srecordFile("speed.s19", lines, QStringLiteral(LOADER_PATH));
    const QString largeFile = srecordFile("large.s19", large, QStringLiteral(LOADER_PATH));
    std::printf("Files: %d and %d S-records from objcopy of the loader binary.\n", lineCount(file),
                lineCount(largeFile));

    constexpr int Rounds = 3;
    UploadFigures minimal[Rounds];
    WindowUpload window[Rounds];
    if (parts.contains("upload") || parts.contains("memory")) {
        std::printf("\nUpload, no wire emulation (minimal loader, then the window; median of %d "
                    "rounds)\n",
                    Rounds);
        for (int round = 0; round < Rounds; ++round) {
            minimal[round] = minimalUpload(file);
            window[round] = windowUpload(file);
        }
        // The median of the rounds: a shared machine has its moments.
        auto median = [](auto value) {
            std::vector<double> v;
            for (int round = 0; round < Rounds; ++round)
                v.push_back(value(round));
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        const double minimalRate = median([&](int r) { return minimal[r].linesPerSecond; });
        const double windowRate = median([&](int r) { return window[r].figures.linesPerSecond; });
        const double middle = median([&](int r) { return window[r].figures.medianMs; });
        const double p99 = median([&](int r) { return window[r].figures.p99Ms; });
        const double cpu = median([&](int r) { return window[r].figures.cpuPercent; });
        double worst = 0;
        for (const WindowUpload& w : window)
            worst = std::max(worst, w.figures.maxMs);
        // The yardstick's own figures show how quiet the machine was.
        std::printf("  minimal loader: %.1f lines/s, beyond pacing median %.2f ms, 99th %.2f ms, "
                    "CPU %.2f%%\n",
                    minimalRate, median([&](int r) { return minimal[r].medianMs; }),
                    median([&](int r) { return minimal[r].p99Ms; }),
                    median([&](int r) { return minimal[r].cpuPercent; }));
        row("lines per second", windowRate, "", QStringLiteral("-"), true);
        row("throughput, ratio to the minimal loader", windowRate / minimalRate, "", ">= 0.98",
            windowRate / minimalRate >= 0.98);
        row("reply to next line, beyond pacing: median", middle, "ms", "<= 0.5", middle <= 0.5);
        row("same, 99th percentile", p99, "ms", "<= 2", p99 <= 2);
        std::printf("  %-46s %9.2f ms\n", "same, worst of all rounds", worst);
        row("loader CPU while uploading", cpu, "%", "<= 3", cpu <= 3);
    }

    if (parts.contains("memory")) {
        std::printf("\nMemory (a fresh loader for each file)\n");
        const WindowUpload big = windowUpload(largeFile);
        const double small = window[0].peak;
        row(qPrintable(QStringLiteral("peak resident, %1 lines").arg(lineCount(file))), small,
            "MiB", "-", true);
        row(qPrintable(QStringLiteral("peak resident, %1 lines").arg(lineCount(largeFile))),
            big.peak, "MiB", "-", true);
        row("difference", big.peak - small, "MiB", "<= 2", std::fabs(big.peak - small) <= 2);
    }

    if (parts.contains("idle")) {
        std::printf("\nIdle, port open\n");
        Unit unit({"--prompt-interval", "50"});
        Loader loader;
        loader.openPort();
        sleepMs(5000);
        const double first = idleCpu(loader, "50", 60);
        row("CPU, a prompt every 50 ms, first minute", first, "%", "<= 0.5", first <= 0.5);
        sleepMs(std::max(0, soak - 2) * 60000);
        const double later = idleCpu(loader, "50", 60);
        row(qPrintable(QStringLiteral("same, after %1 minutes").arg(soak)), later, "%", "<= 0.5",
            later <= 0.5);

        // Silent unit: the port-reset timer closes and reopens the port.
        unit.pause();
        const QVector<double> ticks = resetIntervals(unit.device(), 10);
        unit.resume();
        double sum = 0, worst = 0;
        for (double t : ticks) {
            sum += t;
            worst = std::max(worst, std::fabs(t - 500));
        }
        const double average = ticks.isEmpty() ? 0 : sum / ticks.size();
        row("port-reset tick, silent unit: mean", average, "ms", "500 +/- 5",
            !ticks.isEmpty() && std::fabs(average - 500) <= 5);
        row("same, worst of 10", ticks.isEmpty() ? 0 : 500 + worst, "ms", "500 +/- 5",
            !ticks.isEmpty() && worst <= 5);
    }
    if (parts.contains("flood")) {
        Unit unit({"--prompt-interval", "1"});
        Loader loader;
        loader.openPort();
        sleepMs(3000);
        const double flood = idleCpu(loader, "1", 20);
        row("CPU, a prompt every millisecond", flood, "%", "< 25", flood < 25);
    }
    if (parts.contains("cli")) {
        std::printf("\nCommand-line uploader, one unit and eight at once\n");
        const double one = cliRate(file, 1);
        const double eight = cliRate(file, 8);
        row("lines per second, one unit", one, "", "-", true);
        row("same, slowest of eight at once", eight, "", "-", true);
        row("ratio", eight / one, "", ">= 0.95", eight / one >= 0.95);
    }
    return 0;
}
