#pragma once

#include "benchcontrol.h"

class Station;

// The window's own station, in this process: what it shows read from the
// station, its commands carried out by the one table with the window as
// their host.
class LocalBench : public BenchControl
{
    Q_OBJECT

public:
    LocalBench(Station& station, BenchHost& host, QObject* parent = nullptr);

    bool isService() const override { return false; }
    int slotCount() const override;
    SlotView view(int index) const override;
    bool paused(int index) const override;
    bool running() const override;
    int uploadsUnderWay() const override;
    int passed() const override;
    int failed() const override;
    std::optional<double> unitsPerHour() const override;
    JobIdentity job() const override;
    QString newUnitsStopped() const override;
    QString databaseState() const override;
    BenchConfig bench() const override;
    FirmwareSummary firmware() const override;
    Order order() const override;
    // The station's order, as every client of a bench is told it.
    static Order orderOf(const Station& station);
    void command(const QString& name, const QJsonObject& arguments, const Reply& done) override;
    Permission permission(BenchAction) const override { return Permission::Yes; }

private:
    Station& m_station;
    BenchCommands m_commands;
};
