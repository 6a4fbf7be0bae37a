#include "authentication.h"

#include <QByteArray>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads from `fd` until `what` came (true), the time is up or the end came.
bool readUntil(int fd, const QByteArray& what, int timeoutMs, QByteArray* seen)
{
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (seen->contains(what))
            return true;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return seen->contains(what);
        seen->append(buffer, int(n));
    }
    return seen->contains(what);
}

// su ACCOUNT -c true on a pseudo-terminal of its own, the password typed
// at its prompt: PAM as the system has it, whoever calls.
Authentication::Answer viaSu(const QString& account, QByteArray password)
{
    Authentication::Answer answer;
    int master = -1;
    const QByteArray name = account.toLocal8Bit();
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) {
        answer.why = QStringLiteral("su could not be started: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return answer;
    }
    if (child == 0) {
        ::setenv("LC_ALL", "C", 1);
        ::execl("/bin/su", "su", name.constData(), "-c", "true", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    QByteArray said;
    if (readUntil(master, "assword:", 10000, &said)) {
        password.append('\n');
        (void)::write(master, password.constData(), size_t(password.size()));
    }
    password.fill('\0');
    readUntil(master, "\x04", 20000, &said); // to its end
    int status = 0;
    for (int i = 0; i < 50 && ::waitpid(child, &status, WNOHANG) == 0; ++i)
        ::usleep(100000);
    if (::waitpid(child, &status, WNOHANG) == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ::close(master);
    answer.accepted = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!answer.accepted)
        answer.why = said.contains("Authentication failure")
                         ? QStringLiteral("the password of %1 was not accepted").arg(account)
                         : QStringLiteral("the system did not accept %1 (su: %2)")
                               .arg(account, QString::fromLocal8Bit(said.trimmed()).right(120));
    return answer;
}

class SystemAuthentication : public Authentication
{
public:
    void check(const QString& account, QString password, const QString& group, QObject* context,
               Done done) override
    {
        QByteArray secret = password.toUtf8();
        password.fill(QChar(0));
        QThread* thread = QThread::create([account, secret, group, context, done]() mutable {
            Answer answer;
            if (::getpwnam(account.toLocal8Bit().constData()) == nullptr)
                answer.why = QStringLiteral("there is no account %1 here").arg(account);
            else if (!inGroup(account, group))
                answer.why = QStringLiteral("%1 is not in the group %2").arg(account, group);
            else
                answer = viaSu(account, secret);
            secret.fill('\0');
            QMetaObject::invokeMethod(
                context, [done, answer] { done(answer); }, Qt::QueuedConnection);
        });
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start();
    }
};

Authentication* g_replacement = nullptr;

} // namespace

Authentication& Authentication::instance()
{
    static SystemAuthentication system;
    return g_replacement ? *g_replacement : system;
}

void Authentication::replace(Authentication* authentication)
{
    g_replacement = authentication;
}

bool Authentication::inGroup(const QString& account, const QString& groupName)
{
    const QByteArray name = account.toLocal8Bit();
    const passwd* pw = ::getpwnam(name.constData());
    const struct group* g = ::getgrnam(groupName.toLocal8Bit().constData());
    if (!pw || !g)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(name.constData(), pw->pw_gid, groups.data(), &count) < 0) {
        groups.resize(size_t(count));
        ::getgrouplist(name.constData(), pw->pw_gid, groups.data(), &count);
    }
    for (int i = 0; i < count; ++i) {
        if (groups[size_t(i)] == g->gr_gid)
            return true;
    }
    return false;
}
