#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

// polkit's CheckAuthorization over the system bus, asked of polkitd
// itself: whether the process behind a bus name may do an action, by the
// rules polkit has (by group, by session, an administrator's password
// through the desktop's own agent). Nothing here sees a password.
namespace PolkitAuthority {

struct Answer {
    bool authorized = false;
    bool challenge = false;     // it would be, after authentication
    bool authenticated = false; // authorized after asking (an engineer's password)
    QString why;                // not authorized: polkit's words, or why it could not be asked
};

// For the process behind `busName` (a unique name such as ":1.42"), with
// the desktop's agent asked when `interactive`; `done` is called later on
// `context`'s thread, and never after `context` is gone.
void check(const QDBusConnection& bus, const QString& busName, const QString& actionId,
           bool interactive, QObject* context, std::function<void(const Answer&)> done);

} // namespace PolkitAuthority
