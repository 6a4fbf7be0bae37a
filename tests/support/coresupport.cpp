#include "coresupport.h"

#include "serial/portresolver.h"

#include <QDir>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifndef VIRTUAL_UNIT_PATH
#define VIRTUAL_UNIT_PATH "virtual-unit"
#endif

namespace TestSupport {

namespace {

QString& homeFolder()
{
    static QString folder;
    return folder;
}

void removeHome()
{
    if (!homeFolder().isEmpty())
        QDir(homeFolder()).removeRecursively();
}

} // namespace

void isolateEnvironment()
{
    char pattern[] = "/tmp/loader-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made)
        std::abort();
    homeFolder() = QString::fromLocal8Bit(made);
    const QByteArray home = homeFolder().toLocal8Bit();
    ::setenv("HOME", home.constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").constData(), 1);
    QDir().mkpath(homeFolder() + QStringLiteral("/runtime"));
    QFile::setPermissions(homeFolder() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::atexit(removeHome);
}

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString tempFolder()
{
    const QString folder = homeFolder() + QStringLiteral("/files");
    QDir().mkpath(folder);
    return folder;
}

QString writeFile(const QString& name, const QByteArray& contents)
{
    const QString path = tempFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    return path;
}

namespace {

QString madeFolder(const char* pattern, QFile::Permissions permissions)
{
    if (::getuid() != 0)
        return QString();
    QByteArray name(pattern);
    if (!::mkdtemp(name.data()))
        return QString();
    const QString folder = QString::fromLocal8Bit(name);
    QFile::setPermissions(folder, permissions);
    static QStringList made;
    made << folder;
    static const bool once = [] {
        std::atexit([] {
            for (const QString& f : qAsConst(made))
                QDir(f).removeRecursively();
        });
        return true;
    }();
    (void)once;
    return folder;
}

constexpr QFile::Permissions everyoneReads = QFile::ReadOwner | QFile::WriteOwner |
                                             QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                             QFile::ReadOther | QFile::ExeOther;

int runQuietly(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

QString rootFolder()
{
    static const QString folder = madeFolder("/run/loader-test-XXXXXX", everyoneReads);
    return folder;
}

QString sharedFolder()
{
    static const QString folder = madeFolder("/tmp/loader-shared-XXXXXX", everyoneReads);
    return folder;
}

namespace {

int keygen(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("ssh-keygen"), arguments);
    if (!p.waitForFinished(20000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

JobSigner::JobSigner()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ssh-keygen")).isEmpty()) {
        m_why = QStringLiteral("needs ssh-keygen (openssh-client)");
        return;
    }
    if (::getuid() != 0) {
        m_why = QStringLiteral("a policy is root's: the test must run as root to name one of its own");
        return;
    }
    m_key = tempFolder() + QStringLiteral("/engineer");
    QFile::remove(m_key);
    QFile::remove(m_key + QStringLiteral(".pub"));
    QFile pub(m_key + QStringLiteral(".pub"));
    if (keygen({"-q", "-t", "ed25519", "-N", "", "-f", m_key}) != 0 ||
        !pub.open(QIODevice::ReadOnly)) {
        m_why = QStringLiteral("ssh-keygen made no key");
        return;
    }
    const QList<QByteArray> parts = pub.readAll().split(' ');
    const QString allowed = rootFolder() + QStringLiteral("/allowed");
    const QString policy = rootFolder() + QStringLiteral("/job-policy.conf");
    QFile signers(allowed);
    QFile p(policy);
    if (parts.size() < 2 || !signers.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !p.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_why = QStringLiteral("the signers or the policy could not be written");
        return;
    }
    signers.write("carol@example " + parts[0] + ' ' + parts[1] + '\n');
    p.write(QStringLiteral("[Policy]\nallowed-signers = %1\n").arg(allowed).toUtf8());
    p.close();
    QFile::setPermissions(policy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    ::setenv("FIRMWARE_STATION_POLICY", qPrintable(policy), 1);
}

JobSigner::~JobSigner()
{
    ::unsetenv("FIRMWARE_STATION_POLICY");
}

bool JobSigner::sign(const QString& file) const
{
    QFile::remove(file + QStringLiteral(".sig"));
    return ready() && keygen({"-Y", "sign", "-f", m_key, "-n", "firmware-job", file}) == 0;
}

Account::Account(const QString& name, const QStringList& groups, bool reuse) : m_name(name)
{
    if (::getuid() != 0) {
        m_why = QStringLiteral("accounts are made by root: the test must run as root");
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("useradd")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty()) {
        m_why = QStringLiteral("needs useradd, setpriv and unshare");
        return;
    }
    for (const QString& g : groups) {
        if (runQuietly(QStringLiteral("getent"), {QStringLiteral("group"), g}) != 0 &&
            runQuietly(QStringLiteral("groupadd"), {g}) == 0)
            m_groupsMade << g;
    }
    if (reuse && ::getpwnam(name.toLocal8Bit().constData())) {
        m_kept = true;
        for (const QString& g : groups)
            runQuietly(QStringLiteral("usermod"), {QStringLiteral("-aG"), g, name});
    } else {
        runQuietly(QStringLiteral("userdel"), {name}); // left by a test killed before
    }
    QStringList arguments = {QStringLiteral("-M"), QStringLiteral("-N"), QStringLiteral("-s"),
                             QStringLiteral("/bin/sh")};
    if (!groups.isEmpty())
        arguments << QStringLiteral("-G") << groups.join(QLatin1Char(','));
    if (!m_kept && runQuietly(QStringLiteral("useradd"), arguments << name) != 0) {
        m_why = QStringLiteral("useradd %1 failed").arg(name);
        return;
    }
    const passwd* pw = ::getpwnam(name.toLocal8Bit().constData());
    if (!pw) {
        m_why = QStringLiteral("%1 was made but cannot be found").arg(name);
        return;
    }
    m_uid = pw->pw_uid;
    m_gid = pw->pw_gid;
    m_home = sharedFolder() + QLatin1Char('/') + name;
    QDir().mkpath(m_home + QStringLiteral("/.config"));
    QFile::setPermissions(m_home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_made = take(m_home) && take(m_home + QStringLiteral("/.config"));
    if (!m_made)
        m_why = QStringLiteral("%1's folder could not be given to it").arg(name);
}

Account::~Account()
{
    if (m_uid != 0) {
        runQuietly(QStringLiteral("pkill"),
                   {QStringLiteral("-KILL"), QStringLiteral("-u"), m_name});
        runQuietly(QStringLiteral("userdel"), {m_name});
    }
    for (const QString& g : qAsConst(m_groupsMade))
        runQuietly(QStringLiteral("groupdel"), {g});
}

bool Account::take(const QString& path) const
{
    return ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
}

void Account::start(QProcess& process, const QString& program, const QStringList& arguments,
                    const QString& policyFolder, const QProcessEnvironment& env) const
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("HOME"), m_home);
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/.config"));
    e.insert(QStringLiteral("USER"), m_name);
    e.insert(QStringLiteral("LOGNAME"), m_name);
    e.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    for (const QString& key : env.keys())
        e.insert(key, env.value(key));
    process.setProcessEnvironment(e);
    // The policy's place is made, empty, when the machine has none, and
    // taken away again at the end.
    static const QString place = QStringLiteral("/etc/firmware-station");
    if (!policyFolder.isEmpty() && !QFileInfo::exists(place) && QDir().mkpath(place))
        std::atexit([] { QDir().rmdir(place); });
    const QString script =
        QStringLiteral("set -e; if [ -n \"$1\" ]; then mount --bind \"$1\" /etc/firmware-station; "
                       "fi; shift; exec setpriv --reuid=%1 --regid=%2 --init-groups -- \"$@\"")
            .arg(m_uid)
            .arg(m_gid);
    process.start(QStringLiteral("unshare"),
                  QStringList{QStringLiteral("--mount"), QStringLiteral("--propagation"),
                              QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
                              script, QStringLiteral("sh"), policyFolder, program} +
                      arguments);
}

SystemBus::~SystemBus()
{
    stop();
}

bool SystemBus::start(QString* why)
{
    if (::getuid() != 0) {
        *why = QStringLiteral("a system bus with polkit is root's to start");
        return false;
    }
    const QString polkitd = QStringLiteral("/usr/lib/polkit-1/polkitd");
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
        !QFileInfo(polkitd).isExecutable()) {
        *why = QStringLiteral("needs dbus-daemon and polkitd (scripts/test.sh installs dbus, "
                              "polkitd)");
        return false;
    }
    m_folder = madeFolder("/tmp/loader-bus-XXXXXX", everyoneReads);
    const QString source = QStringLiteral(PROJECT_SOURCE_DIR);
    const QString socket = m_folder + QStringLiteral("/system_bus_socket");
    QFile config(m_folder + QStringLiteral("/system.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig>\n<type>system</type>\n<auth>EXTERNAL</auth>\n"
                     "<listen>unix:path=%1</listen>\n"
                     "<policy context=\"default\">\n<allow user=\"*\"/>\n<deny own=\"*\"/>\n"
                     "<deny send_type=\"method_call\"/>\n<allow send_type=\"signal\"/>\n"
                     "<allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n"
                     "<allow send_requested_reply=\"true\" send_type=\"error\"/>\n"
                     "<allow receive_type=\"method_call\"/>\n<allow receive_type=\"method_return\"/>\n"
                     "<allow receive_type=\"error\"/>\n<allow receive_type=\"signal\"/>\n"
                     "<allow send_destination=\"org.freedesktop.DBus\" "
                     "send_interface=\"org.freedesktop.DBus\"/>\n"
                     "<allow send_destination=\"org.freedesktop.DBus\" "
                     "send_interface=\"org.freedesktop.DBus.Introspectable\"/>\n"
                     "<allow send_destination=\"org.freedesktop.DBus\" "
                     "send_interface=\"org.freedesktop.DBus.Properties\"/>\n"
                     "</policy>\n"
                     "<include>/usr/share/dbus-1/system.d/org.freedesktop.PolicyKit1.conf</include>\n"
                     "<include>%2/packaging/dbus/com.tarvellabs.FirmwareStation1.conf</include>\n"
                     "</busconfig>\n")
                     .arg(socket, source)
                     .toUtf8());
    config.close();
    m_bus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address")});
    if (!m_bus.waitForStarted(5000) ||
        !waitFor([&] { return m_bus.canReadLine(); }, 10000)) {
        *why = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    m_address = QString::fromLocal8Bit(m_bus.readLine()).trimmed();
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toLocal8Bit().constData(), 1);
    // polkit's folders, as the package installs them, for polkitd alone.
    const QString actions = m_folder + QStringLiteral("/actions");
    const QString rules = m_folder + QStringLiteral("/rules");
    QDir().mkpath(actions);
    QDir().mkpath(rules);
    QFile::copy(source + QStringLiteral("/packaging/polkit/com.tarvellabs.firmware-station.policy"),
                actions + QStringLiteral("/com.tarvellabs.firmware-station.policy"));
    QFile::copy(source + QStringLiteral("/packaging/polkit/50-firmware-station.rules"),
                rules + QStringLiteral("/50-firmware-station.rules"));
    for (const QString& f : {actions, rules})
        QFile::setPermissions(f, everyoneReads);
    m_polkit.setProcessChannelMode(QProcess::MergedChannels);
    m_polkit.setStandardOutputFile(m_folder + QStringLiteral("/polkitd.log"));
    m_polkit.start(QStringLiteral("unshare"),
                   {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                    QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"),
                    QStringLiteral("set -e; mount --bind \"$1\" /usr/share/polkit-1/actions; "
                                   "mount --bind \"$2\" /usr/share/polkit-1/rules.d; "
                                   "mount --bind \"$2\" /etc/polkit-1/rules.d; exec \"$3\" "
                                   "--no-debug"),
                    QStringLiteral("sh"), actions, rules, polkitd});
    // Up once it owns its name on the bus.
    const bool up = waitFor(
        [&] {
            QProcess ask;
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--system"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.PolicyKit1")});
            ask.waitForFinished(3000);
            return ask.readAllStandardOutput().contains("true");
        },
        15000);
    if (!up) {
        *why = QStringLiteral("polkitd did not come up: %1").arg(polkitLog());
        return false;
    }
    return true;
}

void SystemBus::stop()
{
    for (QProcess* p : {&m_polkit, &m_bus}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(3000))
            p->kill();
        p->waitForFinished(1000);
    }
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

QString SystemBus::polkitLog() const
{
    QFile log(m_folder + QStringLiteral("/polkitd.log"));
    log.open(QIODevice::ReadOnly);
    return QString::fromLocal8Bit(log.readAll());
}

namespace {

int keygenQuietly(const QStringList& arguments)
{
    return runQuietly(QStringLiteral("ssh-keygen"), arguments);
}

} // namespace

void putReadable(const QString& path, const QByteArray& text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther);
}

ServiceBench::~ServiceBench()
{
    if (m_station.state() != QProcess::NotRunning) {
        m_station.terminate();
        if (!m_station.waitForFinished(10000))
            m_station.kill();
    }
}

QString ServiceBench::record() const
{
    return m_state + QLatin1Char('/') + m_name + QStringLiteral(".jsonl");
}

QString ServiceBench::log() const
{
    QFile f(sharedFolder() + QStringLiteral("/station-") + m_name + QStringLiteral(".log"));
    f.open(QIODevice::ReadOnly);
    return QString::fromLocal8Bit(f.readAll());
}

QDBusConnection ServiceBench::busAs(const Account& account, const QString& name)
{
    // The bus takes a connection's account from its socket as it connects.
    ::setegid(account.gid());
    ::seteuid(account.uid());
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SystemBus, name);
    ::seteuid(0);
    ::setegid(0);
    return bus;
}

bool ServiceBench::start(const QString& name, QString* why)
{
    m_name = name;
    if (::getuid() != 0) {
        *why = QStringLiteral("needs root: a system bus, polkitd and accounts of the test's own");
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ssh-keygen")).isEmpty()) {
        *why = QStringLiteral("needs ssh-keygen (openssh-client)");
        return false;
    }
    m_service = std::make_unique<Account>(QStringLiteral("firmware-station"), QStringList(), true);
    m_operator = std::make_unique<Account>(QStringLiteral("tst-fw-op"),
                                           QStringList{QStringLiteral("firmware-operators")});
    m_engineer = std::make_unique<Account>(QStringLiteral("tst-fw-eng"),
                                           QStringList{QStringLiteral("firmware-engineers")});
    m_outsider = std::make_unique<Account>(QStringLiteral("tst-fw-out"));
    for (const Account* a : {m_service.get(), m_operator.get(), m_engineer.get(), m_outsider.get()}) {
        if (!a->made()) {
            *why = a->why();
            return false;
        }
    }
    // The bus reads its policy's accounts as it starts: after they are made.
    if (!m_bus.start(why))
        return false;
    // What the engineers left: the firmware, a released job, their signers.
    const QString shared = sharedFolder();
    m_firmware = shared + QStringLiteral("/%1.s19").arg(name);
    if (!makeSrecordFile(realBinaryBytes(16 * 40), m_firmware)) {
        *why = QStringLiteral("no firmware could be made");
        return false;
    }
    QFile::setPermissions(m_firmware, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const QString key = tempFolder() + QStringLiteral("/engineer-key");
    QFile::remove(key);
    QFile::remove(key + QStringLiteral(".pub"));
    keygenQuietly({"-q", "-t", "ed25519", "-N", "", "-C", "eng", "-f", key});
    QFile pub(key + QStringLiteral(".pub"));
    pub.open(QIODevice::ReadOnly);
    const QList<QByteArray> parts = pub.readAll().split(' ');
    const QString signers = shared + QStringLiteral("/allowed_signers");
    putReadable(signers, "eng@example " + parts.value(0) + ' ' + parts.value(1) + '\n');
    // The bench's adaptor and its state, the service's alone.
    m_device = m_unit.start(0, {"--prompt-interval", "50", "--next-unit-after", "2500"});
    if (m_device.isEmpty() || !m_service->take(m_device)) {
        *why = QStringLiteral("the simulated unit did not start");
        return false;
    }
    QFile::setPermissions(m_device, QFile::ReadOwner | QFile::WriteOwner);
    m_state = shared + QStringLiteral("/state-") + name;
    QDir().mkpath(m_state);
    m_service->take(m_state);
    QFile fw(m_firmware);
    fw.open(QIODevice::ReadOnly);
    m_job = shared + QStringLiteral("/%1-job.conf").arg(name);
    putReadable(m_job, QStringLiteral("[Station]\nname = %1\nfile = %2\nsha256 = %3\nports = %4\n"
                                      "record = %5\n")
                           .arg(name, m_firmware,
                                QString::fromLatin1(QCryptographicHash::hash(
                                                        fw.readAll(), QCryptographicHash::Sha256)
                                                        .toHex()),
                                m_device, record())
                           .toUtf8());
    QFile::remove(m_job + QStringLiteral(".sig"));
    keygenQuietly({"-Y", "sign", "-f", key, "-n", "firmware-job", m_job});
    QFile::setPermissions(m_job + QStringLiteral(".sig"), QFile::ReadOwner | QFile::ReadOther);

    m_station.setProcessChannelMode(QProcess::MergedChannels);
    m_station.setStandardOutputFile(shared + QStringLiteral("/station-") + name +
                                    QStringLiteral(".log"));
    m_service->start(m_station, QStringLiteral(FIRMWARE_UPLOAD_PATH),
                     {"station", m_firmware, "-p", m_device, "--station-name", name, "--record",
                      record(), "--allowed-signers", signers, "-q"});
    if (!m_station.waitForStarted()) {
        *why = QStringLiteral("firmware-upload station did not start");
        return false;
    }
    const bool up = waitFor([&] { return log().contains("on the system bus as"); }, 20000);
    if (!up)
        *why = QStringLiteral("the station service did not come onto the bus: %1").arg(log());
    return up;
}

void signalProcess(const QProcess& process, int signalNumber)
{
    if (process.processId() > 0)
        ::kill(pid_t(process.processId()), signalNumber);
}

void resetCoreSeams()
{
    PortResolver::setEnumerator([] { return QStringList(); });
    QDir(configFolder()).removeRecursively();
    QDir().mkpath(configFolder());
}

void linkComPort(int number, const QString& device)
{
    const QString link = PortResolver::linkPath(number);
    QDir().mkpath(PortResolver::linksFolder());
    QFile::remove(link);
    QFile::link(device, link);
}

int loopbackSocket(bool listening, int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(fd, 64) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(1);
    }
    return true;
}

void pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(1);
    }
}

Pty::Pty(bool keepSlaveOpen)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed");
    termios raw{};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
    if (!keepSlaveOpen)
        closeSlave();
}

Pty::~Pty()
{
    closeSlave();
    closeMaster();
}

void Pty::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno == EAGAIN)
            pump(1); // full: let the loader read
        else if (errno != EINTR)
            break;
    }
}

QByteArray Pty::readAvailable()
{
    QByteArray all;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    return all;
}

QByteArray Pty::readFor(int count, int timeoutMs)
{
    QByteArray all;
    waitFor(
        [&] {
            all += readAvailable();
            return all.size() >= count;
        },
        timeoutMs);
    return all;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void Pty::closeSlave()
{
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

VirtualUnit::~VirtualUnit()
{
    stop();
}

QString VirtualUnit::start(int comPort, const QStringList& options)
{
    static int runs = 0;
    m_folder = tempFolder() + QStringLiteral("/unit%1").arg(++runs);
    QDir().mkpath(m_folder);
    QStringList arguments = {QStringLiteral("--link"),    QString::number(comPort),
                             QStringLiteral("--log"),     logPath(),
                             QStringLiteral("--answers"), answersPath()};
    arguments += options;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VIRTUAL_UNIT_PATH), arguments);
    if (!m_process.waitForStarted(5000))
        return QString();
    if (!m_process.canReadLine() && !m_process.waitForReadyRead(5000))
        return QString();
    return QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

void VirtualUnit::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

QString VirtualUnit::logPath() const
{
    return m_folder + QStringLiteral("/received.log");
}

QString VirtualUnit::answersPath() const
{
    return m_folder + QStringLiteral("/answers.log");
}

static QVector<QByteArray> linesOf(const QString& path)
{
    QFile file(path);
    QVector<QByteArray> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray all = file.readAll();
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        lines << all.mid(start, end - start);
        start = end + 1;
    }
    return lines;
}

QVector<QByteArray> VirtualUnit::receivedLines() const
{
    return linesOf(logPath());
}

QVector<QByteArray> VirtualUnit::answers() const
{
    return linesOf(answersPath());
}

XSession::~XSession()
{
    stop();
}

bool XSession::start()
{
    for (const char* tool : {"Xvfb", "openbox", "xprop", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    m_server.start(QStringLiteral("Xvfb"),
                   {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    if (!m_server.waitForReadyRead(10000))
        return false;
    m_display = QStringLiteral(":") + QString::fromLatin1(m_server.readLine()).trimmed();
    m_windowManager.setProcessEnvironment(environment());
    m_windowManager.setStandardOutputFile(QProcess::nullDevice());
    m_windowManager.setStandardErrorFile(QProcess::nullDevice());
    // The window manager is there once it has claimed the screen. Xvfb may
    // announce its display a moment before it takes connections, and then
    // the window manager gives up at once: it is started again. (No event
    // loop is needed: a test may start its X session before its application.)
    QElapsedTimer waited;
    waited.start();
    const auto ready = [this] {
        if (m_windowManager.state() == QProcess::NotRunning)
            m_windowManager.start(QStringLiteral("openbox"), {});
        QProcess xprop;
        xprop.setProcessEnvironment(environment());
        xprop.start(QStringLiteral("xprop"), {"-root", "-notype", "_NET_SUPPORTING_WM_CHECK"});
        xprop.waitForFinished(5000);
        return xprop.readAllStandardOutput().contains("window id");
    };
    while (!ready()) {
        if (waited.elapsed() > 10000)
            return false;
        QThread::msleep(100);
    }
    return true;
}

void XSession::stop()
{
    for (QProcess* p : {&m_windowManager, &m_server}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->kill();
        p->waitForFinished(3000);
    }
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString XSession::xdotool(const QStringList& arguments) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("xdotool"), arguments);
    p.waitForFinished(10000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

QStringList XSession::windows(const QString& title) const
{
    return xdotool({"search", "--onlyvisible", "--name", title}).split('\n', Qt::SkipEmptyParts);
}

void XSession::keys(const QStringList& keys, int delayMs) const
{
    xdotool(QStringList{"key", "--delay", QString::number(delayMs)} + keys);
}

void XSession::type(const QString& text) const
{
    xdotool({"type", "--delay", "0", text});
}

bool XSession::startLoader(QProcess& loader, const QString& program) const
{
    loader.setProcessEnvironment(environment());
    loader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    loader.start(program, {});
    const QString window =
        xdotool({"search", "--sync", "--onlyvisible", "--name", "^Tarvel Labs Firmware Loader$"});
    if (window.isEmpty())
        return false;
    xdotool({"windowactivate", "--sync", window});
    keys({"alt+c", "o"});
    return true;
}

bool XSession::loadFirmwareByKeys(const QString& path) const
{
    keys({"alt+f", "l"});
    const QString dialog =
        xdotool({"search", "--sync", "--onlyvisible", "--name", "^Load Firmware File$"})
            .split('\n')
            .value(0);
    if (dialog.isEmpty())
        return false;
    xdotool({"windowfocus", "--sync", dialog});
    type(path);
    // A Return may go to the name field's completion list first, as it
    // would for the operator; the dialog takes the next one.
    const auto closed = [this] { return windows("^Load Firmware File$").isEmpty(); };
    for (int i = 0; i < 5 && !closed(); ++i) {
        keys({"Return"});
        waitFor(closed, 500);
    }
    return closed();
}

QVector<QByteArray> fileLines(const QString& path)
{
    QVector<QByteArray> lines = linesOf(path);
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

QByteArray realBinaryBytes(int size)
{
    const QStringList candidates = {QCoreApplication::applicationFilePath(),
                                    QStringLiteral("/usr/bin/cmake"), QStringLiteral("/bin/bash")};
    for (const QString& path : candidates) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.size() >= size)
            return file.read(size);
    }
    return QByteArray();
}

bool makeSrecordFile(const QByteArray& bytes, const QString& path)
{
    return makeRecordFile(bytes, path, {QStringLiteral("-O"), QStringLiteral("srec")});
}

bool makeRecordFile(const QByteArray& bytes, const QString& path, const QStringList& objcopy)
{
    const QString binary = path + QStringLiteral(".bin");
    QFile out(binary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    out.write(bytes);
    out.close();
    const int status = QProcess::execute(
        QStringLiteral("objcopy"), QStringList{QStringLiteral("-I"), QStringLiteral("binary")} +
                                       objcopy + QStringList{binary, path});
    QFile::remove(binary);
    return status == 0 && QFile::exists(path);
}

bool Adaptor::plugIn(const QStringList& options)
{
    device = unit.start(0, QStringList{"--prompt-interval", "50"} + options);
    return !device.isEmpty() && QFile::link(device, name);
}

void Adaptor::unplug()
{
    QFile::remove(name);
    unit.stop();
}

QVector<QJsonObject> records(const QString& path)
{
    QVector<QJsonObject> all;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return all;
    while (!f.atEnd())
        all << QJsonDocument::fromJson(f.readLine()).object();
    return all;
}

bool portIsFree(const QString& device)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return free;
}

QString problemsDiffer(const FirmwareCheck& check, const QStringList& expected)
{
    QStringList got;
    for (const FirmwareCheck::Problem& p : check.problems)
        got << QStringLiteral("%1: %2").arg(p.line).arg(p.text);
    if (got.size() != expected.size())
        return QStringLiteral("%1 problems, %2 expected:\n%3")
            .arg(got.size())
            .arg(expected.size())
            .arg(got.join(QLatin1Char('\n')));
    for (int i = 0; i < got.size(); ++i) {
        if (!got[i].startsWith(expected[i]))
            return QStringLiteral("\"%1\" does not start with \"%2\"").arg(got[i], expected[i]);
    }
    return QString();
}

PostgresServer::~PostgresServer()
{
    stop();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

QStringList PostgresServer::run(const QString& program, const QStringList& arguments,
                                int* status) const
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // The server refuses to run as root; so does initdb.
    if (::geteuid() == 0)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            m_bin + QLatin1Char('/') + program} +
                    arguments);
    else
        p.start(m_bin + QLatin1Char('/') + program, arguments);
    const bool finished = p.waitForFinished(60000);
    *status = finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool PostgresServer::prepare(QString* why)
{
    const QStringList found = QDir(QStringLiteral("/usr/lib/postgresql"))
                                  .entryList({QStringLiteral("[0-9]*")}, QDir::Dirs, QDir::Name);
    for (const QString& version : found) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            m_bin = bin;
    }
    if (m_bin.isEmpty()) {
        *why = QStringLiteral("needs PostgreSQL's server (scripts/test.sh installs postgresql)");
        return false;
    }
    // Outside the test's own folders, which the postgres user may not enter.
    char pattern[] = "/tmp/loader-pg-XXXXXX";
    if (!::mkdtemp(pattern))
        return false;
    m_folder = QString::fromLocal8Bit(pattern);
    ::chmod(pattern, 0755);
    if (::geteuid() == 0)
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), m_folder});
    int status = 0;
    const QStringList said =
        run(QStringLiteral("initdb"),
            {QStringLiteral("-D"), m_folder + QStringLiteral("/data"), QStringLiteral("-A"),
             QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("tester"),
             QStringLiteral("--no-sync")},
            &status);
    if (status != 0) {
        *why = QStringLiteral("initdb failed: ") + said.join(QLatin1Char(' '));
        return false;
    }
    return true;
}

bool PostgresServer::start()
{
    int status = 0;
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_folder + QStringLiteral("/data"), QStringLiteral("-l"),
         m_folder + QStringLiteral("/log"), QStringLiteral("-w"), QStringLiteral("-o"),
         QStringLiteral("-k %1 -c listen_addresses= -c fsync=off").arg(m_folder),
         QStringLiteral("start")},
        &status);
    m_running = status == 0;
    return m_running;
}

bool PostgresServer::stop()
{
    if (!m_running)
        return true;
    int status = 0;
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_folder + QStringLiteral("/data"), QStringLiteral("-m"),
         QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
        &status);
    m_running = status != 0;
    return status == 0;
}

QString PostgresServer::url(const QString& database)
{
    if (m_running && database != QLatin1String("postgres") &&
        query(QStringLiteral("postgres"),
              QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(database))
            .isEmpty())
        query(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(database));
    return QStringLiteral("postgresql://tester@/%1?host=%2").arg(database, m_folder);
}

QStringList PostgresServer::query(const QString& database, const QString& sql) const
{
    QProcess p;
    p.start(m_bin + QStringLiteral("/psql"),
            {QStringLiteral("-h"), m_folder, QStringLiteral("-U"), QStringLiteral("tester"),
             QStringLiteral("-d"), database, QStringLiteral("-AtX"), QStringLiteral("-c"), sql});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace TestSupport

namespace TestSupport {

MosquittoBroker::~MosquittoBroker()
{
    stop();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

bool MosquittoBroker::prepare(QString* why)
{
    if (!QFile::exists(QStringLiteral("/usr/sbin/mosquitto")) ||
        QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub")).isEmpty()) {
        *why = QStringLiteral("needs Mosquitto (scripts/test.sh installs mosquitto and "
                              "mosquitto-clients)");
        return false;
    }
    char pattern[] = "/tmp/loader-mq-XXXXXX";
    if (!::mkdtemp(pattern)) {
        *why = QStringLiteral("no folder for the broker");
        return false;
    }
    m_folder = QString::fromLocal8Bit(pattern);
    const QString passwords = m_folder + QStringLiteral("/passwords");
    bool first = true;
    for (const char* user : {"bench", "controller", "watcher"}) {
        QStringList args{QStringLiteral("-b")};
        if (first)
            args << QStringLiteral("-c");
        args << passwords << QLatin1String(user) << password(QLatin1String(user));
        if (QProcess::execute(QStringLiteral("mosquitto_passwd"), args) != 0) {
            *why = QStringLiteral("mosquitto_passwd failed");
            return false;
        }
        first = false;
    }
    QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner);
    setAcl(usualAcl());
    const int fd = loopbackSocket(false, &m_port);
    if (fd < 0) {
        *why = QStringLiteral("no free port");
        return false;
    }
    ::close(fd);
    QFile conf(m_folder + QStringLiteral("/mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    const passwd* me = ::getpwuid(::geteuid());
    conf.write(QStringLiteral("listener %1 127.0.0.1\n"
                              "allow_anonymous false\n"
                              "password_file %2\n"
                              "acl_file %3/acl\n"
                              "persistence true\n"
                              "persistence_location %3/\n"
                              "autosave_interval 1\n"
                              "user %4\n"
                              "log_dest file %3/mosquitto.log\n"
                              "log_type all\n")
                   .arg(m_port)
                   .arg(passwords, m_folder, QString::fromLocal8Bit(me ? me->pw_name : "root"))
                   .toUtf8());
    return true;
}

QByteArray MosquittoBroker::usualAcl()
{
    return "user bench\ntopic readwrite factory/#\n"
           "user controller\ntopic readwrite factory/#\n"
           "user watcher\ntopic read factory/#\n";
}

void MosquittoBroker::setAcl(const QByteArray& text)
{
    QFile acl(m_folder + QStringLiteral("/acl"));
    acl.open(QIODevice::WriteOnly | QIODevice::Truncate);
    acl.write(text);
    acl.close();
    QFile::setPermissions(acl.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    if (m_broker.state() != QProcess::NotRunning)
        ::kill(pid_t(m_broker.processId()), SIGHUP);
}

void MosquittoBroker::freeze(bool frozen)
{
    if (m_broker.state() != QProcess::NotRunning)
        ::kill(pid_t(m_broker.processId()), frozen ? SIGSTOP : SIGCONT);
}

bool MosquittoBroker::start()
{
    if (m_broker.state() != QProcess::NotRunning)
        return true;
    m_broker.start(QStringLiteral("/usr/sbin/mosquitto"),
                   {QStringLiteral("-c"), m_folder + QStringLiteral("/mosquitto.conf")});
    if (!m_broker.waitForStarted(5000))
        return false;
    // Listening once a connection is taken.
    return TestSupport::waitFor(
        [this] {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(quint16(m_port));
            const bool up =
                ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(fd);
            return up;
        },
        5000);
}

bool MosquittoBroker::stop()
{
    if (m_broker.state() == QProcess::NotRunning)
        return true;
    m_broker.terminate();
    return m_broker.waitForFinished(5000);
}

QString MosquittoBroker::url(const QString& user, const QString& prefix) const
{
    return QStringLiteral("mqtt://%1@127.0.0.1:%2/%3").arg(user).arg(m_port).arg(prefix);
}

QStringList MosquittoBroker::clientOptions(const QString& user) const
{
    return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
            QStringLiteral("-p"), QString::number(m_port),
            QStringLiteral("-u"), user,
            QStringLiteral("-P"), password(user)};
}

bool MosquittoBroker::publishEach(const QString& user, const QString& topic,
                                  const QList<QByteArray>& payloads) const
{
    QProcess p;
    p.start(QStringLiteral("mosquitto_pub"),
            clientOptions(user) + QStringList{QStringLiteral("-q"), QStringLiteral("1"),
                                              QStringLiteral("-t"), topic, QStringLiteral("-l")});
    p.waitForStarted();
    for (const QByteArray& payload : payloads)
        p.write(payload + '\n');
    p.closeWriteChannel();
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

bool MosquittoBroker::publish(const QString& user, const QString& topic,
                              const QByteArray& payload) const
{
    QProcess p;
    p.start(QStringLiteral("mosquitto_pub"),
            clientOptions(user) + QStringList{QStringLiteral("-q"), QStringLiteral("1"),
                                              QStringLiteral("-t"), topic, QStringLiteral("-s")});
    p.waitForStarted();
    p.write(payload);
    p.closeWriteChannel();
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

QString MosquittoBroker::log() const
{
    QFile f(m_folder + QStringLiteral("/mosquitto.log"));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

Subscriber::Subscriber(const MosquittoBroker& broker, const QString& user, const QString& topic,
                       const QString& session)
{
    QStringList args =
        broker.clientOptions(user) + QStringList{QStringLiteral("-v"), QStringLiteral("-q"),
                                                 QStringLiteral("1"), QStringLiteral("-t"), topic};
    if (!session.isEmpty())
        args << QStringLiteral("-c") << QStringLiteral("-i") << session;
    // Connected again after a broker's restart, by mosquitto_sub itself.
    m_process.start(QStringLiteral("mosquitto_sub"), args);
    m_process.waitForStarted();
}

Subscriber::~Subscriber()
{
    m_process.terminate();
    m_process.waitForFinished(3000);
}

QVector<QByteArray> Subscriber::payloads(const QString& leaf)
{
    m_partial += m_process.readAllStandardOutput();
    int at;
    while ((at = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(at);
        m_partial.remove(0, at + 1);
        const int space = line.indexOf(' ');
        if (space > 0)
            m_messages.append({QString::fromUtf8(line.left(space)), line.mid(space + 1)});
    }
    QVector<QByteArray> found;
    for (const auto& [topic, payload] : m_messages) {
        if (topic.endsWith(QLatin1Char('/') + leaf))
            found << payload;
    }
    return found;
}

bool Subscriber::waitFor(const std::function<bool(Subscriber&)>& done, int timeoutMs)
{
    return TestSupport::waitFor([&] { return done(*this); }, timeoutMs);
}

} // namespace TestSupport
