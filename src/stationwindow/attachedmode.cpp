// The station window as a client: the bench shown is the one its control
// has, the window's own station or a bench's service on the system bus,
// and what the caller may not do is not offered.

#include "../bus/benchbus.h"
#include "../bus/remotebench.h"
#include "../ui/messageboxes.h"
#include "slottile.h"
#include "stationwindow.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QDBusConnection>
#include <QInputDialog>
#include <QLabel>

namespace {

QString sentence(const QString& text)
{
    return text.isEmpty() ? text : text[0].toUpper() + text.mid(1) + QLatin1Char('.');
}

} // namespace

void StationWindow::useControl(std::unique_ptr<BenchControl> control)
{
    m_control = std::move(control);
    BenchControl* c = m_control.get();
    // A change of state shows as it comes; an upload's figures go on in the
    // regular refresh.
    connect(c, &BenchControl::slotChanged, this, [this](int index) {
        SlotTile* t = tileOf(index);
        if (!t)
            return;
        // A new state at once (a few a second at most); other changes with the next refresh.
        if (t->slot().state != m_control->view(index).state)
            refreshTile(t);
        else
            m_due.insert(t);
    });
    connect(c, &BenchControl::unitRecorded, this, [this](int, const UnitRecord& record) {
        // Heard from across the room, for a unit that failed.
        if (m_setup.soundOnFailure && record.result == UnitResult::Fail)
            QApplication::beep();
        if (record.own.hasSerial)
            showFirmware(); // the next number
        showBench();
    });
    connect(c, &BenchControl::stopped, this, &StationWindow::onStopped);
    connect(c, &BenchControl::noticed, this,
            [this](const QString& port, const QString& text, bool problem) {
                int at = -1;
                for (int i = 0; i < m_tiles.size(); ++i)
                    at = m_tiles[i]->port() == port ? i : at;
                notify(at >= 0 ? QStringLiteral("%1: %2").arg(m_tiles[at]->name(), text) : text,
                       problem);
            });
    connect(c, &BenchControl::changed, this, [this] {
        if (attached())
            followService();
        showBench();
    });
    connect(c, &BenchControl::permissionsChanged, this, [this] {
        showMode();
        showBench();
    });
    connect(c, &BenchControl::lost, this, [this](const QString& why) {
        notify(sentence(why));
        m_start->setEnabled(false);
        m_stop->setEnabled(false);
    });
}

bool StationWindow::attach(const QString& name, QString* why, const QDBusConnection& bus)
{
    if (m_station.running()) {
        *why = tr("the window's own station is running: stop it first");
        return false;
    }
    auto remote = std::make_unique<RemoteBench>(bus, name);
    if (!remote->attach(why))
        return false;
    m_line->stop(); // the service has its own broker link
    m_broker->hide();
    m_job = JobSession();
    m_lock.release();
    useControl(std::move(remote));
    m_shownBench = BenchConfig();
    setWindowTitle(tr("%1 - Tarvel Labs Firmware Station").arg(name));
    followService();
    showMode();
    showFirmware();
    showBench();
    return true;
}

void StationWindow::attachByDialog()
{
    const QStringList benches = BenchBus::benches(QDBusConnection::systemBus());
    if (benches.isEmpty()) {
        MessageBoxes::show(tr("No bench's service is on the system bus."));
        return;
    }
    bool ok = false;
    const QString name = QInputDialog::getItem(this, tr("Attach to Bench"),
                                               tr("The bench's &station service:"), benches, 0,
                                               false, &ok);
    if (!ok)
        return;
    QString why;
    if (!attach(name, &why))
        MessageBoxes::show(sentence(why));
}

void StationWindow::followService()
{
    // The service's bench, as it runs: its tiles, its file, its job.
    const BenchConfig b = m_control->bench();
    if (b.text(BenchField::Ports) != m_shownBench.text(BenchField::Ports) ||
        b.text(BenchField::SlotNames) != m_shownBench.text(BenchField::SlotNames)) {
        m_shownBench = b;
        useBench(b);
    } else {
        m_shownBench = b;
        m_setup.bench = b;
    }
    for (int i = 0; i < m_tiles.size(); ++i)
        m_due.insert(m_tiles[i]);
    const JobIdentity job = m_control->job();
    m_jobLabel->setVisible(!job.isEmpty());
    if (!job.isEmpty())
        m_jobLabel->setText(tr("Released job %1, signed by %2").arg(job.file, job.signer));
    showFirmware();
    applyLanguage();
}

void StationWindow::answered(const QJsonObject& reply)
{
    if (reply.value("ok").toBool())
        return;
    const QString why = reply.value("error").toString();
    if (m_remote) {
        *m_remote = why;
        return;
    }
    MessageBoxes::show(sentence(why));
}

void StationWindow::askBenchChange()
{
    // What the engineer changed, asked of the service: it runs it once its
    // units under way are done, or says why not.
    m_control->command(QStringLiteral("set-bench"),
                       {{"bench", QString::fromUtf8(m_setup.bench.toText())}},
                       [this](const QJsonObject& reply) {
                           if (!reply.value("ok").toBool())
                               m_setup.bench = m_control->bench(); // as it is, again
                           answered(reply);
                       });
}

void StationWindow::stopService()
{
    const int underWay = m_control->uploadsUnderWay();
    if (MessageBoxes::choose(
            underWay == 0 ? tr("Stop ends the bench's service. Stop it?")
                          : tr("Stop ends the bench's service once the %n unit(s) being flashed "
                               "are done. Stop it?",
                               "", underWay),
            {tr("Stop the bench"), tr("Keep running")}, 1, 1) != 0)
        return;
    m_control->command(QStringLiteral("stop"), {},
                       [this](const QJsonObject& reply) { answered(reply); });
}
