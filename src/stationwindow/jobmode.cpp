// The station window's operator mode: a released job, locked, and an
// engineer's unlock for a while, every change audited.

#include "../bus/polkitauthority.h"
#include "../records/audittrail.h"
#include "../ui/commondialog.h"
#include "../ui/messageboxes.h"
#include "slottile.h"
#include "stationwindow.h"

#include <QAction>
#include <QDBusConnection>
#include <unistd.h>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
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
    if (!b.file.isEmpty() && !attached())
        openFirmware(b.file);
    m_setup.bench.file = b.file;
    m_restoring = false;
    reflow();
    showFirmware();
    showBench();
}

bool StationWindow::openJob(const QString& path)
{
    if (attached()) {
        // The service checks it, and runs it once its units under way are done.
        m_control->command(QStringLiteral("load-job"), {{"job", QFileInfo(path).absoluteFilePath()}},
                           [this](const QJsonObject& reply) { answered(reply); });
        return true;
    }
    if (m_station.running()) {
        tell(words(QT_TR_NOOP("Stop the station (Shift+F5) before opening a job.")));
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
    applyLanguage(); // the job's, if it names one
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
    applyLanguage();
    showMode();
    return true;
}

void StationWindow::chooseJob()
{
    m_files->DialogTitle = tr("Open Job");
    m_files->Filter = tr("Released jobs (*.conf)|*.conf|All Files (*.*)|*.*");
    m_files->DefaultExt.clear();
    m_files->FileName.clear();
    if (m_files->ShowOpen() == 0)
        openJob(m_files->FileName);
}

void StationWindow::unlock()
{
    if (!m_job.active() || !m_lock.isLocked())
        return;
    // polkit answers root yes to anything: an unlock would prove nothing.
    if (::geteuid() == 0) {
        auditNote(QStringLiteral("unlock-refused"),
                  {{"why", QStringLiteral("the window runs as root")}});
        MessageBoxes::show(tr("The station window runs as root, for whom any unlock "
                                          "would be granted: run it as the operator's account."));
        return;
    }
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        auditNote(QStringLiteral("unlock-refused"),
                  {{"why", QStringLiteral("no system bus: polkit cannot be asked")}});
        MessageBoxes::show(tr("There is no system bus here, so polkit, which decides "
                                          "who may change a released job's bench, cannot be "
                                          "asked. Close the job to change the bench."));
        return;
    }
    notify(tr("Asking polkit ..."), false);
    const QString action = BenchCommands::actionId(BenchAction::Configure);
    // No password passes through here: the desktop's agent asks for it.
    PolkitAuthority::check(bus, bus.baseService(), action, true, this,
                           [this, action](const PolkitAuthority::Answer& answer) {
                               m_notice->clear();
                               const QString account = Station::accountName();
                               if (!answer.authorized) {
                                   auditNote(QStringLiteral("unlock-refused"),
                                             {{"engineer", account},
                                              {"action", action},
                                              {"why", answer.why}});
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
    // Attached, what polkit allows this account; the window's own station,
    // what a released job's lock allows.
    const auto allowed = [this](BenchAction action) {
        return m_control->permission(action) != BenchControl::Permission::No;
    };
    const bool locked = m_job.active() && m_lock.isLocked();
    const bool changing = attached() ? allowed(BenchAction::Configure) : !locked;
    for (QAction* a : qAsConst(m_changing)) {
        a->setVisible(changing);
        a->setEnabled(changing);
    }
    for (QAction* a : qAsConst(m_operating)) {
        a->setVisible(allowed(BenchAction::Operate));
        a->setEnabled(allowed(BenchAction::Operate));
    }
    m_transcriptAction->setVisible(!attached());
    m_transcriptAction->setEnabled(!attached());
    m_unlockAction->setVisible(locked && !attached());
    m_unlockAction->setEnabled(locked && !attached());
    m_lockAction->setVisible(m_job.active() && !locked);
    m_lockAction->setEnabled(m_job.active() && !locked);
    m_closeJobAction->setVisible(m_job.active() && !locked);
    m_closeJobAction->setEnabled(m_job.active() && !locked);
    if (attached())
        return; // the job line is the service's
    m_jobLabel->setVisible(m_job.active());
    if (!m_job.active())
        return;
    const QString name = QFileInfo(m_job.job().path).fileName();
    const SshSignature::Verdict& signer = m_job.job().signature;
    QString text =
        locked ? tr("Released job %1, signed by %2 (%3). Locked: an engineer may unlock it "
                    "(Station > Unlock..., Ctrl+U).")
                     .arg(name, signer.principal, signer.fingerprint)
               : tr("Released job %1, signed by %2 (%3). Unlocked by %4 until %5: every change "
                    "goes to the audit trail.")
                     .arg(name, signer.principal, signer.fingerprint, m_lock.engineer(),
                          QLocale().toString(m_lock.until().time(), QLocale::ShortFormat));
    if (!m_job.isReleased(bench()))
        text += QLatin1Char(' ') +
                tr("Changed since it was released: its units are no longer recorded as of the job.");
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
