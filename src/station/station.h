#pragma once

#include "../records/audittrail.h"
#include "../records/jobidentity.h"
#include "../records/recordforwarder.h"
#include "../records/serialledger.h"
#include "../serial/labelscanner.h"
#include "../upload/firmwarefile.h"
#include "benchconfig.h"
#include "labeldesk.h"
#include "permitbook.h"
#include "slotview.h"
#include "unitrecord.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <memory>

class StationSlot;
class SlotThreads;

// A production bench: one slot per adaptor, one firmware file, one record
// of every unit. Before each unit the file's SHA-256 is taken again: a file
// replaced on disk, or a record that can no longer be written, stops new
// units on every slot while uploads under way finish. The command-line
// station and the station window both drive one, through configure().
//
// Each slot lives in a thread of the station's (or in the station's own);
// the station's hosts see a slot only through its view and the signals
// here, all in the station's thread.
class Station : public QObject
{
    Q_OBJECT

public:
    explicit Station(QObject* parent = nullptr);
    ~Station() override;

    // Threads the slots are spread over; 0: the station's own thread. Only
    // while there are no slots.
    void setWorkerThreads(int count);
    int workerThreads() const { return m_workerThreads; }
    // What a station has unless told otherwise.
    static int defaultWorkerThreads();
    // Every thread of the slots has answered since the last call (see
    // SlotThreads::answering()); true without such threads.
    bool workersAnswering();
    // Each thread's context, for a test that holds one up.
    QVector<QObject*> workerHomes() const;

    // The slots, one per port in this order; a port that stays keeps its
    // slot and what the slot has shown. While running, a new slot starts at
    // once, and none may go (false).
    bool setPorts(const QStringList& ports);
    int slotCount() const { return int(m_slots.size()); }
    SlotView view(int index) const;
    QVector<SlotView> views() const;
    void moveSlot(int from, int to);
    // The slots' traffic, as the loader's terminal shows it, for a host
    // that shows it (slotTraffic()).
    void setTrafficWanted(bool wanted);

    // The one start sequence of a run: the bench's ports as slots, the file
    // (read by the host, which has shown its check) against the pin and
    // the check, the record opened, the serial numbers checked against the
    // file and their state, the database. A refusal names the field; a
    // refused bench starts nothing.
    [[nodiscard]] std::optional<BenchRefusal> configure(const BenchConfig& bench,
                                                        const FirmwareFile& file);
    const BenchConfig& bench() const { return m_bench; }
    const FirmwareFile& firmwareFile() const { return m_firmware; }
    QString recordPath() const { return m_record.path(); }
    // A rotation (SIGHUP): the record's path opened anew, the file it was
    // finished by its readers. Between units' lines, never in one.
    [[nodiscard]] bool reopenRecord(QString* error);

    // The released job the next run is of (none for a bench that is not
    // one); every record of its units names it.
    void setJob(const JobIdentity& job) { m_job = job; }
    const JobIdentity& job() const { return m_job; }
    // Who flashes the units from now on: the account running the station,
    // or the engineer who unlocked it.
    void setOperator(const QString& name) { m_operator = name; }
    // The account this program runs as.
    static QString accountName();
    QString operatorName() const { return m_operator; }
    // A line in the audit trail opened by configure(), with the station and
    // the operator; false, with `error`, when it cannot be written.
    [[nodiscard]] bool audit(const QString& event, const QJsonObject& details, QString* error);
    QString auditPath() const { return m_audit.path(); }
    const RecordForwarder& forwarder() const { return m_forwarder; }
    const UnitNumbering& numbering() const { return m_numbering; }
    const SerialLedger& ledger() const { return m_ledger; }

    // The released job's work order, if it names one: its permits left in
    // the factory (not leased yet, and held here) and held here.
    struct OrderState {
        QString order;
        int units = 0;
        quint64 left = 0;
        quint64 heldHere = 0;
        bool shared = false; // counted in the factory's database
        bool known = false;  // the database has said what is left
    };
    OrderState orderState() const;

    // What asks for attention, by where it comes from ("broker",
    // "serials"): shown on the status line, by status, in the metrics and
    // on the bus until it is gone. An empty text takes it away.
    void setProblem(const QString& source, const QString& text);
    const QMap<QString, QString>& problems() const { return m_problems; }

    // A label scanned (by the scanner, or typed into the window's scan field).
    void scan(const QString& text) { m_labels.scan(text); }

    void start();
    bool running() const { return m_running; }
    // A paused slot finishes the unit it has and flashes no new one.
    void setPaused(int index, bool paused);
    bool paused(int index) const { return m_slots.value(index).paused; }
    // Forgets the slot's last result (an engineer has seen to the failure
    // it shows); its counts stay.
    void clearLastResult(int index);
    // Lets uploads under way finish, then closes every port.
    void stopAfterUploads();
    // Cancels uploads under way (recorded as interrupted, `why` their
    // reason: "the station was stopped", "SIGTERM"), closes every port.
    void interrupt(const QString& why);
    int uploadsUnderWay() const;

    // Why new units are refused, once they are; empty while they are not.
    QString newUnitsStopped() const { return m_refusal; }
    enum class Stop {
        None,
        FileChanged,   // another build on disk
        RecordFailed,  // the record or the serial state cannot be written
        NumbersUsedUp, // the serial numbers or the unit data list ran out
    };
    Stop stopReason() const { return m_stop; }
    int passed() const { return m_passed; }
    int failed() const { return m_failed; }
    // Units per hour since the start; nothing until three units or five
    // minutes make the figure worth reading (the first unit alone would
    // project thousands an hour).
    std::optional<double> unitsPerHour() const;

signals:
    // A slot's state or reason changed.
    void slotChanged(int index);
    void slotTraffic(int index, const QString& text);
    // On the disk when this comes, unless recordWriteFailed() came first.
    void unitRecorded(int index, const UnitRecord& record);
    // The record could not take a unit's line; the line, whole, is for the
    // host to keep where it can (standard error, the journal).
    void recordWriteFailed(const QString& error, const QByteArray& line);
    void newUnitsRefused(const QString& why);
    void databaseChanged(RecordForwarder::Health health, const QString& text);
    // Every slot has stopped after stop or interrupt.
    void stopped();
    // Something for the hosts to say: a label scanned or refused (`port`,
    // when it concerns a slot), the scanner's or the serial ledger's state.
    void noticed(const QString& port, const QString& text, bool problem);
    void problemsChanged();
    void permitsChanged();

private:
    struct Member {
        QString port;
        std::shared_ptr<SlotBoard> board;
        StationSlot* slot = nullptr;
        QObject* home = nullptr; // the slot's thread, as a context
        bool paused = false;
        std::optional<quint64> permit; // the work order's, in the unit's hands
    };
    Member makeMember(const QString& port);
    void dropMember(const Member& member);
    int indexOf(const std::weak_ptr<SlotBoard>& board) const;
    void onUnitWanted(int index);
    // `index` is -1 for a slot that has gone since.
    void onUnitFinished(int index, const UnitRecord& record);
    void onSlotStopped();
    void refuseNewUnits(const QString& why, Stop reason);
    void finishStopping();
    void takeTraffic();
    // The file on disk is another build than the one read: said now, and
    // audited, not only when the next unit comes.
    void checkFirmwareOnDisk();
    void forgetWatched();
    void startLedger(const BenchConfig& bench, const DatabaseUrl& url,
                     const QHash<quint64, QString>& recorded);
    void onBlockLeased(const SerialLedger::Block& block);
    void auditQuietly(const QString& event, const QJsonObject& details);
    void startPermits(const BenchConfig& bench, const DatabaseUrl& url,
                      const QHash<quint64, QString>& recorded);
    // A permit a unit took and did not spend, for the next unit.
    void givePermitBack(int index, std::optional<quint64> permit = std::nullopt);

    BenchConfig m_bench;
    FirmwareFile m_firmware;
    RecordFile m_record;
    AuditTrail m_audit;
    JobIdentity m_job;
    QString m_operator;
    QString m_stoppedWhy; // for the audit trail
    QVector<Member> m_slots;
    std::unique_ptr<SlotThreads> m_threads;
    int m_workerThreads = 0;
    int m_turn = 0; // the thread the next slot goes to
    bool m_trafficWanted = false;
    QTimer m_traffic; // takes the slots' traffic
    bool m_running = false;
    bool m_stopping = false;
    int m_live = 0; // slots started and not yet stopped
    QString m_refusal;
    Stop m_stop = Stop::None;
    UnitNumbering m_numbering;
    RecordForwarder m_forwarder;
    RecordForwarder m_auditForwarder;
    SerialLedger m_ledger;
    bool m_seriesEnded = false;
    PermitBook m_permits;
    SerialLedger m_permitLedger; // the order's permits, a series of 1..N
    std::optional<quint64> m_orderUnleased;
    LabelDesk m_labels;
    LabelScanner m_scanner;
    QFileSystemWatcher m_watcher; // the firmware file and its folder
    int m_passed = 0;
    int m_failed = 0;
    QElapsedTimer m_since;
    QMap<QString, QString> m_problems;
};
