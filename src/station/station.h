#pragma once

#include "../records/recordforwarder.h"
#include "../upload/firmwarefile.h"
#include "stationslot.h"
#include "unitrecord.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

// A production bench: one slot per adaptor, all on the one event loop, one
// firmware file, one record of every unit. Before each unit the file's
// SHA-256 is taken again: a file replaced on disk, or a record that can no
// longer be written, stops new units on every slot while uploads under way
// finish. The command-line station and the station window both drive one.
class Station : public QObject, private SlotHost
{
    Q_OBJECT

public:
    explicit Station(QObject* parent = nullptr);
    ~Station() override;

    void setSettings(const SlotHost::Settings& settings) { m_settings = settings; }
    const SlotHost::Settings& settings() const { return m_settings; }

    // The file every unit gets; its digest now is the one every later unit
    // must match. `pinned`, when given, must match from the start.
    [[nodiscard]] bool setFirmware(const FirmwareFile& file, const QString& pinned, QString* error);
    const FirmwareFile& firmwareFile() const { return m_firmware; }
    bool hasFirmware() const { return !m_firmware.path.isEmpty(); }

    // Opened now, so that a path that cannot be written costs no unit.
    [[nodiscard]] bool openRecord(const QString& path, QString* error);
    QString recordPath() const { return m_record.path(); }

    // Each record line forwarded to the factory's database as well, after
    // it is on the disk; needs an open record.
    void forwardTo(const DatabaseUrl& url);
    const RecordForwarder& forwarder() const { return m_forwarder; }

    // Serial numbers and per-unit data, after setFirmware(): checked against
    // the file and the state read (or written) now, before any unit.
    [[nodiscard]] UnitNumbering::Refusal setNumbering(const UnitNumbering::Options& options,
                                                      QString* error);
    const UnitNumbering& numbering() const { return m_numbering; }

    StationSlot* addSlot(const QString& port);
    // Only a slot that is stopped.
    bool removeSlot(StationSlot* slot);
    void moveSlot(int from, int to);
    const QVector<StationSlot*>& allSlots() const { return m_slots; }

    void start();
    bool running() const { return m_running; }
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
    void slotChanged(StationSlot* slot);
    void slotProgressed(StationSlot* slot);
    void slotTraffic(StationSlot* slot, const QString& text);
    void unitRecorded(StationSlot* slot, const UnitRecord& record);
    void newUnitsRefused(const QString& why);
    // The database's state changed: "database: up to date".
    void databaseChanged(const QString& state);
    // Every slot has stopped after stop or interrupt.
    void stopped();

private:
    // SlotHost
    const SlotHost::Settings& slotSettings() const override { return m_settings; }
    const FirmwareFile& firmware() const override { return m_firmware; }
    bool mayStartUnit(UnitStart* unit, QString* why) override;
    void unitDone(StationSlot* slot, const UnitRecord& record) override;

    void refuseNewUnits(const QString& why, Stop reason);
    void onSlotStopped();

    SlotHost::Settings m_settings;
    FirmwareFile m_firmware;
    RecordFile m_record;
    QVector<StationSlot*> m_slots;
    bool m_running = false;
    bool m_stopping = false;
    QString m_refusal;
    Stop m_stop = Stop::None;
    UnitNumbering m_numbering;
    RecordForwarder m_forwarder;
    int m_passed = 0;
    int m_failed = 0;
    QElapsedTimer m_since;
};
