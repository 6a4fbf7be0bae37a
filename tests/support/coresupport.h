#pragma once

// What every test program needs: its own HOME, pseudo-terminals, the
// simulated unit, files to send. Nothing here needs widgets.

#include "serial/mscomm.h"
#include "upload/firmwarecheck.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVector>
#include <functional>
#include <memory>

namespace TestSupport {

// Gives the test program a temporary HOME and XDG_CONFIG_HOME of its own and
// the offscreen platform, before the application object exists.
void isolateEnvironment();

// No system serial ports at all (nothing may reach a real device), and an
// empty settings folder.
void resetCoreSeams();

QString configFolder();

// Makes Com n of the loader the given device.
void linkComPort(int number, const QString& device);

// A TCP socket bound to 127.0.0.1 at a port the kernel chose, listening
// when asked (a server that never answers): its descriptor, or -1, and
// its port in `port`. Closed at once, it leaves a free port.
int loopbackSocket(bool listening, int* port);

// A signal to a process the test started, if it still runs: never to
// process 0, which is the test's own group (a QProcess that has ended).
void signalProcess(const QProcess& process, int signalNumber);

// Handles events until `done` holds or `timeoutMs` passes.
bool waitFor(const std::function<bool()>& done, int timeoutMs);
// Handles events for about `ms`.
void pump(int ms);

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

// An adaptor with a unit in front of it, plugged in under a stable name
// (a link, as under /dev/serial/by-id) that comes and goes.
struct Adaptor {
    QString name; // the link a slot is given
    VirtualUnit unit;
    QString device;

    explicit Adaptor(const QString& link) : name(link) {}
    // The unit prompting every 50 ms, with `options` beside.
    bool plugIn(const QStringList& options);
    void unplug();
};

// The JSON objects of a record file, a line each.
QVector<QJsonObject> records(const QString& path);

// Empty when the check found exactly the problems expected, in order, each
// given as the start of "line: text"; otherwise what differs.
QString problemsDiffer(const FirmwareCheck& check, const QStringList& expected);

// Nobody holds the device open with a lock.
bool portIsFree(const QString& device);

// A private X server with a real window manager (openbox), and xdotool to
// drive the programs on it, as an operator would with the keyboard.
class XSession
{
public:
    ~XSession();
    // False when Xvfb, openbox, xprop or xdotool is missing.
    bool start();
    void stop();
    // For a program started on this display.
    QProcessEnvironment environment() const;
    QString display() const { return m_display; }
    QString xdotool(const QStringList& arguments) const;
    // Visible windows whose title matches `title` (a regular expression).
    QStringList windows(const QString& title) const;
    // Keys, as xdotool names them, to whichever window has the focus.
    void keys(const QStringList& keys, int delayMs = 150) const;
    // Types into the focused window.
    void type(const QString& text) const;

    // The loader's window as an operator meets it: started, focused, the
    // port opened by Alt+C, O. False when the window never showed.
    bool startLoader(QProcess& loader, const QString& program) const;
    // File > Load Firmware File... by its keys, the full path typed.
    bool loadFirmwareByKeys(const QString& path) const;

private:
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};

// A PostgreSQL server of the test's own: initdb into a folder, a Unix
// socket there and no TCP at all, run as the postgres user when the test
// runs as root (the server refuses root).
class PostgresServer
{
public:
    ~PostgresServer();
    // False when the server's programs are missing (`why` says so).
    bool prepare(QString* why);
    bool start();
    bool stop();
    bool running() const { return m_running; }
    // A libpq URI for a database of the server, made when missing.
    QString url(const QString& database = QStringLiteral("postgres"));
    // Rows of a query, each as its columns joined by "|", run with psql.
    QStringList query(const QString& database, const QString& sql) const;

private:
    QStringList run(const QString& program, const QStringList& arguments, int* status) const;
    QString m_bin;
    QString m_folder;
    bool m_running = false;
};

// A Mosquitto broker of the test's own on 127.0.0.1 at a free port, with a
// password file and an ACL: users "bench" and "controller" may read and
// write under factory/, "watcher" only read; persistence on, so a client's
// session outlives a restart.
class MosquittoBroker
{
public:
    ~MosquittoBroker();
    // False when Mosquitto is missing (`why` says so).
    bool prepare(QString* why);
    bool start(); // on the same port each time
    bool stop();
    // The ACL in place of the usual one, read again by the running broker (SIGHUP).
    void setAcl(const QByteArray& acl);
    static QByteArray usualAcl();
    // The broker's process held (SIGSTOP) or let go again: a broker frozen.
    void freeze(bool frozen);
    int port() const { return m_port; }
    static QString password(const QString& user) { return user + QStringLiteral("-secret"); }
    // mqtt://user@127.0.0.1:port/prefix
    QString url(const QString& user, const QString& prefix = QStringLiteral("factory")) const;
    // The options mosquitto_sub and mosquitto_pub take for `user`.
    QStringList clientOptions(const QString& user) const;
    // Publishes one message as `user` with mosquitto_pub; true once sent.
    bool publish(const QString& user, const QString& topic, const QByteArray& payload) const;
    // The messages one after another from one client, each on a line of its own.
    bool publishEach(const QString& user, const QString& topic,
                     const QList<QByteArray>& payloads) const;
    QString log() const;

private:
    QProcess m_broker;
    QString m_folder;
    int m_port = 0;
};

// mosquitto_sub on a broker, its "topic payload" lines gathered as they come.
class Subscriber
{
public:
    // `session`: a client id whose session the broker keeps (QoS 1).
    Subscriber(const MosquittoBroker& broker, const QString& user, const QString& topic,
               const QString& session = QString());
    ~Subscriber();
    // The payloads that came on topics ending in `leaf`, as they are so far.
    QVector<QByteArray> payloads(const QString& leaf);
    bool waitFor(const std::function<bool(Subscriber&)>& done, int timeoutMs);

private:
    QProcess m_process;
    QVector<QPair<QString, QByteArray>> m_messages;
    QByteArray m_partial;
};

// Lines of a file as the loader sends them: split at LF, a CR before it dropped.
QVector<QByteArray> fileLines(const QString& path);

// An S-record file made with objcopy from `bytes` of a real binary, written
// to `path`.
bool makeSrecordFile(const QByteArray& bytes, const QString& path);
// The same with objcopy's output options, such as {"-O", "ihex"}.
bool makeRecordFile(const QByteArray& bytes, const QString& path, const QStringList& objcopy);
// Some bytes of a real binary on this machine.
QByteArray realBinaryBytes(int size);

QString tempFolder();
QString writeFile(const QString& name, const QByteArray& contents);
// `text` at `path`, readable by every account and writable by its owner alone.
void putReadable(const QString& path, const QByteArray& text);

// A folder of root's that no one else may write, nor any folder above it
// (under /run): where a test's own policy and signers go. Empty unless the
// test runs as root.
QString rootFolder();
// A folder every account may read and only root write (under /tmp): what
// an engineer left for the operators. Empty unless root.
QString sharedFolder();

// An engineer's key (carol@example), and the root-owned signers file and
// policy naming it (FIRMWARE_STATION_POLICY set until destroyed): what a
// released job is signed with. Root only, with ssh-keygen.
class JobSigner
{
public:
    JobSigner();
    ~JobSigner();
    bool ready() const { return m_why.isEmpty(); }
    QString why() const { return m_why; }
    // Writes FILE.sig beside it.
    bool sign(const QString& file) const;

private:
    QString m_key;
    QString m_why;
};

// A throwaway account, made with useradd (and the groups it is given with
// groupadd when missing) and removed again with all it made. Root only.
// `reuse`: an account of that name the machine has already is used as it
// is, and kept (the service's own, firmware-station).
class Account
{
public:
    Account(const QString& name, const QStringList& groups = {}, bool reuse = false);
    ~Account();
    bool made() const { return m_made; }
    QString why() const { return m_why; }
    QString name() const { return m_name; }
    uint uid() const { return m_uid; }
    uint gid() const { return m_gid; }
    // Its own folder, its HOME (and its XDG_CONFIG_HOME below it).
    QString home() const { return m_home; }
    // The path, and what it holds, this account's.
    bool take(const QString& path) const;
    // Runs `program` as this account, with the test's environment but its
    // own HOME (and `env`'s additions), inside a mount namespace of its own
    // whose /etc/firmware-station is `policyFolder` when one is given: the
    // system's own policy place, for this process alone.
    void start(QProcess& process, const QString& program, const QStringList& arguments,
               const QString& policyFolder = QString(),
               const QProcessEnvironment& env = QProcessEnvironment()) const;

private:
    QString m_name, m_home, m_why;
    QStringList m_groupsMade;
    uint m_uid = 0, m_gid = 0;
    bool m_made = false;
    bool m_kept = false; // the machine's own: not removed
};

// A system bus of the test's own: dbus-daemon with a system bus's
// configuration (deny by default, the project's policy file for the
// benches, polkit's own), on a socket in a folder of its own, and a real
// polkitd on it whose actions and rules are the project's (bound over
// polkit's folders in a mount namespace of its own: the machine's stay as
// they are). DBUS_SYSTEM_BUS_ADDRESS is set for this process and what it
// starts. Root only.
class SystemBus
{
public:
    ~SystemBus();
    // False, with `why`, when dbus-daemon or polkitd is missing or did not start.
    bool start(QString* why);
    void stop();
    QString address() const { return m_address; }
    QString polkitLog() const;

private:
    QProcess m_bus;
    QProcess m_polkit;
    QString m_folder;
    QString m_address;
};

// A production bench as its station service runs it: a system bus with
// polkitd (SystemBus), the service as its own account (firmware-station)
// on a simulated unit whose adaptor is that account's alone, its record in
// a state folder only it writes, and accounts for an operator
// (firmware-operators), an engineer (firmware-engineers) and an outsider.
// The engineers' released job and their signers beside. Root only.
class ServiceBench
{
public:
    ~ServiceBench();
    // False, with why, when something it needs is missing here.
    bool start(const QString& name, QString* why);
    QString name() const { return m_name; }
    Account& service() { return *m_service; }
    Account& operatorAccount() { return *m_operator; }
    Account& engineer() { return *m_engineer; }
    Account& outsider() { return *m_outsider; }
    QString device() const { return m_device; }
    QString firmware() const { return m_firmware; }
    QString job() const { return m_job; } // released, signed by eng@example
    QString record() const;
    QProcess& station() { return m_station; }
    QString log() const;
    // A connection to the system bus that is `account`'s, as the bus and
    // polkit know it (made while this process is that account), for a window
    // of this process to attach with.
    static QDBusConnection busAs(const Account& account, const QString& name);

private:
    SystemBus m_bus;
    std::unique_ptr<Account> m_service, m_operator, m_engineer, m_outsider;
    QProcess m_station;
    VirtualUnit m_unit;
    QString m_name, m_device, m_state, m_firmware, m_job;
};

} // namespace TestSupport

#define CORE_TEST_MAIN(TestObject)                                                                 \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        TestSupport::isolateEnvironment();                                                         \
        QCoreApplication app(argc, argv);                                                          \
        TestSupport::resetCoreSeams();                                                             \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
