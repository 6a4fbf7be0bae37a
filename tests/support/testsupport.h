#pragma once

#include "serial/mscomm.h"
#include "terminal/clock.h"
#include "terminal/commondialog.h"
#include "terminal/messageboxes.h"

#include <QApplication>
#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVector>
#include <functional>

namespace TestSupport {

// Gives the test program a temporary HOME and XDG_CONFIG_HOME of its own and
// the offscreen platform, before the application object exists.
void isolateEnvironment();

// Puts every seam back: real message boxes are replaced by a recorder that
// answers OK, no file dialog handler, the system clock, no system serial
// ports at all (nothing may reach a real device), an empty settings folder.
void resetSeams();

QString configFolder();

// Makes Com n of the loader the given device.
void linkComPort(int number, const QString& device);

// Handles events until `done` holds or `timeoutMs` passes.
bool waitFor(const std::function<bool()>& done, int timeoutMs);
// Handles events for about `ms`.
void pump(int ms);

// Records every message box and answers from a queue (OK when it is empty).
class ScriptedBoxes
{
public:
    ScriptedBoxes();
    ~ScriptedBoxes();

    QVector<MessageBoxes::Request> requests;
    QVector<MessageBoxes::Answer> answers;
    // Runs while a box is "open", before it is answered.
    std::function<void(const MessageBoxes::Request&)> whileOpen;
    int deepest = 0; // most boxes open at once

    QStringList texts() const;
};

// A clock the test drives. Each reading of seconds() may step it forward, so
// that deadlines pass without waiting.
class FakeClock : public Clock
{
public:
    FakeClock();
    ~FakeClock() override;

    double seconds() const override;
    QDateTime now() const override;
    void pause(int ms) override;

    void advance(double seconds) { m_offset += seconds; }
    // Runs at every pause, while no event is handled.
    std::function<void()> duringPause;

    QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 700));
    double stepPerReading = 0;
    bool realPause = false;
    int pauses = 0;

private:
    mutable double m_offset = 0;
};

// Chooses files for the upload's Open dialog without a window.
class ScriptedFileDialog
{
public:
    ScriptedFileDialog();
    ~ScriptedFileDialog();

    // One entry per showing: a path, or an empty string for Cancel.
    QStringList choices;
    // Runs while the dialog is "open" (for example to let replies arrive).
    std::function<void()> whileOpen;
    int showings = 0;
    QString lastTitle;
    QString lastFilter;
    QString fileNameWhenShown;
};

// A pseudo-terminal; the loader opens its slave side like a serial device,
// the test plays the other end through the master.
class Pty
{
public:
    explicit Pty(bool keepSlaveOpen = true);
    ~Pty();

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    int slaveFd() const { return m_slave; }

    void write(const QByteArray& bytes);
    // Whatever has arrived, without waiting.
    QByteArray readAvailable();
    // Reads, handling events meanwhile, until `count` bytes came or the time is up.
    QByteArray readFor(int count, int timeoutMs);
    void closeMaster();
    void closeSlave();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// The simulated unit, running as its own process on a pseudo-terminal.
class VirtualUnit
{
public:
    ~VirtualUnit();
    // Starts it with --link `comPort` and the given options; returns its device.
    QString start(int comPort, const QStringList& options);
    void stop();
    QString logPath() const;
    QString answersPath() const;
    QVector<QByteArray> receivedLines() const;
    QVector<QByteArray> answers() const;

private:
    QProcess m_process;
    QString m_folder;
};

// Lines of a file as the loader sends them: split at LF, a CR before it dropped.
QVector<QByteArray> fileLines(const QString& path);

// An S-record file made with objcopy from `bytes` of a real binary, written
// to `path`.
bool makeSrecordFile(const QByteArray& bytes, const QString& path);
// Some bytes of a real binary on this machine.
QByteArray realBinaryBytes(int size);

QString tempFolder();
QString writeFile(const QString& name, const QByteArray& contents);

} // namespace TestSupport

#define LOADER_TEST_MAIN(TestObject)                                                               \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        TestSupport::isolateEnvironment();                                                         \
        QApplication app(argc, argv);                                                              \
        app.setQuitOnLastWindowClosed(false);                                                      \
        TestSupport::resetSeams();                                                                 \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
