#pragma once

#include "../station/benchcontrol.h"

#include <QDBusConnection>
#include <QJsonArray>
#include <QVariantMap>
#include <QVector>
#include <memory>

class ComTarvellabsFirmwareStation1BenchInterface;
class QDBusServiceWatcher;

// A bench's service, attached over the system bus: its properties as they
// change, its units as they are recorded, its methods called with the
// desktop's agent allowed to ask for an engineer's password, and polkit's
// answer, asked without interaction, to what this process may do.
class RemoteBench : public BenchControl
{
    Q_OBJECT

public:
    RemoteBench(const QDBusConnection& bus, const QString& station, QObject* parent = nullptr);
    ~RemoteBench() override;

    // Reads the bench once; false, with why, when no service has it.
    bool attach(QString* why);
    QString station() const { return m_station; }
    // The bench's properties as last said (for firmware-upload status).
    const QVariantMap& properties() const { return m_properties; }

    bool isService() const override { return true; }
    int slotCount() const override { return int(m_views.size()); }
    SlotView view(int index) const override { return m_views.value(index); }
    bool paused(int index) const override;
    bool running() const override;
    int uploadsUnderWay() const override;
    int passed() const override;
    int failed() const override;
    std::optional<double> unitsPerHour() const override;
    JobIdentity job() const override;
    QString newUnitsStopped() const override;
    QString databaseState() const override;
    BenchConfig bench() const override { return m_bench; }
    FirmwareSummary firmware() const override;
    Order order() const override;
    void command(const QString& name, const QJsonObject& arguments, const Reply& done) override;
    Permission permission(BenchAction action) const override;
    // polkit asked again, for after a change of groups or rules.
    void refreshPermissions();

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    void take(const QVariantMap& changed);

    QDBusConnection m_bus;
    QString m_station;
    std::unique_ptr<ComTarvellabsFirmwareStation1BenchInterface> m_proxy;
    QDBusServiceWatcher* m_watcher = nullptr;
    QVariantMap m_properties;
    QVector<SlotView> m_views;
    QJsonArray m_slots; // as last said, to tell which slot changed
    BenchConfig m_bench;
    Permission m_operate = Permission::No;
    Permission m_configure = Permission::No;
    Permission m_observe = Permission::Yes;
};
