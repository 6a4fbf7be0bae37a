#include "polkitauthority.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMap>
#include <QPointer>

namespace {

// (sa{sv}): a subject of polkit's, here a system bus name.
struct Subject {
    QString kind;
    QVariantMap details;
};
// (bba{ss}): its answer.
struct Result {
    bool authorized = false;
    bool challenge = false;
    QMap<QString, QString> details;
};

QDBusArgument& operator<<(QDBusArgument& a, const Subject& s)
{
    a.beginStructure();
    a << s.kind << s.details;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Subject& s)
{
    a.beginStructure();
    a >> s.kind >> s.details;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const Result& r)
{
    a.beginStructure();
    a << r.authorized << r.challenge << r.details;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Result& r)
{
    a.beginStructure();
    a >> r.authorized >> r.challenge >> r.details;
    a.endStructure();
    return a;
}

} // namespace

Q_DECLARE_METATYPE(Subject)
Q_DECLARE_METATYPE(Result)

namespace PolkitAuthority {

void check(const QDBusConnection& bus, const QString& busName, const QString& actionId,
           bool interactive, QObject* context, std::function<void(const Answer&)> done)
{
    static const bool registered = [] {
        qDBusRegisterMetaType<Subject>();
        qDBusRegisterMetaType<Result>();
        qDBusRegisterMetaType<QMap<QString, QString>>();
        return true;
    }();
    (void)registered;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.PolicyKit1"),
        QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
        QStringLiteral("org.freedesktop.PolicyKit1.Authority"),
        QStringLiteral("CheckAuthorization"));
    const Subject subject{QStringLiteral("system-bus-name"),
                          {{QStringLiteral("name"), busName}}};
    constexpr uint AllowUserInteraction = 1;
    call << QVariant::fromValue(subject) << actionId
         << QVariant::fromValue(QMap<QString, QString>())
         << uint(interactive ? AllowUserInteraction : 0) << QString();
    // A person typing a password takes a while; polkit alone does not.
    const int timeout = interactive ? 5 * 60 * 1000 : 25000;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeout), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done, interactive](QDBusPendingCallWatcher*) {
                         watcher->deleteLater();
                         const QDBusPendingReply<Result> reply = *watcher;
                         Answer a;
                         if (reply.isError()) {
                             a.why = QStringLiteral("polkit could not be asked: %1")
                                         .arg(reply.error().message());
                             done(a);
                             return;
                         }
                         const Result r = reply.value();
                         a.authorized = r.authorized;
                         a.challenge = r.challenge;
                         a.authenticated = interactive && r.authorized;
                         if (!r.authorized)
                             a.why = r.challenge ? QStringLiteral("polkit asks for authentication")
                                                 : QStringLiteral("polkit does not allow it");
                         done(a);
                     });
}

} // namespace PolkitAuthority
