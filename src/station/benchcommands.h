#pragma once

#include "benchconfig.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

class Station;

// Who may do what to a bench, as polkit's actions name it.
enum class BenchAction {
    Observe,   // look: status, the slots, the record's units
    Operate,   // start, stop, pause, resume, a released job
    Configure, // the bench itself, an unreleased file, a slot's fault
};

// What only the program around a station can do when a command asks.
class BenchHost
{
public:
    virtual ~BenchHost() = default;
    // A station that is not running starts; false, with `why`, when it cannot.
    virtual bool startStation(QString* why) = 0;
    // Uploads under way finish, then the run ends (as a termination signal
    // would end it, without cancelling any unit).
    virtual void stopStation() = 0;
    // The released job at `path` checked as any job is, then run; `done`
    // gets an empty string, or why it was refused.
    virtual void loadJob(const QString& path, std::function<void(const QString& error)> done) = 0;
    // A bench of no job (changed by an engineer, or another file) run in
    // place of this one once the units under way are done.
    virtual void loadBench(const BenchConfig& bench,
                           std::function<void(const QString& error)> done) = 0;
};

// Who asked, as the audit trail keeps it.
struct BenchCaller {
    QString via;     // "mqtt", "dbus", "window"
    QString id;      // the command's own id, where the caller gives one
    QString account; // the caller's account, where the system tells it
    QString by;      // who a line controller says it is
    bool authenticated = false; // an engineer's password authorized it
};

// The one table of a bench's commands, for the system bus, the factory's
// broker and the window alike: each with its arguments, what its reply
// holds and the action it needs; and the one place that carries them out
// and keeps each in the audit trail.
class BenchCommands : public QObject
{
    Q_OBJECT

public:
    struct Info {
        const char* name;
        BenchAction action;
        const char* arguments; // "slot", "job"; empty: none
        const char* reply;     // what a reply holds besides ok and error
    };
    static const QVector<Info>& table();
    static const Info* find(const QString& name);
    // "com.tarvellabs.firmware-station.operate"
    static QString actionId(BenchAction action);
    static QString actionWord(BenchAction action); // "operate"

    BenchCommands(Station& station, BenchHost& host, QObject* parent = nullptr);

    // The reply: "command", "ok", "error" when refused, and what the
    // command answers. It may come later (load-job waits for a check).
    using Done = std::function<void(const QJsonObject& reply)>;
    void run(const QString& name, const QJsonObject& arguments, const BenchCaller& caller,
             const Done& done);
    // A command refused before it could run (by polkit, say): audited, and its reply.
    QJsonObject refuse(const QString& name, const QJsonObject& arguments,
                       const BenchCaller& caller, const QString& why);

    // The station as status tells it, and the state topic publishes it.
    QJsonObject stationState(const QString& name) const;

private:
    void audit(const QString& name, const QJsonObject& arguments, const BenchCaller& caller,
               const QString& outcome, const QString& error);
    QList<int> slotsNamed(const QJsonObject& arguments, QString* error) const;

    Station& m_station;
    BenchHost& m_host;
};
