#include "stationcommand.h"

#include "../platform/terminationsignals.h"
#include "../service/stationmetrics.h"
#include "../service/systemdnotifier.h"
#include "../bus/benchservice.h"
#include "../station/releasedjob.h"
#include "../station/station.h"
#include "firmwarelines.h"
#include "progresslines.h"
#include "stationrun.h"

#include <QThread>
#include <csignal>
#include <unistd.h>

StationCommand::StationCommand()
    : Command(QStringLiteral("station")), m_options({BenchOptions::line(),
                                                     BenchOptions::station(),
                                                     BenchOptions::timing(),
                                                     BenchOptions::fileCheck(),
                                                     {BenchField::Force, BenchField::Quiet},
                                                     BenchOptions::serials(),
                                                     BenchOptions::factory()}),
      m_config(QStringLiteral("config"),
               QStringLiteral("The bench from the [Station] group of an INI FILE, whose keys are "
                              "these options' long names (\"ports\" a comma-separated list, "
                              "\"name\" the station's name, \"file\" the firmware file); an "
                              "option given here wins."),
               QStringLiteral("FILE")),
      m_job(QStringLiteral("job"),
            QStringLiteral("Run the released job FILE: a bench config signed by an engineer "
                           "(ssh-keygen -Y sign -n firmware-job FILE), its signature checked "
                           "against --allowed-signers before anything is opened; what it fixes "
                           "may not be given beside it."),
            QStringLiteral("FILE")),
      m_allowedSigners(QStringLiteral("allowed-signers"),
                       QStringLiteral("Whose signatures count for --job, in ssh-keygen's "
                                      "allowed_signers format (default: "
                                      "/etc/firmware-station/allowed_signers); refused where "
                                      "this computer's policy names its own."),
                       QStringLiteral("FILE"))
{
}

StationCommand::~StationCommand()
{
    // The run and the metrics read the station; they go first.
    m_line.reset();
    m_run.reset();
    m_metrics.reset();
    // A job's check still running when the station ended: ssh-keygen is quick.
    if (m_check) {
        m_check->wait();
        delete m_check;
    }
}

void StationCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("A production station: each PORT a slot that waits for its adaptor and its "
                       "units, flashing unit after unit with FILE and recording every unit, until "
                       "Ctrl+C or SIGTERM."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The firmware file (or the config's \"file\")."),
                                 QStringLiteral("[FILE]"));
    parser.addOptions({m_config, m_job, m_allowedSigners});
    m_options.addTo(parser);
}

QString StationCommand::whereFrom(BenchField field) const
{
    if (!m_configLines.contains(field))
        return QString();
    return QStringLiteral("%1:%2: %3: ")
        .arg(m_configPath)
        .arg(m_configLines.value(field))
        .arg(QLatin1String(BenchConfig::info(field).key));
}

std::optional<Command::Usage> StationCommand::read(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return Usage{QString(), QStringLiteral("give one firmware file only")};
    QList<BenchField> given = m_options.given(parser);
    if (!files.isEmpty())
        given << BenchField::File;
    m_givenFields = given;
    m_given = m_options.values(parser);
    m_policy = StationPolicy::load();
    if (!m_policy.problem.isEmpty())
        return Usage{QString(), m_policy.problem};
    if (parser.isSet(m_job) && parser.isSet(m_config))
        return Usage{QStringLiteral("--job"), QStringLiteral("--job and --config are two benches: "
                                                             "give one")};
    if (m_policy.releasedJobsOnly && !parser.isSet(m_job)) {
        // Refused in start(), as a job would be: nothing of the bench is read.
        m_unreleased =
            QStringLiteral("this computer runs released jobs only (%1): give --job FILE, "
                           "a job an engineer signed")
                .arg(m_policy.path);
        return std::nullopt;
    }
    // A line controller or an operator on the system bus may load a job
    // into a station started without one: --allowed-signers goes with any.
    m_signers = parser.value(m_allowedSigners);
    if (const QString refused = m_policy.refuseSigners(m_signers); !refused.isEmpty())
        return Usage{QStringLiteral("--allowed-signers"), refused};
    if (parser.isSet(m_job)) {
        // Read and checked once, here: every field the job fixes comes from
        // the bytes its signature was checked over. A refused job is said,
        // and audited, when the station starts.
        m_jobPath = parser.value(m_job);
        m_loaded = ReleasedJob::load(m_jobPath, m_policy.signers(m_signers));
        if (!m_loaded.good()) {
            m_bench = m_loaded.bench;
            defaultRecord(&m_bench);
            return std::nullopt;
        }
        m_session = JobSession(m_loaded);
        if (const auto refused = m_session.firstRefused(given))
            return Usage{BenchConfig::optionName(*refused), m_session.refuseBeside(*refused)};
        m_bench = m_loaded.bench;
        if (auto refused = BenchOptions::apply(m_given, &m_bench))
            return refused;
        defaultRecord(&m_bench);
        return std::nullopt;
    }
    if (parser.isSet(m_config)) {
        // The file first, leaving out what the command line gives: that wins.
        m_configPath = parser.value(m_config);
        QString why;
        if (!m_bench.readFile(m_configPath, &why, given, &m_configLines))
            return Usage{QStringLiteral("--config"), why};
    }
    if (!files.isEmpty())
        m_bench.file = files.first();
    if (auto refused = m_options.read(parser, &m_bench))
        return refused;
    defaultRecord(&m_bench);
    if (const auto problem = m_bench.problem(BenchConfig::Use::Station)) {
        Usage u = usage(*problem);
        u.why.prepend(whereFrom(problem->field));
        return u;
    }
    return std::nullopt;
}

void StationCommand::defaultRecord(BenchConfig* bench) const
{
    // Run as a service with a state folder of its own (systemd's
    // StateDirectory=), a station keeps its record there unless told else.
    const QString stateFolder =
        qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (bench->record.isEmpty() && !stateFolder.isEmpty())
        bench->record = stateFolder + QLatin1Char('/') + bench->name + QStringLiteral(".jsonl");
}

std::optional<ExitCode> StationCommand::loadJob()
{
    if (!m_loaded.good()) {
        // Where the job's own trail would be, as far as it could be read.
        QString why;
        if (!m_bench.auditPath().isEmpty() &&
            !AuditTrail::note(m_bench.auditPath(), QStringLiteral("job-refused"),
                              m_loaded.auditDetails(), &why))
            ProgressLines::complain(why);
        ProgressLines::complain(m_loaded.refusal + QStringLiteral("; nothing was sent"));
        return ExitCode::File;
    }
    m_station->setJob(m_session.identityFor(m_bench));
    m_jobDetails = m_loaded.auditDetails();
    ProgressLines::say(
        QStringLiteral("job %1: signed by %2 (%3)")
            .arg(m_loaded.path, m_loaded.signature.principal, m_loaded.signature.fingerprint));
    return std::nullopt;
}

std::optional<ExitCode> StationCommand::refuse(const BenchRefusal& refused)
{
    if (!m_jobPath.isEmpty()) {
        QString why;
        QJsonObject details{{"job", m_station->job().toJson()}, {"why", refused.why}};
        if (!m_bench.auditPath().isEmpty() &&
            !AuditTrail::note(m_bench.auditPath(), QStringLiteral("job-refused"), details, &why))
            ProgressLines::complain(why);
    }
    switch (refused.kind) {
    case BenchRefusal::Kind::Usage:
        ProgressLines::complain(whereFrom(refused.field) + refused.why);
        return ExitCode::Usage;
    case BenchRefusal::Kind::Output:
        ProgressLines::complain(refused.why + QStringLiteral("; nothing was sent"));
        return ExitCode::Usage;
    case BenchRefusal::Kind::File:
        ProgressLines::complain(refused.why + (refused.field == BenchField::Serial ||
                                                       refused.field == BenchField::UnitData
                                                   ? QStringLiteral("; nothing was sent")
                                                   : QString()));
        return ExitCode::File;
    }
    return ExitCode::Usage;
}

std::optional<ExitCode> StationCommand::start()
{
    if (!m_unreleased.isEmpty()) {
        ProgressLines::complain(m_unreleased + QStringLiteral("; nothing was sent"));
        return ExitCode::File;
    }
    m_station = std::make_unique<Station>();
    if (!m_jobPath.isEmpty()) {
        if (const auto code = loadJob())
            return code;
    }
    const std::optional<FirmwareFile> file = FirmwareLines::read(m_bench, false);
    if (!file)
        return ExitCode::File;
    if (const auto code = fillSavedProperties(&m_bench))
        return code;
    if (const auto refused = m_station->configure(m_bench, *file))
        return refuse(*refused);
    if (!m_jobPath.isEmpty()) {
        QString why;
        if (!m_station->audit(QStringLiteral("job-verified"), m_jobDetails, &why)) {
            ProgressLines::complain(why + QStringLiteral("; nothing was sent"));
            return ExitCode::Usage;
        }
    }
    if (!m_bench.metrics.isEmpty()) {
        // Written once now, like every output, so a bad path costs no unit.
        m_metrics = std::make_unique<StationMetrics>(*m_station, m_bench.metrics);
        QString why;
        if (!m_metrics->write(&why)) {
            ProgressLines::complain(QStringLiteral("the metrics %1; nothing was sent").arg(why));
            return ExitCode::Usage;
        }
        connect(m_metrics.get(), &StationMetrics::failed, this, [](const QString& failure) {
            ProgressLines::say(failure, Journal::Level::Warning);
        });
    }
    m_run = std::make_unique<StationRun>(*m_station, m_bench.quiet);
    m_systemd = new SystemdNotifier(this);
    // A hung thread of the slots is a hung station: systemd restarts it.
    m_systemd->setAlive([this] { return m_station->workersAnswering(); });
    connect(m_run.get(), &StationRun::held, this, &StationCommand::runWaitingJob);
    connect(m_run.get(), &StationRun::done, this, [this](ExitCode code) {
        // The last replies and the offline state go before the program ends.
        answerPendingJob(QStringLiteral("the station ended before the job could run"));
        if (m_line)
            m_line->stop();
        if (m_bus)
            m_bus->stop(); // after the last replies, on the same connection
        if (m_metrics) {
            QString ignored;
            (void)m_metrics->write(&ignored); // the stopped slots, last
        }
        emit done(code);
    });
    connect(m_station.get(), &Station::unitRecorded, m_systemd, [this] {
        m_systemd->status(QStringLiteral("%1 passed, %2 failed")
                              .arg(m_station->passed())
                              .arg(m_station->failed()));
    });
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::received, m_run.get(), [this](int signal) {
        // A service's SIGHUP (systemctl reload, logrotate) rotates the record;
        // on a terminal it is a hang-up, and ends the station.
        if (signal == SIGHUP && !::isatty(STDERR_FILENO)) {
            QString why;
            if (!m_station->reopenRecord(&why))
                ProgressLines::complain(why);
            return;
        }
        m_ending = true;
        m_systemd->stopping();
        m_run->interrupt(signal);
    });
    // Before the first unit: a bus that does not answer holds up its start,
    // not a record.
    startBus();
    m_run->start();
    startLineControl();
    m_systemd->ready();
    return std::nullopt;
}
