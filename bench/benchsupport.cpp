#include "benchsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>

namespace Bench {

namespace {

QString g_work;

} // namespace

void setWorkFolder(const QString& folder)
{
    g_work = folder;
}

QString workFolder()
{
    return g_work;
}

QProcessEnvironment environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), g_work);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), g_work + QStringLiteral("/config"));
    return env;
}

void sleepMs(int ms)
{
    QThread::msleep(ulong(ms));
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        sleepMs(200);
    }
    return true;
}

double cpuSeconds(qint64 pid)
{
    double total = 0;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile stat(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(task));
        if (stat.open(QIODevice::ReadOnly))
            total += stat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

double peakMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double residentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

QString run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, arguments);
    p.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

Unit::Unit(const QStringList& options, bool linked)
{
    static int runs = 0;
    m_folder = g_work + QStringLiteral("/unit%1").arg(++runs);
    QDir().mkpath(m_folder);
    m_process.setProcessEnvironment(environment());
    const QStringList link = linked ? QStringList{"--link", "1"} : QStringList{};
    m_process.start(
        QStringLiteral(VIRTUAL_UNIT_PATH),
        link +
            QStringList{"--log", m_folder + "/received.log", "--timing", m_folder + "/timing.log"} +
            options);
    m_process.waitForReadyRead(5000);
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

Unit::~Unit()
{
    resume();
    m_process.terminate();
    m_process.waitForFinished(3000);
}

int Unit::received() const
{
    QFile log(m_folder + "/timing.log");
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) : 0;
}

QVector<LineTiming> Unit::timing() const
{
    QVector<LineTiming> all;
    QFile log(m_folder + "/timing.log");
    if (!log.open(QIODevice::ReadOnly))
        return all;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3)
            all.append({f[0].toDouble(), f[1].toDouble(), f[2].toDouble()});
    }
    return all;
}

void Unit::pause()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void Unit::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

UploadFigures figuresOf(const QVector<LineTiming>& t)
{
    UploadFigures f;
    if (t.size() < 3)
        return f;
    f.linesPerSecond = (t.size() - 1) * 1000.0 / (t.last().complete - t.first().firstByte);
    QVector<double> beyond;
    for (int k = 0; k + 1 < t.size(); ++k) {
        if (t[k].answered >= 0 && t[k + 1].firstByte >= 0)
            beyond << t[k + 1].firstByte - t[k].answered - 10.0;
    }
    std::sort(beyond.begin(), beyond.end());
    auto at = [&](double q) {
        return beyond[std::min<int>(beyond.size() - 1, int(q * beyond.size()))];
    };
    f.medianMs = at(0.5);
    f.p99Ms = at(0.99);
    f.maxMs = beyond.last();
    return f;
}

int lineCount(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

QString srecordFile(const QString& name, int lines, const QString& from)
{
    const QString binary = g_work + "/" + name + ".bin";
    const QString path = g_work + "/" + name;
    QFile source(from);
    QFile out(binary);
    if (!source.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return QString();
    QByteArray bytes = source.read(qint64(lines - 2) * 16);
    while (bytes.size() < (lines - 2) * 16)
        bytes += bytes;
    out.write(bytes.left((lines - 2) * 16));
    out.close();
    run("objcopy", {"-I", "binary", "-O", "srec", binary, path});
    return path;
}

void row(const char* what, double value, const char* unit, const QString& target, bool met)
{
    std::printf("  %-46s %9.2f %-6s target %-14s %s\n", what, value, unit, qPrintable(target),
                met ? "met" : "NOT MET");
}

} // namespace Bench
