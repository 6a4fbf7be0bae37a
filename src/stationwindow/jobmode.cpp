// The station window's operator mode: a released job, locked, and an
// engineer's unlock for a while, every change audited.

#include "../platform/authentication.h"
#include "../records/audittrail.h"
#include "../ui/commondialog.h"
#include "../ui/messageboxes.h"
#include "slottile.h"
#include "stationwindow.h"
#include "unlockdialog.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QQueue>

namespace {

QString sentence(const QString& text)
{
    return text.isEmpty() ? text : text[0].toUpper() + text.mid(1) + QLatin1Char('.');
}

} // namespace

void StationWindow::useBench(const BenchConfig& b)
{
    for (SlotTile* t : qAsConst(m_tiles))
        delete t;
    m_tiles.clear();
    m_due.clear();
    m_placed.clear();
    m_station.setPorts({});
    // The broker is the window's, unless the bench names one.
    const QString broker = m_setup.bench.mqtt;
    m_setup.bench = b;
    if (m_setup.bench.mqtt.isEmpty())
        m_setup.bench.mqtt = broker;
    m_setup.bench.ports.clear();
    m_setup.bench.slotNames.clear();
    m_firmware.reset();
    m_restoring = true;
    for (int i = 0; i < b.ports.size(); ++i)
        addSlot(b.ports[i], b.slotName(i));
    // The names as the bench has them; a tile without one shows a name of its own.
    m_setup.bench.slotNames = b.slotNames;
    if (!b.file.isEmpty())
        openFirmware(b.file);
    m_setup.bench.file = b.file;
    m_restoring = false;
    reflow();
    showFirmware();
    showBench();
}

bool StationWindow::openJob(const QString& path)
{
    if (m_station.running()) {
        tell(QStringLiteral("Stop the station (Shift+F5) before opening a job."));
        return false;
    }
    if (m_job.active() && !m_lock.isLocked())
        auditChanges();
    const ReleasedJob job = ReleasedJob::load(path, m_policy.signers());
    if (!job.good()) {
        // Kept in the trail the job's own bench names, as far as it could be read.
        QString why;
        BenchConfig b = job.bench;
        if (b.record.isEmpty())
            b.record = StationSetup::defaultRecordPath();
        QJsonObject details = job.auditDetails();
        details.insert("station", b.name);
        details.insert("account", m_station.operatorName());
        if (!AuditTrail::note(b.auditPath(), QStringLiteral("job-refused"), details, &why))
            notify(why);
        tell(sentence(job.refusal));
        return false;
    }
    m_job = JobSession(job);
    m_lock.lockForJob();
    m_station.setOperator(Station::accountName());
    useBench(job.bench);
    m_audited = bench();
    auditNote(QStringLiteral("job-verified"), job.auditDetails());
    m_notice->clear();
    showMode();
    return true;
}

bool StationWindow::closeJob()
{
    if (!m_job.active() || m_lock.isLocked() || m_station.running())
        return false;
    auditChanges();
    m_lock.release();
    m_station.setOperator(Station::accountName());
    m_job = JobSession();
    // The window's own bench, as its settings kept it.
    useBench(StationSetup::load().bench);
    showMode();
    return true;
}

void StationWindow::chooseJob()
{
    m_files->DialogTitle = tr("Open Job");
    m_files->Filter = QStringLiteral("Released jobs (*.conf)|*.conf|All Files (*.*)|*.*");
    m_files->DefaultExt.clear();
    m_files->FileName.clear();
    if (m_files->ShowOpen() == 0)
        openJob(m_files->FileName);
}

void StationWindow::unlockByDialog()
{
    if (!m_job.active() || !m_lock.isLocked())
        return;
    UnlockDialog dialog(m_policy.engineersGroup, m_policy.unlockMinutes, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    unlock(dialog.account(), dialog.takePassword());
}

void StationWindow::unlock(const QString& account, const QString& password)
{
    if (!m_job.active() || !m_lock.isLocked() || account.isEmpty())
        return;
    notify(tr("Checking %1 ...").arg(account), false);
    Authentication::instance().check(account, password, m_policy.engineersGroup, this,
                                     [this, account](const Authentication::Answer& answer) {
                                         m_notice->clear();
                                         if (!answer.accepted) {
                                             auditNote(
                                                 QStringLiteral("unlock-refused"),
                                                 {{"engineer", account}, {"why", answer.why}});
                                             MessageBoxes::show(sentence(answer.why));
                                             return;
                                         }
                                         m_lock.unlock(account);
                                     });
}

void StationWindow::lockNow()
{
    m_lock.lock(QStringLiteral("locked by hand"));
}

void StationWindow::showMode()
{
    const bool locked = m_job.active() && m_lock.isLocked();
    for (QAction* a : qAsConst(m_changing)) {
        a->setVisible(!locked);
        a->setEnabled(!locked);
    }
    m_unlockAction->setVisible(locked);
    m_unlockAction->setEnabled(locked);
    m_lockAction->setVisible(m_job.active() && !locked);
    m_lockAction->setEnabled(m_job.active() && !locked);
    m_closeJobAction->setVisible(m_job.active() && !locked);
    m_closeJobAction->setEnabled(m_job.active() && !locked);
    m_jobLabel->setVisible(m_job.active());
    if (!m_job.active())
        return;
    QString text = tr("Released job %1, signed by %2 (%3)")
                       .arg(QFileInfo(m_job.job().path).fileName(), m_job.job().signature.principal,
                            m_job.job().signature.fingerprint);
    if (locked)
        text += tr(". Locked: an engineer may unlock it (Station > Unlock..., Ctrl+U).");
    else
        text += tr(". Unlocked by %1 until %2: every change goes to the audit trail.")
                    .arg(m_lock.engineer(), m_lock.until().toString(QStringLiteral("HH:mm")));
    if (!m_job.isReleased(bench()))
        text +=
            tr(" Changed since it was released: its units are no longer recorded as of the job.");
    m_jobLabel->setText(text);
}

void StationWindow::auditChanges()
{
    const BenchConfig now = bench();
    for (const BenchConfig::FieldInfo& f : BenchConfig::fields()) {
        if (now.text(f.field) != m_audited.text(f.field))
            auditNote(QStringLiteral("setting-changed"), {{"field", QLatin1String(f.key)},
                                                          {"old", m_audited.text(f.field)},
                                                          {"new", now.text(f.field)}});
    }
    m_audited = now;
    showMode();
}

void StationWindow::auditNote(const QString& event, QJsonObject details)
{
    QString why;
    bool written = true;
    if (m_station.running()) {
        written = m_station.audit(event, details, &why);
    } else {
        details.insert("station", bench().name);
        details.insert("account", m_station.operatorName());
        written = AuditTrail::note(bench().auditPath(), event, details, &why);
    }
    if (!written)
        notify(sentence(why));
}
