#pragma once

#include "../station/benchcommands.h"

#include <QDBusContext>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

class Station;

// A station's bench on the system bus (see the interface's XML): its
// properties, a signal per recorded unit, and the commands of
// BenchCommands' table as methods, each checked with polkit on the
// caller's bus name before it runs.
class BenchService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ name)
    Q_PROPERTY(bool Running READ running)
    Q_PROPERTY(QString Job READ job)
    Q_PROPERTY(QString Firmware READ firmware)
    Q_PROPERTY(QString Bench READ bench)
    Q_PROPERTY(uint Passed READ passed)
    Q_PROPERTY(uint Failed READ failed)
    Q_PROPERTY(double UnitsPerHour READ unitsPerHour)
    Q_PROPERTY(uint UploadsUnderWay READ uploadsUnderWay)
    Q_PROPERTY(QString NewUnitsStopped READ newUnitsStopped)
    Q_PROPERTY(QString Database READ database)
    Q_PROPERTY(QString SlotStates READ slotsText)
    Q_PROPERTY(QString Problems READ problems)
    Q_PROPERTY(QString Order READ order)

public:
    BenchService(Station& station, BenchHost& host, QObject* parent = nullptr);
    ~BenchService() override;

    // Registers the bench on the system bus under the station's name; false,
    // with why, when there is no bus or the name cannot be had.
    bool start(const QString& station, QString* why);
    void stop();
    bool registered() const { return !m_service.isEmpty(); }

    QString name() const;
    bool running() const;
    QString job() const;
    QString firmware() const;
    QString bench() const;
    uint passed() const;
    uint failed() const;
    double unitsPerHour() const;
    uint uploadsUnderWay() const;
    QString newUnitsStopped() const;
    QString database() const;
    QString slotsText() const;
    QString problems() const;
    QString order() const;

public slots:
    void Start();
    uint Stop();
    void Pause(const QString& slot);
    void Resume(const QString& slot);
    QString LoadJob(const QString& job);
    void Scan(const QString& label);
    void SetBench(const QString& bench);
    void LoadFile(const QString& file);
    void ClearFault(const QString& slot);

signals:
    void UnitRecorded(int slot, const QString& record);

private:
    // The call in hand, answered later: polkit first, then the command.
    void call(const QString& command, const QJsonObject& arguments);
    void authorized(const QDBusMessage& message, const QString& command,
                    const QJsonObject& arguments, BenchCaller caller);
    QString accountOf(const QString& busName) const;
    // Properties that changed since they were last said, at most every quarter second.
    void changed();
    void publish();
    QVariantMap properties() const;

    Station& m_station;
    BenchCommands m_commands;
    QString m_service;
    QString m_stationName;
    QVariantMap m_said;
    QTimer m_soon;
    QTimer m_progress; // while a unit is flashed
    QElapsedTimer m_lastSaid;
};
