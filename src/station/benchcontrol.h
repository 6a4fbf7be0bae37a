#pragma once

#include "../records/jobidentity.h"
#include "benchcommands.h"
#include "benchconfig.h"
#include "firmwaresummary.h"
#include "slotview.h"
#include "unitrecord.h"

#include <QJsonObject>
#include <QObject>
#include <functional>
#include <optional>

// A bench as a window shows and drives it, its station in this process or
// in its service on the system bus: one interface, so that the window's
// code is one.
class BenchControl : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // May the caller do it: yes; once an engineer authenticates; no.
    enum class Permission { Yes, Challenge, No };

    // A bench's service, not the window's own station.
    virtual bool isService() const = 0;
    virtual int slotCount() const = 0;
    virtual SlotView view(int index) const = 0;
    virtual bool paused(int index) const = 0;
    virtual bool running() const = 0;
    virtual int uploadsUnderWay() const = 0;
    virtual int passed() const = 0;
    virtual int failed() const = 0;
    virtual std::optional<double> unitsPerHour() const = 0;
    virtual JobIdentity job() const = 0;
    virtual QString newUnitsStopped() const = 0;
    // The database forwarder's state in words; empty without one running.
    virtual QString databaseState() const = 0;
    // The bench as it runs (a service's), or as the window's station has it.
    virtual BenchConfig bench() const = 0;
    virtual FirmwareSummary firmware() const = 0;
    // The released job's work order, if it names one, and its permits.
    struct Order {
        QString order;
        int units = 0;
        qint64 left = -1; // in the factory (not leased yet, and held here); -1: not known yet
        qint64 held = 0;  // here
        QString text() const; // "WO-1234: 312 of 500 left (8 here)"
        QJsonObject toJson() const;
        static Order fromJson(const QJsonObject& o);
    };
    virtual Order order() const = 0;

    // A command of BenchCommands' table; the reply comes later, in this
    // thread: "ok", and "error" when refused.
    using Reply = std::function<void(const QJsonObject& reply)>;
    virtual void command(const QString& name, const QJsonObject& arguments, const Reply& done) = 0;
    virtual Permission permission(BenchAction action) const = 0;

signals:
    void slotChanged(int index);
    void unitRecorded(int index, const UnitRecord& record);
    // The counts, the job, the firmware, the bench, or whether it runs.
    void changed();
    void stopped();
    void noticed(const QString& port, const QString& text, bool problem);
    void permissionsChanged();
    // A service that went away, or could not be reached.
    void lost(const QString& why);
};
