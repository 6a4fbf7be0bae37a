// Figures for an upload against the simulated unit: lines per second, the
// loader's CPU use while uploading and while idle with the unit prompting,
// and its peak memory. Prints figures; fails nothing.
//
//   bench_upload [lines] [baud]     defaults: 3000 lines, no wire emulation

#include "ui/formtimer.h"
#include "terminal/frmterminal.h"
#include "terminal/terminaltext.h"
#include "testsupport.h"
#include "upload/firmwareupload.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace TestSupport;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop itself (no polling of ours) until `done` or `ms` pass.
void runUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done && done())
            loop.quit();
    });
    check.start(100);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    isolateEnvironment();
    QApplication app(argc, argv);
    resetSeams();
    const int lines = argc > 1 ? QByteArray(argv[1]).toInt() : 3000;
    const int baud = argc > 2 ? QByteArray(argv[2]).toInt() : 0;

    QStringList options = {"--prompt-interval", "250", "--prompt-only-before-upload"};
    if (baud > 0)
        options << "--baud" << QString::number(baud);
    VirtualUnit unit;
    if (unit.start(1, options).isEmpty()) {
        std::fprintf(stderr, "the simulated unit did not start\n");
        return 1;
    }
    const QString path = tempFolder() + "/bench.s19";
    if (!makeSrecordFile(realBinaryBytes(16 * lines), path)) {
        std::fprintf(stderr, "objcopy failed\n");
        return 1;
    }
    const int fileLines = int(TestSupport::fileLines(path).size());

    ScriptedFileDialog files;
    FakeClock clock; // the deaf second is not part of the figures
    frmTerminal form;
    form.mnuOpen_Click();

    files.choices << path;
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    form.mnuSendText_Click();
    runUntil([&] { return !form.upload().sending(); }, 3600 * 1000);
    const double seconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;

    std::printf("upload: %d lines in %.2f s = %.1f lines/s (%.2f ms per line)\n", fileLines,
                seconds, fileLines / seconds, 1000.0 * seconds / fileLines);
    if (baud > 0) {
        const double wire = 44 * 10.0 / baud + 1 * 10.0 / baud;
        std::printf("        wire time alone at %d baud: %.2f ms per 44-character line\n", baud,
                    wire * 1000);
    }
    std::printf("        loader CPU while uploading: %.2f s = %.1f%% of one core\n", cpu,
                100.0 * cpu / seconds);

    // Idle with the port open and the unit prompting.
    unit.stop();
    VirtualUnit prompting;
    prompting.start(1, {"--prompt-interval", "100"});
    form.Timer4->setEnabled(false);
    form.mnuOpen_Click();
    form.mnuOpen_Click();
    const double idleBefore = cpuSeconds();
    runUntil(nullptr, 5000);
    const double idleCpu = cpuSeconds() - idleBefore;
    form.Timer4->setEnabled(false);
    std::printf("idle:   port open, a prompt every 100 ms: %.1f%% of one core over 5 s\n",
                100.0 * idleCpu / 5.0);
    std::printf("memory: peak resident %ld KiB; terminal text %d characters\n", peakKilobytes(),
                form.txtTerm->length());
    return 0;
}
