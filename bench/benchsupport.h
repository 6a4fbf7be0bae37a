#pragma once

// What every benchmark here needs: a private HOME for the programs it
// starts, the simulated unit with its per-line timing, S-record files, and
// the scheduler's account of a process's CPU and memory.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace Bench {

// The HOME and XDG_CONFIG_HOME of every process started here.
void setWorkFolder(const QString& folder);
QString workFolder();
QProcessEnvironment environment();

void sleepMs(int ms);
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
// Run time of all the process's threads, from the scheduler: exact to the
// nanosecond, where the clock-tick counts are not for a program this quiet.
double cpuSeconds(qint64 pid);
double peakMiB(qint64 pid);
double residentMiB(qint64 pid);
// Runs a program to its end; its standard output.
QString run(const QString& program, const QStringList& arguments, int timeoutMs = 20000);

struct LineTiming {
    double firstByte, complete, answered;
};

// The simulated unit; with `linked`, Com1 of the loader.
class Unit
{
public:
    explicit Unit(const QStringList& options, bool linked = true);
    ~Unit();
    QString device() const { return m_device; }
    int received() const;
    QVector<LineTiming> timing() const;
    qint64 pid() const { return m_process.processId(); }
    void pause();
    void resume();

private:
    QProcess m_process;
    QString m_folder;
    QString m_device;
};

struct UploadFigures {
    double linesPerSecond = 0;
    double medianMs = 0, p99Ms = 0, maxMs = 0; // beyond the 10 ms pacing
    double cpuPercent = -1;
};
// From one upload's timing.
UploadFigures figuresOf(const QVector<LineTiming>& t);

int lineCount(const QString& path);
// An S-record file of `lines` lines from the bytes of `binary`.
QString srecordFile(const QString& name, int lines, const QString& binary);

void row(const char* what, double value, const char* unit, const QString& target, bool met);

} // namespace Bench
