#pragma once

#include "../serial/mscomm.h"
#include "../upload/uploadengine.h"
#include "unitrecord.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <atomic>
#include <optional>

enum class SlotState { Stopped, WaitingForAdaptor, WaitingForUnit, Flashing, WaitingForRemoval };

// A slot as its hosts see it: a copy, taken at once, of what the slot's own
// thread last said. Times are kept as moments on the monotonic clock, so a
// copy read later still tells how long ago they were.
struct SlotView {
    QString port;   // as given
    QString name;   // what is opened: the path given, or what a Com number resolved to
    QString device; // the device node, once the port has been open
    SlotState state = SlotState::Stopped;
    QString reason; // why the slot waits, or what the operator should do
    MSComm::OpenFailure openFailure;
    UploadProgress progress;
    UnitValues own; // the unit being flashed, or the last one
    QString label;  // its label, when one was scanned
    int passed = 0;
    int failed = 0;
    std::optional<UnitRecord> last; // the last unit's record
    qint64 uploadStartedAt = -1;    // ms on the monotonic clock; -1: none
    qint64 heardAt = -1;            // the unit's last word

    static qint64 now();
    // Seconds since the upload began.
    double elapsed() const;
    // While flashing: seconds since the unit last answered.
    double quietFor() const;
    // After its result, the unit is still in front of the adaptor: it said
    // something within the last second.
    bool unitStillPrompting() const;
    static QString stateName(SlotState state);
    static std::optional<SlotState> stateOfKey(QStringView key);
    // The view as a bench's clients are told it: its times as how long ago
    // they were, so that another process's clock reads them.
    QJsonObject toJson() const;
    static SlotView fromJson(const QJsonObject& o);
    // The state as a fixed key, for dashboards and line controllers: it
    // never changes with the words ("waiting_for_unit").
    static QByteArray stateKey(SlotState state);
};

// Where a slot puts its view and its transcript for the station to take,
// from whichever thread each of them runs in.
class SlotBoard
{
public:
    SlotView view() const;
    template <typename Change> void update(Change change)
    {
        QMutexLocker lock(&m_mutex);
        change(m_view);
    }
    // Kept until the station takes it, while a host wants it.
    void addTraffic(const QString& text);
    QString takeTraffic();
    void setTrafficWanted(bool wanted) { m_trafficWanted = wanted; }

private:
    mutable QMutex m_mutex;
    SlotView m_view;
    QString m_traffic;
    std::atomic<bool> m_trafficWanted{false};
};
