#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

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
    // Asked before each ping: a false answer (work held up elsewhere than
    // this loop) leaves the ping out.
    void setAlive(std::function<bool()> alive) { m_alive = std::move(alive); }
    void ready();
    void stopping();
    // A line for `systemctl status`.
    void status(const QString& text);

private:
    QTimer m_ping;
    std::function<bool()> m_alive;
};
