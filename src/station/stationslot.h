#pragma once

#include "../serial/mscomm.h"
#include "../upload/unitupload.h"
#include "unitrecord.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QSysInfo>
#include <QTimer>

struct FirmwareFile;
class StationSlot;

// What a slot asks of the station it belongs to.
class SlotHost
{
public:
    struct Settings {
        QString stationName = QSysInfo::machineHostName(); // the bench in the record
        QString settings = QStringLiteral("38400,N,8,1");
        int handshaking = 0;
        int timeoutSeconds = 10;
        int maximumRejections = 20;
        double nextAfterSeconds = 2;
        double warnResendsPercent = 10;
    };

    virtual ~SlotHost() = default;
    // What a unit gets: the image with its own values put in.
    struct UnitStart {
        FirmwareImage image;
        UnitValues own;
    };

    virtual const Settings& slotSettings() const = 0;
    virtual const FirmwareFile& firmware() const = 0;
    // Asked before each unit; `why` says what stops it. A serial number
    // handed out here is used up, whatever becomes of the unit.
    virtual bool mayStartUnit(UnitStart* unit, QString* why) = 0;
    // A unit is done with; its record is on the disk when this returns.
    virtual void unitDone(StationSlot* slot, const UnitRecord& record) = 0;
};

// One adaptor of a production bench and the units placed in front of it,
// one after another. A state machine on the one event loop:
//
//   WaitingForAdaptor --opened--> WaitingForUnit --prompt--> Flashing
//   Flashing --result--> WaitingForRemoval --quiet--> WaitingForUnit
//   any state --adaptor gone--> WaitingForAdaptor (an upload fails)
//
// A missing device is looked for once a second; a unit that goes on
// prompting after its result is not flashed again until the slot has heard
// nothing for a while (it was taken away and the next one placed).
class StationSlot : public QObject
{
    Q_OBJECT

public:
    enum class State { Stopped, WaitingForAdaptor, WaitingForUnit, Flashing, WaitingForRemoval };

    // `port`: a Com number, resolved once now, or a path (a stable name
    // such as /dev/serial/by-id/..., followed at each open).
    StationSlot(const QString& port, SlotHost& host, QObject* parent = nullptr);

    QString port() const { return m_port; }
    // What is opened: the path given, or what the Com number resolved to.
    QString name() const { return m_name; }
    // The device node, once the port has been open.
    QString device() const { return m_device; }
    State state() const { return m_state; }
    static QString stateName(State state);
    // Why the slot waits, or what the operator should do; empty when nothing.
    QString reason() const { return m_reason; }
    // After its result, the unit is still in front of the adaptor: it said
    // something within the last second.
    bool unitStillPrompting() const;
    // While flashing: seconds since the unit last answered.
    double unitQuietFor() const { return m_upload.quietFor(); }
    // Why the adaptor could not be opened, while the slot waits for it.
    const MSComm::OpenFailure& openFailure() const { return m_comm.openFailure(); }
    const UploadProgress& progress() const { return m_upload.progress(); }
    // The serial number and data of the unit being flashed, or the last one.
    const UnitValues& own() const { return m_own; }
    double elapsed() const { return m_upload.elapsed(); }
    int passed() const { return m_passed; }
    int failed() const { return m_failed; }
    // The last unit's record, when there was one.
    const UnitRecord& lastUnit() const { return m_last; }
    bool hasLastUnit() const { return !m_last.result.isEmpty(); }

    void start();
    // Lets an upload under way finish, then closes the port.
    void finishAndStop();
    // Cancels an upload under way (recorded as interrupted, `why` its
    // reason), closes the port.
    void interrupt(const QString& why);

signals:
    // The state or the reason changed.
    void changed();
    void progressed();
    // Transcript text, as the loader's window shows it.
    void traffic(const QString& text);
    void stopped();

private:
    void tryOpen();
    void onComm();
    void onPortLost();
    void beginUnit();
    void onUploadFinished(const UnitUpload::Outcome& outcome);
    void enter(State state, const QString& reason = QString());
    void say(const QString& reason);
    void closePort();

    QString m_port;
    QString m_name;
    QString m_device;
    QStringList m_byId, m_byPath;
    SlotHost& m_host;
    MSComm m_comm;
    UnitUpload m_upload;
    State m_state = State::Stopped;
    QString m_reason;
    QTimer m_retry; // looking for the adaptor
    QTimer m_quiet; // the unit taken away
    bool m_stopAfterUnit = false;
    QDateTime m_unitStarted;
    UnitValues m_own;      // the unit's own values
    QElapsedTimer m_heard; // the unit's last word after its result
    UnitRecord m_last;
    int m_passed = 0;
    int m_failed = 0;
};
