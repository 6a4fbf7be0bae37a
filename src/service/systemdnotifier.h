#pragma once

#include <QObject>
#include <QTimer>

// Tells systemd how the service stands (sd_notify): ready once the station
// has started, a watchdog ping from the event loop at half the interval
// systemd asks for (so a loop that hangs is restarted), and stopping.
// Nothing at all when not started by systemd.
class SystemdNotifier : public QObject
{
    Q_OBJECT

public:
    explicit SystemdNotifier(QObject* parent = nullptr);

    bool watchdogEnabled() const { return m_ping.interval() > 0; }
    void ready();
    void stopping();
    // A line for `systemctl status`.
    void status(const QString& text);

private:
    QTimer m_ping;
};
