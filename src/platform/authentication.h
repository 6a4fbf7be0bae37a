#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Whether a person is who they say, by the system's own authentication
// (PAM, through su, which checks any account's password for any caller),
// and whether their account is in a group. No password is kept: it goes to
// su and is wiped. The answer comes later, from a thread of its own, so a
// slow or failing check (PAM waits after a wrong password) never holds up
// the window. Tests put their own answers in its place.
class Authentication
{
public:
    struct Answer {
        bool accepted = false;
        QString why; // refused: what failed, in words
    };
    using Done = std::function<void(const Answer& answer)>;

    virtual ~Authentication() = default;
    // `done` is called on `context`'s thread.
    virtual void check(const QString& account, QString password, const QString& group,
                       QObject* context, Done done) = 0;

    static Authentication& instance();
    // For tests: answers in place of the system's; nullptr: the system's again.
    static void replace(Authentication* authentication);

    // Whether `account` is a member of `group` (by its primary group or the group's list).
    static bool inGroup(const QString& account, const QString& group);
};
