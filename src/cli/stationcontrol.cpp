// The station verb's side of a line controller on the factory's broker.

#include "../bus/benchbus.h"
#include "../bus/benchservice.h"
#include "../station/station.h"
#include "firmwarelines.h"
#include "progresslines.h"
#include "stationcommand.h"
#include "stationrun.h"

#include <QThread>
#include <memory>
#include <utility>

void StationCommand::startLineControl()
{
    if (m_bench.mqtt.isEmpty())
        return;
    QString why;
    const std::optional<BrokerUrl> url = BrokerUrl::parse(m_bench.mqtt, &why);
    if (!url)
        return; // refused with the bench already
    m_line = std::make_unique<LineControl>(*m_station, *this);
    connect(m_line.get(), &LineControl::stateChanged, this,
            [](BrokerLink::Health health, const QString& text) {
                ProgressLines::say(text, health == BrokerLink::Health::Failing
                                             ? Journal::Level::Warning
                                             : Journal::Level::Info);
            });
    m_line->start(*url, m_bench.name, m_station->recordPath());
}

void StationCommand::startBus()
{
    if (!m_bus)
        m_bus = new BenchService(*m_station, *this, this);
    m_bus->stop();
    QString why;
    if (m_bus->start(m_bench.name, &why))
        ProgressLines::say(QStringLiteral("station %1: on the system bus as %2")
                               .arg(m_bench.name, BenchBus::serviceName(m_bench.name)));
    else
        ProgressLines::say(QStringLiteral("station %1: not on the system bus: %2")
                               .arg(m_bench.name, why));
}

bool StationCommand::startStation(QString* why)
{
    // Running, it is started; stopped, it is between two jobs or ending.
    *why = !m_waiting             ? QStringLiteral("the station is ending")
           : m_waiting->job ? QStringLiteral("the station is changing to the job %1")
                                  .arg(m_waiting->job->path)
                            : QStringLiteral("the station is changing to another bench");
    return false;
}

void StationCommand::answerPendingJob(const QString& why)
{
    if (const auto answer = std::exchange(m_checkAnswer, nullptr))
        answer(why);
    if (m_waiting) {
        m_waiting->done(why);
        m_waiting.reset();
    }
}

void StationCommand::stopStation()
{
    // Ends the program once the units under way are recorded.
    m_ending = true;
    m_run->holdAtStop(false);
    answerPendingJob(QStringLiteral("the station was stopped before the job could run"));
    m_station->stopAfterUploads();
}

void StationCommand::loadJob(const QString& path, std::function<void(const QString&)> done)
{
    if (m_check || m_waiting)
        return done(QStringLiteral("another job is being loaded"));
    if (!m_station->running() || m_ending)
        return done(QStringLiteral("the station is ending"));
    const StationPolicy::Signers signers = m_policy.signers(m_signers);
    // ssh-keygen's check is no work for the station's own thread.
    auto job = std::make_shared<ReleasedJob>();
    QThread* check =
        QThread::create([job, path, signers] { *job = ReleasedJob::load(path, signers); });
    m_checkAnswer = done;
    m_check = check;
    connect(check, &QThread::finished, this, [this, check, job] {
        check->deleteLater();
        m_check = nullptr;
        // Answered already when the station ended during the check.
        if (const auto answer = std::exchange(m_checkAnswer, nullptr))
            jobChecked(*job, answer);
    });
    check->start();
}

void StationCommand::jobChecked(const ReleasedJob& job,
                                const std::function<void(const QString&)>& done)
{
    QString why;
    if (!job.good()) {
        if (!m_station->audit(QStringLiteral("job-refused"), job.auditDetails(), &why))
            ProgressLines::complain(why);
        return done(job.refusal);
    }
    if (!m_station->running() || m_ending)
        return done(QStringLiteral("the station is ending"));
    // The job's bench, in place of what the station was started with; what
    // the job leaves open stays as the station has it.
    runNext(job, JobSession(job).benchWith(m_bench), done);
}

void StationCommand::loadBench(const BenchConfig& given, std::function<void(const QString&)> done)
{
    if (m_check || m_waiting)
        return done(QStringLiteral("another job or bench is being loaded"));
    if (!m_station->running() || m_ending)
        return done(QStringLiteral("the station is ending"));
    if (m_policy.releasedJobsOnly)
        return done(QStringLiteral("this computer runs released jobs only (%1): a bench that is "
                                   "no released job is refused")
                        .arg(m_policy.path));
    // The service's name is the bench's on the bus and the broker.
    if (given.name != m_bench.name && !given.isDefault(BenchField::Name))
        return done(QStringLiteral("the station's name is %1's own: a bench of another name "
                                   "(%2) is another station")
                        .arg(m_bench.name, given.name));
    BenchConfig bench = given;
    bench.name = m_bench.name;
    if (bench.record.isEmpty())
        bench.record = m_bench.record;
    runNext(std::nullopt, bench, done);
}

void StationCommand::runNext(const std::optional<ReleasedJob>& job, BenchConfig bench,
                             const std::function<void(const QString&)>& done)
{
    defaultRecord(&bench);
    if (const auto problem = bench.problem(BenchConfig::Use::Station))
        return done(problem->why);
    m_waiting = WaitingJob{job, bench, done};
    ProgressLines::say(job ? QStringLiteral("job %1 (signed by %2) runs once the units under way "
                                            "are done")
                                 .arg(job->path, job->signature.principal)
                           : QStringLiteral("the bench with %1 runs once the units under way are "
                                            "done")
                                 .arg(bench.file));
    m_run->holdAtStop(true);
    m_station->stopAfterUploads();
}

void StationCommand::runWaitingJob()
{
    m_run->holdAtStop(false);
    if (!m_waiting)
        return;
    const WaitingJob waiting = *m_waiting;
    m_waiting.reset();
    BenchConfig bench = waiting.bench;
    QString refusal;
    const std::optional<FirmwareFile> file = FirmwareLines::read(bench, false);
    if (!file) {
        refusal = QStringLiteral("the firmware %1 cannot be read").arg(bench.file);
    } else if (fillSavedProperties(&bench)) {
        refusal = QStringLiteral("the saved line settings are refused");
    } else {
        const JobIdentity before = m_station->job();
        m_station->setJob(waiting.job ? JobSession(*waiting.job).identityFor(bench)
                                      : JobIdentity());
        if (const auto refused = m_station->configure(bench, *file)) {
            refusal = refused->why;
            m_station->setJob(before);
        }
    }
    if (!refusal.isEmpty()) {
        // The bench it had, again: a job that cannot start leaves the station as it was.
        ProgressLines::say(QStringLiteral("%1 refused: %2")
                               .arg(waiting.job ? QStringLiteral("job ") + waiting.job->path
                                                : QStringLiteral("the bench"),
                                    refusal),
                           Journal::Level::Warning);
        const std::optional<FirmwareFile> again = FirmwareLines::read(m_bench, false);
        if (!again || m_station->configure(m_bench, *again)) {
            waiting.done(refusal);
            ProgressLines::complain(
                QStringLiteral("the station's own bench cannot be opened again"));
            if (m_line)
                m_line->stop();
            emit done(ExitCode::Usage);
            return;
        }
        m_run->start();
        waiting.done(refusal);
        return;
    }
    const bool moved =
        bench.name != m_bench.name || bench.record != m_bench.record || bench.mqtt != m_bench.mqtt;
    m_bench = bench;
    QString why;
    if (waiting.job) {
        m_jobPath = waiting.job->path;
        m_loaded = *waiting.job;
        m_session = JobSession(*waiting.job);
        m_jobDetails = waiting.job->auditDetails();
        if (!m_station->audit(QStringLiteral("job-verified"), m_jobDetails, &why))
            ProgressLines::complain(why);
    } else {
        m_jobPath.clear();
        m_loaded = ReleasedJob();
        m_session = JobSession();
        m_jobDetails = QJsonObject();
        if (!m_station->audit(QStringLiteral("bench-loaded"),
                              {{"file", bench.file}, {"sha256", m_station->firmwareFile().sha256}},
                              &why))
            ProgressLines::complain(why);
    }
    m_run->start();
    waiting.done(QString());
    // Another name, record or broker: the reply goes on the old topics, then the link moves.
    if (moved && m_line) {
        m_line->stop();
        m_line.reset();
        startLineControl();
    }
    if (moved && m_bus && m_bus->name() != m_bench.name)
        startBus();
}
