#include "systemdnotifier.h"

#include <systemd/sd-daemon.h>

SystemdNotifier::SystemdNotifier(QObject* parent) : QObject(parent)
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        m_ping.setInterval(int(qMax<uint64_t>(usec / 2000, 1)));
        connect(&m_ping, &QTimer::timeout, this, [this] {
            if (!m_alive || m_alive())
                sd_notify(0, "WATCHDOG=1");
        });
        m_ping.start();
    }
}

void SystemdNotifier::ready()
{
    sd_notify(0, "READY=1");
}

void SystemdNotifier::stopping()
{
    // The pings go on: uploads under way may take a while to end.
    sd_notify(0, "STOPPING=1");
}

void SystemdNotifier::status(const QString& text)
{
    sd_notifyf(0, "STATUS=%s", qPrintable(text));
}
