#pragma once

#include "../serial/mscomm.h"
#include "../upload/firmwarefile.h"
#include "../upload/unitupload.h"
#include "benchconfig.h"
#include "slotview.h"
#include "unitrecord.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

// What a unit gets: the image with its own values put in, and who it is
// flashed for.
struct UnitStart {
    FirmwareImage image;
    UnitValues own;
    QString imageSha256;  // of `image`
    QString operatorName; // the account running the station, or the unlocking engineer
    QString label;        // scanned off the unit
    bool rework = false;  // its label's unit passed before
    QString reworkOf;
};

// One adaptor of a production bench and the units placed in front of it,
// one after another. A state machine on the event loop of the thread it
// was made in, where its port, its timers and its uploads live and die:
//
//   WaitingForAdaptor --opened--> WaitingForUnit --prompt, granted--> Flashing
//   Flashing --result--> WaitingForRemoval --quiet--> WaitingForUnit
//   any state --adaptor gone--> WaitingForAdaptor (an upload fails)
//
// A missing device is looked for once a second; a unit that goes on
// prompting after its result is not flashed again until the slot has heard
// nothing for a while (it was taken away and the next one placed). The
// station decides whether a prompting unit may begin (grant or refuse) and
// writes each unit's record; the slot tells it through signals and keeps
// its view on its board.
class StationSlot : public QObject
{
    Q_OBJECT

public:
    // What a run of the station gives each slot.
    struct Run {
        BenchConfig bench;
        FirmwareFile firmware; // the bytes read at the start, for the record's facts
        JobIdentity job;       // the released job it runs, if any
    };

    // `port`: a Com number, resolved once now, or a path (a stable name
    // such as /dev/serial/by-id/..., followed at each open).
    StationSlot(const QString& port, std::shared_ptr<SlotBoard> board, QObject* parent = nullptr);
    ~StationSlot() override;

    void start(const Run& run);
    // The station's answer to unitWanted().
    void grant(const UnitStart& unit);
    void refuse(const QString& why);
    // Lets an upload under way finish, then closes the port.
    void finishAndStop();
    // Cancels an upload under way (recorded as interrupted, `why` its
    // reason), closes the port.
    void interrupt(const QString& why);

signals:
    // A unit prompts in front of an open port: may it begin?
    void unitWanted();
    // A unit is done with; nothing more happens to it.
    void unitFinished(const UnitRecord& record);
    // The state or the reason changed.
    void changed();
    void stopped();

private:
    void tryOpen();
    void onComm();
    void onPortLost();
    void onUploadFinished(const UnitUpload::Outcome& outcome);
    void enter(SlotState state, const QString& reason = QString());
    void say(const QString& reason);
    void closePort();
    void traffic(const QString& text);

    std::shared_ptr<SlotBoard> m_board;
    QString m_port;
    QString m_name;
    QString m_device;
    QStringList m_byId, m_byPath;
    Run m_run;
    MSComm m_comm;
    UnitUpload m_upload;
    SlotState m_state = SlotState::Stopped;
    QString m_reason;
    QTimer m_retry; // looking for the adaptor
    QTimer m_quiet; // the unit taken away
    bool m_stopAfterUnit = false;
    bool m_asked = false; // for a grant, not yet answered
    QDateTime m_unitStarted;
    UnitStart m_unit; // the unit under way, its image aside
    int m_passed = 0;
    int m_failed = 0;
};
