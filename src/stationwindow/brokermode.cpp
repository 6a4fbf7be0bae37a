// The station window on the factory's broker: a line controller's commands
// do what the window's own would, and what would be a box is their reply.

#include "../ui/messageboxes.h"
#include "stationwindow.h"

#include <QInputDialog>
#include <QLabel>

void StationWindow::tell(const QString& text)
{
    if (m_remote)
        *m_remote = text;
    else
        MessageBoxes::show(text);
}

bool StationWindow::useBroker(const QString& url, QString* why)
{
    const QString text = url.trimmed();
    if (!text.isEmpty() && !BrokerUrl::parse(text, why))
        return false;
    m_setup.bench.mqtt = text;
    saveSetup();
    connectBroker();
    return true;
}

void StationWindow::connectBroker()
{
    const QString text = m_setup.bench.mqtt;
    QString why;
    const std::optional<BrokerUrl> url =
        text.isEmpty() ? std::nullopt : BrokerUrl::parse(text, &why);
    if (!url) {
        m_line->stop();
        m_broker->hide();
        return;
    }
    const BenchConfig b = bench();
    m_line->start(*url, b.name, b.record);
    m_broker->setText(tr("broker: %1").arg(url->shown()));
    m_broker->setToolTip(url->shown());
    m_broker->show();
}

void StationWindow::chooseBroker()
{
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, tr("Broker"),
        tr("The station's state and every unit's record are published on the factory's MQTT\n"
           "broker at this URL, where a line controller's commands are taken, such as\n"
           "mqtt://bench@broker.factory/factory (empty: none). The password comes from\n"
           "MQTT_PASSWORD or a file named by ?password-file=PATH, and is never kept here."),
        QLineEdit::Normal, m_setup.bench.mqtt, &ok);
    if (!ok)
        return;
    QString why;
    if (!useBroker(text, &why))
        MessageBoxes::show(why[0].toUpper() + why.mid(1) + QLatin1Char('.'));
}

bool StationWindow::startStation(QString* why)
{
    m_remote = why;
    const bool started = start();
    m_remote = nullptr;
    return started;
}

void StationWindow::stopStation()
{
    // As Stop with "Let them finish": no question for a command.
    m_station.stopAfterUploads();
    showBench();
}

void StationWindow::loadJob(const QString& path, std::function<void(const QString& error)> done)
{
    QString why;
    m_remote = &why;
    const bool opened = openJob(path);
    m_remote = nullptr;
    done(opened ? QString() : why.isEmpty() ? QStringLiteral("the job was not opened") : why);
    if (opened)
        connectBroker(); // the job's name and record
}

void StationWindow::loadBench(const BenchConfig&, std::function<void(const QString& error)> done)
{
    done(QStringLiteral("the window's bench is changed in the window; a line controller runs "
                         "released jobs on it (load-job)"));
}
