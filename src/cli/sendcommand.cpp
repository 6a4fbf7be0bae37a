#include "sendcommand.h"

#include "../platform/terminationsignals.h"
#include "../station/stationpolicy.h"
#include "../upload/transcript.h"
#include "firmwarelines.h"
#include "version.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& text, Journal::Level level = Journal::Level::Info)
{
    ProgressLines::say(text, level);
}

} // namespace

SendCommand::SendCommand()
    : Command(QStringLiteral("send")),
      m_options({BenchOptions::line(),
                 BenchOptions::timing(),
                 BenchOptions::fileCheck(),
                 {BenchField::Force, BenchField::Quiet, BenchField::NextAfter},
                 BenchOptions::serials()}),
      m_report(QStringLiteral("report"),
               QStringLiteral("Write a JSON report to FILE (\"-\": standard output)."),
               QStringLiteral("FILE")),
      m_log(QStringLiteral("log"), QStringLiteral("Write the transcript, with times, to FILE."),
            QStringLiteral("FILE")),
      m_verbose({QStringLiteral("v"), QStringLiteral("verbose")},
                QStringLiteral("Show the transcript as it happens.")),
      m_repeatOption(QStringLiteral("repeat"),
                     QStringLiteral("Unit after unit on each port until interrupted: a unit "
                                    "counts as new once its port has been quiet for "
                                    "--next-after seconds."))
{
    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] { drawProgress(false); });
}

SendCommand::~SendCommand() = default;

void SendCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Sends a firmware file to the handheld unit on each PORT, all at once, one "
                       "line per \"*\" from the unit, again after a \"+\". \"send\" may be left "
                       "out: firmware-upload FILE -p PORT."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The firmware file."));
    m_options.addTo(parser);
    parser.addOptions({m_report, m_log, m_verbose, m_repeatOption});
}

std::optional<Command::Usage> SendCommand::read(const QCommandLineParser& parser)
{
    if (auto refused = oneFile(parser, &m_bench))
        return refused;
    if (auto refused = m_options.read(parser, &m_bench))
        return refused;
    m_reportPath = parser.value(m_report);
    m_logPath = parser.value(m_log);
    m_verboseOn = parser.isSet(m_verbose) && !m_bench.quiet;
    m_repeat = parser.isSet(m_repeatOption);
    if (const auto problem = m_bench.problem(BenchConfig::Use::Send))
        return usage(*problem);
    return std::nullopt;
}

// Every file the command was asked to write is opened before anything is
// sent, so that a bad path costs no unit.
std::optional<ExitCode> SendCommand::openOutputs()
{
    auto refuse = [](const QString& what, const QString& path, const QString& why) {
        ProgressLines::complain(QStringLiteral("the %1 %2 cannot be written: %3; nothing was sent")
                                    .arg(what, path, why));
        return ExitCode::Usage;
    };
    if (!m_logPath.isEmpty()) {
        m_logFile.setFileName(m_logPath);
        if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return refuse(QStringLiteral("log"), m_logPath, m_logFile.errorString());
    }
    if (!m_reportPath.isEmpty() && m_reportPath != QLatin1String("-")) {
        // Written in full at the end, or not at all.
        m_reportFile = std::make_unique<QSaveFile>(m_reportPath);
        if (!m_reportFile->open(QIODevice::WriteOnly))
            return refuse(QStringLiteral("report"), m_reportPath, m_reportFile->errorString());
    }
    return std::nullopt;
}

std::optional<ExitCode> SendCommand::start()
{
    // A computer that runs released jobs only sends nothing else, by any verb.
    const StationPolicy policy = StationPolicy::load();
    if (!policy.problem.isEmpty()) {
        ProgressLines::complain(policy.problem + QStringLiteral("; nothing was sent"));
        return ExitCode::Usage;
    }
    if (policy.releasedJobsOnly) {
        ProgressLines::complain(
            QStringLiteral("this computer runs released jobs only (%1): send is refused; run a job "
                           "an engineer signed with firmware-upload station --job FILE")
                .arg(policy.path));
        return ExitCode::File;
    }
    const std::optional<FirmwareFile> file = FirmwareLines::read(m_bench, m_verboseOn);
    if (!file)
        return ExitCode::File;
    if (const auto code = FirmwareLines::refuse(m_bench, *file))
        return code;
    m_firmware = *file;
    if (const auto code = openOutputs())
        return code;
    if (const auto code = fillSavedProperties(&m_bench))
        return code;
    UploadJob::Options options;
    options.image = m_firmware;
    options.bench = m_bench;
    options.repeat = m_repeat;
    const UnitNumbering::Options numbering = m_bench.numbering();
    if (numbering.enabled()) {
        // Each unit of a gang gets a number of its own.
        QString why;
        m_numbering = std::make_unique<UnitNumbering>();
        const UnitNumbering::Refusal refusal = m_numbering->open(numbering, m_firmware, &why);
        if (refusal != UnitNumbering::Refusal::None) {
            ProgressLines::complain(why + QStringLiteral("; nothing was sent"));
            return refusal == UnitNumbering::Refusal::State ? ExitCode::Usage : ExitCode::File;
        }
        options.nextUnit = [this](FirmwareImage* image, UnitValues* own, QString* why) {
            if (m_numbering->take(own, why) != UnitNumbering::Take::Taken)
                return false;
            *image = m_numbering->imageFor(*own);
            return true;
        };
    }
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::received, this, &SendCommand::onSignal);
    for (const QString& port : m_bench.ports) {
        auto* job = new UploadJob(port, options, this);
        m_jobs.push_back(job);
        connect(job, &UploadJob::finished, this, &SendCommand::onJobFinished);
        connect(job, &UploadJob::unitFinished, this,
                [this, job](const UploadJob::Outcome& o) { onUnitFinished(job, o); });
        connect(job, &UploadJob::traffic, this,
                [this, job](const QString& text) { onTraffic(job, text); });
    }
    for (UploadJob* job : m_jobs)
        job->start();
    if (!m_bench.quiet && ::isatty(STDERR_FILENO)) {
        drawProgress(false);
        m_progressTimer.start();
    }
    return std::nullopt;
}

void SendCommand::onSignal(int signalNumber)
{
    // The first signal decides the exit code; the uploads stop once.
    if (m_signal)
        return;
    m_signal = signalNumber;
    for (UploadJob* job : m_jobs)
        job->interrupt();
}

void SendCommand::outputFailed(const QString& what, const QString& path, const QString& why)
{
    ProgressLines::complain(
        QStringLiteral("the %1 %2 could not be written: %3").arg(what, path, why));
    m_exitCode = ExitCodes::worse(m_exitCode, ExitCode::Usage);
}

void SendCommand::onTraffic(UploadJob* job, const QString& text)
{
    if (!m_logFile.isOpen() && !m_verboseOn)
        return;
    QString& partial = m_logLines[job];
    partial += text;
    int end;
    while ((end = int(partial.indexOf(QLatin1Char('\n')))) >= 0) {
        QString line = partial.left(end);
        partial.remove(0, end + 1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString stamped = QStringLiteral("%1 %2 %3")
                                    .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                                         job->port(), Transcript::shown(line));
        if (m_logFile.isOpen()) {
            const QByteArray bytes = stamped.toUtf8() + '\n';
            if (m_logFile.write(bytes) != bytes.size() || !m_logFile.flush()) {
                outputFailed(QStringLiteral("log"), m_logFile.fileName(), m_logFile.errorString());
                m_logFile.close();
            }
        }
        if (m_verboseOn)
            say(stamped);
    }
}

void SendCommand::onUnitFinished(UploadJob* job, const UploadJob::Outcome& o)
{
    const int total = m_firmware.facts.lines;
    QString line;
    Journal::Level level = Journal::Level::Info;
    if (!o.opened) {
        line = QStringLiteral("%1: %2").arg(job->port(), o.error);
        m_exitCode = ExitCodes::worse(m_exitCode, ExitCode::Port);
        level = Journal::Level::Error;
    } else if (o.result == UnitResult::Pass) {
        line = QStringLiteral("%1: done, %2 lines in %3 s (%4 lines/s)")
                   .arg(job->port())
                   .arg(o.linesSent)
                   .arg(o.seconds, 0, 'f', 1)
                   .arg(o.seconds > 0 ? o.linesSent / o.seconds : 0.0, 0, 'f', 1);
        if (o.resends > 0)
            line += QStringLiteral(", %1 sent again").arg(o.resends);
        if (o.own.hasSerial)
            line += QStringLiteral(", serial %1").arg(o.own.serial);
    } else if (o.result == UnitResult::Fail) {
        line = o.linesSent > 0 ? QStringLiteral("%1: failed at line %2 of %3: %4")
                                     .arg(job->port())
                                     .arg(o.linesSent)
                                     .arg(total)
                                     .arg(o.error)
                               : QStringLiteral("%1: failed: %2").arg(job->port(), o.error);
        m_exitCode = ExitCodes::worse(m_exitCode, ExitCode::UnitFailed);
        level = Journal::Level::Error;
    } else {
        line = QStringLiteral("%1: interrupted at line %2 of %3")
                   .arg(job->port())
                   .arg(o.linesSent)
                   .arg(total);
    }
    drawProgress(true);
    say(line, level);
}

QString SendCommand::progressOf(const UploadJob* job) const
{
    const UploadProgress& p = job->progress();
    switch (job->state()) {
    case UploadJob::State::AwaitingPrompt:
        return QStringLiteral("waiting for the unit's prompt");
    case UploadJob::State::AwaitingRemoval:
        return job->unitStillPrompting() ? QStringLiteral("remove the unit")
                                         : QStringLiteral("waiting for the unit to leave");
    case UploadJob::State::Uploading:
    case UploadJob::State::AwaitingAnswer: {
        const double t = job->elapsed();
        // No rate until half a second has given one worth showing.
        const double rate = t > 0.5 ? p.linesSent / t : 0.0;
        QString text = QStringLiteral("line %1 of %2  %3%")
                           .arg(p.linesSent)
                           .arg(p.totalLines)
                           .arg(p.totalLines ? 100 * p.linesSent / p.totalLines : 0);
        if (rate > 0)
            text += QStringLiteral("  %1 lines/s").arg(rate, 0, 'f', 0);
        if (p.resends > 0)
            text += QStringLiteral("  %1 sent again").arg(p.resends);
        if (rate > 0)
            text += QStringLiteral("  %1 left")
                        .arg(ProgressLines::minutes((p.totalLines - p.linesSent) / rate));
        return text;
    }
    default:
        return QStringLiteral("-");
    }
}

void SendCommand::drawProgress(bool final)
{
    if (!m_progressTimer.isActive() && !final)
        return;
    QStringList lines;
    if (!final) {
        for (const UploadJob* job : m_jobs)
            lines << QStringLiteral("%1  %2").arg(job->port(), progressOf(job));
    }
    m_progress.draw(lines);
}

void SendCommand::onJobFinished()
{
    for (const UploadJob* job : m_jobs) {
        if (job->state() != UploadJob::State::Finished)
            return;
    }
    m_progressTimer.stop();
    drawProgress(true);
    if (m_signal)
        m_exitCode = ExitCodes::ofSignal(m_signal);
    writeReport();
    emit done(m_exitCode);
}

void SendCommand::writeReport()
{
    if (m_reportPath.isEmpty())
        return;
    QJsonArray results;
    for (const UploadJob* job : m_jobs) {
        for (const UploadJob::Outcome& o : job->outcomes()) {
            QJsonObject r{{"port", job->port()},
                          {"device", job->device()},
                          {"result", UploadJob::reportWord(o)},
                          {"linesSent", o.linesSent},
                          {"resends", o.resends},
                          {"durationSeconds", o.seconds},
                          {"linesPerSecond", o.seconds > 0 ? o.linesSent / o.seconds : 0.0}};
            if (!o.error.isEmpty())
                r.insert("error", o.error);
            if (o.own.hasSerial)
                r.insert("serial", qint64(o.own.serial));
            if (o.own.unitDataLine > 0)
                r.insert("unitDataLine", o.own.unitDataLine);
            results.append(r);
        }
    }
    const QJsonObject report{
        {"program", "firmware-upload"},
        {"version", LOADER_VERSION},
        {"file",
         QJsonObject{{"path", QFileInfo(m_bench.file).absoluteFilePath()},
                     {"sha256", m_firmware.sha256},
                     {"lines", m_firmware.facts.lines},
                     {"srecords", m_firmware.check.format == FirmwareCheck::Format::SRecords},
                     {"format", m_firmware.check.formatName()},
                     {"passedCheck", m_firmware.check.passed()}}},
        {"settings", QJsonObject{{"settings", m_bench.lineSettings()},
                                 {"handshaking", m_bench.handshaking.value_or(0)},
                                 {"timeoutSeconds", m_bench.timeoutSeconds},
                                 {"maxResends", m_bench.maxResends}}},
        {"results", results},
        {"exitCode", ExitCodes::value(m_exitCode)},
    };
    const QByteArray json = QJsonDocument(report).toJson();
    if (m_reportPath == QLatin1String("-")) {
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fflush(stdout);
        return;
    }
    if (!m_reportFile)
        return;
    if (m_reportFile->write(json) != json.size() || !m_reportFile->commit())
        outputFailed(QStringLiteral("report"), m_reportPath, m_reportFile->errorString());
    m_reportFile.reset();
}
