#include "uploadcommand.h"

#include "../platform/terminationsignals.h"
#include "../records/recorddatabase.h"
#include "../records/recordforwarder.h"
#include "../records/recordsummary.h"
#include "../serial/applicationtitle.h"
#include "../serial/portresolver.h"
#include "../serial/portsettingsstore.h"
#include "../service/stationconfig.h"
#include "../service/stationmetrics.h"
#include "../service/systemdnotifier.h"
#include "../station/station.h"
#include "../upload/firmwarefile.h"
#include "../upload/transcript.h"
#include "portcommands.h"
#include "progresslines.h"
#include "stationrun.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& text, Journal::Level level = Journal::Level::Info)
{
    ProgressLines::say(text, level);
}

// What keeps the command itself from doing its work: an error, named by the
// program.
void complain(const QString& text)
{
    ProgressLines::say(QStringLiteral("firmware-upload: ") + text, Journal::Level::Error);
}

} // namespace

struct UploadCommand::Settings {
    QString file;
    QStringList ports;
    UploadJob::Options options;
    QString reportPath;
    QString logPath;
    bool check = false;
    bool force = false;
    bool quiet = false;
    bool verbose = false;
    bool listPorts = false;
    bool json = false;
    bool doctor = false;
    QString summaryPath;   // a record file, or a database's URI
    QDateTime since;       // --summary of a database: units ended since
    QString stationFilter; // --summary: this station's units only
    QString database;      // --database
    QString metricsPath;   // --metrics
    bool forward = false;
    QStringList records; // --forward
    bool station = false;
    QString recordPath;
    SlotHost::Settings slot; // --station: what each slot does
    FirmwareCheck::Options checkOptions;
    QString pinnedDigest; // --sha256, lower case
    FirmwareFile firmware;
    UnitNumbering::Options numbering; // --serial, --unit-data
};

UploadCommand::UploadCommand(QObject* parent) : QObject(parent), m_settings(new Settings)
{
    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] { drawProgress(false); });
}

UploadCommand::~UploadCommand() = default;

int UploadCommand::parse(const QStringList& arguments, Settings* s)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sends a firmware file to one or more handheld units in Code Upload mode, "
                       "one line per \"*\" from the unit, again after a \"+\"."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The firmware file."));
    const QCommandLineOption port({"p", "port"},
                                  "A port number n (Com n, as the loader numbers them) or a "
                                  "device path; repeat it to upload to several units at once.",
                                  "PORT");
    const QCommandLineOption settings({"s", "settings"},
                                      "Port settings such as 38400,N,8,1 (default: the loader's "
                                      "saved Properties).",
                                      "TEXT");
    const QCommandLineOption handshaking(
        "handshaking", "0 none, 1 Xon/Xoff, 2 RTS, 3 Xon/RTS (default: the saved Properties).",
        "N");
    const QCommandLineOption timeout(
        {"t", "timeout"}, "Give up on a unit silent this long (default 10).", "SEC", "10");
    const QCommandLineOption maxResends(
        "max-resends", "Give up on a line the unit rejected K times (default 20).", "K", "20");
    const QCommandLineOption report(
        "report", "Write a JSON report to FILE (\"-\": standard output).", "FILE");
    const QCommandLineOption log("log", "Write the transcript, with times, to FILE.", "FILE");
    const QCommandLineOption check("check", "Check the file and exit, sending nothing.");
    const QCommandLineOption force("force", "Send a file that fails the check.");
    const QCommandLineOption repeat("repeat", "After each unit, wait for the next one's prompt "
                                              "and upload again, until interrupted.");
    const QCommandLineOption quiet({"q", "quiet"}, "Only the result lines.");
    const QCommandLineOption verbose({"v", "verbose"}, "Show the transcript as it happens.");
    const QCommandLineOption addressRange(
        "address-range",
        "Refuse a file with data outside LOW-HIGH (hexadecimal, inclusive), such as 0-7FFF.",
        "LOW-HIGH");
    const QCommandLineOption sha256("sha256", "Refuse a file whose SHA-256 is not HEX.", "HEX");
    const QCommandLineOption listPorts(
        "list-ports", "List the serial ports, their Com numbers and stable names, and exit.");
    const QCommandLineOption json("json", "With --list-ports: a JSON array for scripts.");
    const QCommandLineOption doctor(
        "doctor", "Look for what keeps serial adaptors from working (with -p: that port, opened "
                  "once), print each finding with its fix, and exit.");
    const QCommandLineOption station(
        "station", "A production station: each port a slot that waits for its adaptor and its "
                   "units, flashing unit after unit, until Ctrl+C or SIGTERM.");
    const QCommandLineOption record(
        "record", "Append one JSON line per unit to FILE, each on the disk before the next.",
        "FILE");
    const QCommandLineOption nextAfter(
        "next-after",
        "--station: a new unit counts after SEC seconds without a sound from the "
        "slot, and a unit quiet that long mid-upload was taken away (default 2).",
        "SEC", "2");
    const QCommandLineOption warnResends(
        "warn-resends",
        "--station: warn of a unit sent more than PERCENT of its lines again "
        "(default 10).",
        "PERCENT", "10");
    const QCommandLineOption stationName("station-name",
                                         "--station: the name in the record (default: the host "
                                         "name).",
                                         "NAME");
    const QCommandLineOption summary(
        "summary", "Print pass and fail counts per station, slot and file from a record FILE.",
        "FILE");
    const QCommandLineOption serial(
        "serial",
        "Put a serial number of its own into every unit's image at ADDRESS (hexadecimal), SIZE "
        "bytes, FORMAT le (default), be, bcd or ascii.",
        "ADDRESS:SIZE[:FORMAT]");
    const QCommandLineOption serialStart("serial-start",
                                         "The first serial number, when the state has none "
                                         "higher (default 1).",
                                         "N", "1");
    const QCommandLineOption serialStep("serial-step",
                                        "Between one serial number and the next "
                                        "(default 1).",
                                        "K", "1");
    const QCommandLineOption serialEnd("serial-end",
                                       "The last serial number; new units stop after it.", "N");
    const QCommandLineOption serialState(
        "serial-state",
        "Keep the next serial number and unit data line in FILE (default: the record's path "
        "with .serial added).",
        "FILE");
    const QCommandLineOption unitData(
        "unit-data",
        "Put one line of FILE into each unit: up to 4 ADDRESS:HEXBYTES separated by spaces.",
        "FILE");
    const QCommandLineOption database(
        "database",
        "--station and --forward: forward every record line to PostgreSQL at URL, such as "
        "postgresql://user@host/factory (the password from PGPASSWORD or ~/.pgpass).",
        "URL");
    const QCommandLineOption forward(
        "forward", "Forward the lines of the record files given that the --database lacks, and "
                   "exit.");
    const QCommandLineOption since(
        "since", "--summary of a database: units ended since DATE (such as 2026-12-08).", "DATE");
    const QCommandLineOption config(
        "config",
        "--station: the bench's settings from the [Station] group of an INI FILE; the "
        "command line wins.",
        "FILE");
    const QCommandLineOption metrics(
        "metrics", "--station: keep FILE.prom up to date for node_exporter's textfile collector.",
        "FILE");
    parser.addOptions({database, forward, since, config, metrics});
    parser.addOptions({port,         settings,   handshaking, timeout,     maxResends, report,
                       log,          check,      force,       repeat,      quiet,      verbose,
                       addressRange, sha256,     listPorts,   json,        doctor,     station,
                       record,       nextAfter,  warnResends, stationName, summary,    serial,
                       serialStart,  serialStep, serialEnd,   serialState, unitData});
    const QCommandLineOption help = parser.addHelpOption();
    // Not addVersionOption(): its -v is --verbose here.
    const QCommandLineOption version("version", "Displays version information.");
    parser.addOption(version);

    // With --summary, --station NAME counts that station's units, as
    // --station-name NAME does.
    QStringList words = arguments;
    if (words.contains(QStringLiteral("--summary")) ||
        !words.filter(QRegularExpression(QStringLiteral("^--summary="))).isEmpty()) {
        for (int i = 1; i < words.size(); ++i) {
            if (words[i] == QLatin1String("--station") && i + 1 < words.size())
                words[i] = QStringLiteral("--station-name");
            else if (words[i].startsWith(QLatin1String("--station=")))
                words[i].replace(0, 10, QStringLiteral("--station-name="));
        }
    }
    if (!parser.parse(words)) {
        complain(QStringLiteral("%1\nTry firmware-upload --help.").arg(parser.errorText()));
        return UsageError;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return Success;
    }
    if (parser.isSet(version)) {
        std::printf("firmware-upload %s\n", LOADER_VERSION);
        return Success;
    }
    // A value that came from the config file is named by its file and line.
    QHash<QString, QString> fromConfig; // option -> "bench.conf:7: timeout"
    if (parser.isSet(config)) {
        if (!parser.isSet(station)) {
            complain(QStringLiteral("--config goes with --station\nTry "
                                    "firmware-upload --help."));
            return UsageError;
        }
        QString why;
        const auto file = StationConfig::read(parser.value(config), &why);
        if (!file) {
            complain(why);
            return UsageError;
        }
        // Before the command line's own, whose values are the ones taken.
        StationConfig::Arguments given;
        if (!file->arguments(parser.isSet(port), !parser.positionalArguments().isEmpty(), &given,
                             &why)) {
            complain(why);
            return UsageError;
        }
        fromConfig = given.where;
        words = words.mid(0, 1) + given.options + words.mid(1) + given.file;
        if (!parser.parse(words)) {
            complain(QStringLiteral("%1: %2").arg(file->path, parser.errorText()));
            return UsageError;
        }
    }
    auto usage = [&fromConfig](const QString& why) {
        QString where;
        for (auto it = fromConfig.begin(); it != fromConfig.end(); ++it) {
            if (why.contains(QStringLiteral("--") + it.key()) ||
                (it.key() == QLatin1String("port") && why.contains(QLatin1String("port"))))
                where = it.value() + QStringLiteral(": ");
        }
        complain(QStringLiteral("%1%2\nTry firmware-upload --help.").arg(where, why));
        return int(UsageError);
    };
    s->listPorts = parser.isSet(listPorts);
    s->json = parser.isSet(json);
    s->doctor = parser.isSet(doctor);
    s->summaryPath = parser.value(summary);
    s->station = parser.isSet(station);
    s->forward = parser.isSet(forward);
    s->database = parser.value(database);
    if (s->json && !s->listPorts)
        return usage(QStringLiteral("--json goes with --list-ports"));
    if (int(s->listPorts) + int(s->doctor) + int(!s->summaryPath.isEmpty()) + int(s->station) +
            int(s->forward) >
        1)
        return usage(QStringLiteral("give one of --list-ports, --doctor, --summary, --forward "
                                    "and --station"));
    if (!s->database.isEmpty() && !s->station && !s->forward)
        return usage(QStringLiteral("--database goes with --station or --forward"));
    if (s->forward) {
        if (s->database.isEmpty())
            return usage(QStringLiteral("--forward needs --database URL"));
        s->records = parser.positionalArguments();
        if (s->records.isEmpty())
            return usage(QStringLiteral("--forward takes the record files to forward"));
        return -1;
    }
    if (!s->summaryPath.isEmpty()) {
        s->stationFilter = parser.value(stationName);
        if (parser.isSet(since)) {
            s->since = QDateTime::fromString(parser.value(since), Qt::ISODateWithMs);
            if (!s->since.isValid())
                s->since = QDate::fromString(parser.value(since), Qt::ISODate).startOfDay();
            if (!s->since.isValid())
                return usage(QStringLiteral("--since takes a date such as 2026-12-08"));
        }
        if ((parser.isSet(since) || parser.isSet(stationName)) &&
            !s->summaryPath.startsWith(QLatin1String("postgres")))
            return usage(QStringLiteral("--since and --station go with --summary of a "
                                        "database"));
    } else if (parser.isSet(since)) {
        return usage(QStringLiteral("--since goes with --summary of a database"));
    }
    const QStringList files = parser.positionalArguments();
    const bool needsFile = !s->listPorts && !s->doctor && s->summaryPath.isEmpty();
    if (needsFile && files.size() != 1)
        return usage(files.isEmpty() ? "no firmware file given" : "give one firmware file only");
    if (!needsFile && !files.isEmpty())
        return usage(QStringLiteral("--list-ports, --doctor and --summary take no firmware file"));
    s->recordPath = parser.value(record);
    s->metricsPath = parser.value(metrics);
    if (!s->metricsPath.isEmpty() && !s->station)
        return usage(QStringLiteral("--metrics goes with --station"));
    if (!s->recordPath.isEmpty() && !s->station)
        return usage(QStringLiteral("--record goes with --station (--report records one run)"));
    if (s->station && (s->check || parser.isSet(repeat) || parser.isSet(report)))
        return usage(QStringLiteral("--station loops by itself and keeps its --record; it takes "
                                    "no --check, --repeat or --report"));
    s->file = files.value(0);
    if (parser.isSet(addressRange)) {
        s->checkOptions.allowed = FirmwareCheck::parseRange(parser.value(addressRange));
        if (!s->checkOptions.allowed)
            return usage(QStringLiteral("--address-range takes LOW-HIGH in hexadecimal, such as "
                                        "0-7FFF"));
    }
    if (parser.isSet(sha256)) {
        s->pinnedDigest = parser.value(sha256).toLower();
        if (!FirmwareFile::isDigest(s->pinnedDigest))
            return usage(QStringLiteral("--sha256 takes 64 hexadecimal digits"));
    }
    s->check = parser.isSet(check);
    s->force = parser.isSet(force);
    s->quiet = parser.isSet(quiet);
    s->verbose = parser.isSet(verbose) && !s->quiet;
    s->reportPath = parser.value(report);
    s->logPath = parser.value(log);
    s->options.repeat = parser.isSet(repeat);
    s->ports = parser.values(port);
    if (s->ports.isEmpty() && !s->check && needsFile)
        return usage(QStringLiteral("no port given (--port)"));
    if (s->ports.removeDuplicates() > 0)
        return usage(QStringLiteral("a port is given twice"));
    // One adaptor by two names would only find itself in use.
    if (const QString same = PortResolver::sameDevice(s->ports); !same.isEmpty())
        return usage(same);
    if (s->doctor && s->ports.size() > 1)
        return usage(QStringLiteral("--doctor looks at one port at a time"));

    bool ok = false;
    s->options.timeoutSeconds = parser.value(timeout).toInt(&ok);
    if (!ok || s->options.timeoutSeconds < 1 || s->options.timeoutSeconds > 86400)
        return usage(QStringLiteral("--timeout takes whole seconds from 1 to 86400"));
    s->options.maximumRejections = parser.value(maxResends).toInt(&ok);
    if (!ok || s->options.maximumRejections < 1)
        return usage(QStringLiteral("--max-resends takes a whole number from 1"));
    s->slot.nextAfterSeconds = parser.value(nextAfter).toDouble(&ok);
    if (!ok || s->slot.nextAfterSeconds < 0.1 || s->slot.nextAfterSeconds > 3600)
        return usage(QStringLiteral("--next-after takes seconds from 0.1 to 3600"));
    s->slot.warnResendsPercent = parser.value(warnResends).toDouble(&ok);
    if (!ok || s->slot.warnResendsPercent < 0)
        return usage(QStringLiteral("--warn-resends takes a percentage"));
    s->slot.stationName =
        parser.isSet(stationName) ? parser.value(stationName) : QSysInfo::machineHostName();
    // Run as a service with a state folder of its own (systemd's
    // StateDirectory=), a station keeps its record there unless told else.
    const QString stateFolder =
        qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (s->station && s->recordPath.isEmpty() && !stateFolder.isEmpty())
        s->recordPath =
            stateFolder + QLatin1Char('/') + s->slot.stationName + QStringLiteral(".jsonl");

    UnitNumbering::Options& n = s->numbering;
    if (parser.isSet(serial)) {
        QString why;
        n.serial = SerialFormat::parse(parser.value(serial), &why);
        if (!n.serial)
            return usage(why);
    }
    n.start = parser.value(serialStart).toULongLong(&ok);
    if (!ok)
        return usage(QStringLiteral("--serial-start takes a whole number"));
    n.step = parser.value(serialStep).toULongLong(&ok);
    if (!ok || n.step < 1)
        return usage(QStringLiteral("--serial-step takes a whole number from 1"));
    if (parser.isSet(serialEnd)) {
        n.end = parser.value(serialEnd).toULongLong(&ok);
        if (!ok)
            return usage(QStringLiteral("--serial-end takes a whole number"));
    }
    n.unitDataPath = parser.value(unitData);
    n.statePath = parser.value(serialState);
    if (n.statePath.isEmpty() && !s->recordPath.isEmpty())
        n.statePath = s->recordPath + QStringLiteral(".serial");
    const bool numberOptions = parser.isSet(serialStart) || parser.isSet(serialStep) ||
                               parser.isSet(serialEnd) || parser.isSet(serialState);
    if (numberOptions && !n.serial && n.unitDataPath.isEmpty())
        return usage(QStringLiteral("--serial-start, --serial-step, --serial-end and "
                                    "--serial-state go with --serial or --unit-data"));
    if (n.enabled() && n.statePath.isEmpty() && !s->check)
        return usage(QStringLiteral("--serial and --unit-data need --serial-state FILE (with "
                                    "--record, it is kept beside the record)"));

    // The window's saved Properties, where the command line says nothing.
    const QString app = applicationTitle();
    s->options.settings = parser.isSet(settings)
                              ? parser.value(settings)
                              : PortSettingsStore::read(app, PortSetting::Settings);
    if (s->options.settings.isEmpty())
        s->options.settings = QStringLiteral("38400,N,8,1");
    QString why;
    if (!CommSettings::parse(s->options.settings, &why))
        return usage(why);
    const QString code = parser.isSet(handshaking)
                             ? parser.value(handshaking)
                             : PortSettingsStore::read(app, PortSetting::Handshaking);
    if (!code.isEmpty()) {
        s->options.handshaking = code.toInt(&ok);
        if (!ok || s->options.handshaking < 0 || s->options.handshaking > 3)
            return usage(QStringLiteral("handshaking \"%1\" is not 0, 1, 2 or 3").arg(code));
    }
    s->slot.settings = s->options.settings;
    s->slot.handshaking = s->options.handshaking;
    s->slot.timeoutSeconds = s->options.timeoutSeconds;
    s->slot.maximumRejections = s->options.maximumRejections;
    return -1;
}

int UploadCommand::checkFile()
{
    Settings& s = *m_settings;
    QString why;
    const auto firmware = FirmwareFile::read(s.file, s.checkOptions, &why);
    if (!firmware) {
        complain(QStringLiteral("%1").arg(why));
        return FileError;
    }
    s.firmware = *firmware;
    const FirmwareCheck& check = firmware->check;
    const QString name = QFileInfo(s.file).fileName();
    auto sayAt = [&](const FirmwareCheck::Problem& p, const QString& prefix) {
        say(p.line > 0 ? QStringLiteral("%1:%2: %3%4").arg(name).arg(p.line).arg(prefix, p.text)
                       : QStringLiteral("%1: %2%3").arg(name, prefix, p.text));
    };
    for (const FirmwareCheck::Problem& p : check.problems)
        sayAt(p, QString());
    if (check.problemCount > check.problems.size())
        say(QStringLiteral("%1: %2 more problems")
                .arg(name)
                .arg(check.problemCount - check.problems.size()));
    if (s.check || s.verbose) {
        for (const FirmwareCheck::Problem& p : check.notes)
            sayAt(p, QStringLiteral("note: "));
    }

    s.options.image = *firmware;
    if (firmware->facts.lines == 0) {
        say(QStringLiteral("%1: the file is empty: there is no line to send").arg(name));
        return FileError;
    }
    if (!s.pinnedDigest.isEmpty() && s.pinnedDigest != firmware->sha256) {
        say(QStringLiteral("%1: its SHA-256 is %2, not the %3 asked for: this is not the build "
                           "meant")
                .arg(name, firmware->sha256, s.pinnedDigest));
        return FileError;
    }

    if (!check.passed()) {
        const bool binary = firmware->facts.longestLine > FirmwareStream::MaximumLineLength;
        const QString problems = check.problemCountText();
        if (!s.force || binary) {
            const QString hint =
                s.check || binary ? QString() : QStringLiteral("; --force sends it anyway");
            say(QStringLiteral("%1: fails its check (%2)%3").arg(name, problems, hint));
            return FileError;
        }
        say(QStringLiteral("%1: fails its check (%2); sending it anyway (--force)")
                .arg(name, problems));
    } else if (s.check || s.verbose) {
        say(QStringLiteral("%1: %2 %3, passes its check")
                .arg(name)
                .arg(firmware->facts.lines)
                .arg(check.formatName()));
    }
    if (s.check || s.verbose) {
        if (check.records())
            say(QStringLiteral("%1: data %2")
                    .arg(name, FirmwareCheck::describeRanges(check.ranges)));
        say(QStringLiteral("%1: sha256 %2").arg(name, firmware->sha256));
    }
    if (s.check && s.numbering.enabled()) {
        // What each unit would get, and nothing written.
        UnitNumbering look;
        QString why;
        if (const int code = refusal(look.open(s.numbering, s.firmware, &why, true), why);
            code >= 0)
            return code;
        for (const QString& line : look.plan())
            say(QStringLiteral("%1: %2").arg(name, line));
    }
    return s.check ? int(Success) : -1;
}

int UploadCommand::summarize(const QString& path)
{
    RecordSummary summary;
    QString why;
    if (path.startsWith(QLatin1String("postgres"))) {
        const auto url = DatabaseUrl::parse(path, &why);
        if (!url) {
            complain(why);
            return UsageError;
        }
        RecordDatabase database(*url, QStringLiteral("summary"));
        if (!database.open(&why) ||
            !database.summarize(m_settings->since, m_settings->stationFilter, &summary, &why)) {
            complain(QStringLiteral("the database %1: %2").arg(url->shown(), why));
            return UploadFailed;
        }
    } else if (!RecordSummary::read(path, &summary, &why)) {
        complain(QStringLiteral("%1").arg(why));
        return FileError;
    }
    std::fputs(qPrintable(summary.toText() + QLatin1Char('\n')), stdout);
    return Success;
}

// Catches up the database with record files a station wrote without it.
int UploadCommand::forwardRecords()
{
    const Settings& s = *m_settings;
    QString why;
    const auto url = DatabaseUrl::parse(s.database, &why);
    if (!url) {
        complain(QStringLiteral("%1").arg(why));
        return UsageError;
    }
    for (const QString& record : s.records) {
        if (!QFileInfo(record).isFile()) {
            complain(QStringLiteral("the record %1 does not exist").arg(record));
            return FileError;
        }
    }
    RecordDatabase database(*url, QStringLiteral("forward"));
    if (!database.open(&why)) {
        complain(QStringLiteral("the database %1: %2").arg(url->shown(), why));
        return UploadFailed;
    }
    for (const QString& record : s.records) {
        RecordForwarder::Batch total, batch;
        do {
            if (!RecordForwarder::forwardBatch(record, database, &batch, &why)) {
                complain(QStringLiteral("%1: %2").arg(record, why));
                return UploadFailed;
            }
            total.lines += batch.lines;
            total.inserted += batch.inserted;
            total.duplicates += batch.duplicates;
            total.refused += batch.refused;
        } while (batch.lines > 0);
        QString line = QStringLiteral("%1: %2 sent, %3 there already")
                           .arg(record)
                           .arg(total.inserted)
                           .arg(total.duplicates);
        if (total.refused > 0)
            line += QStringLiteral(", %1 refused (see %2)")
                        .arg(total.refused)
                        .arg(RecordForwarder::rejectedPath(record));
        say(line + QStringLiteral("; up to date"));
    }
    return Success;
}

int UploadCommand::startStation()
{
    Settings& s = *m_settings;
    m_station = std::make_unique<Station>();
    m_station->setSettings(s.slot);
    QString why;
    if (!m_station->setFirmware(s.firmware, s.pinnedDigest, &why)) {
        complain(QStringLiteral("%1").arg(why));
        return FileError;
    }
    if (!s.recordPath.isEmpty() && !m_station->openRecord(s.recordPath, &why)) {
        complain(QStringLiteral("%1; nothing was sent").arg(why));
        return UsageError;
    }
    if (const int code = refusal(m_station->setNumbering(s.numbering, &why), why); code >= 0)
        return code;
    if (!s.database.isEmpty()) {
        const auto url = DatabaseUrl::parse(s.database, &why);
        if (!url) {
            complain(why);
            return UsageError;
        }
        if (s.recordPath.isEmpty()) {
            complain(QStringLiteral("--database forwards the --record: give one"));
            return UsageError;
        }
        m_station->forwardTo(*url);
    }
    for (const QString& port : s.ports)
        m_station->addSlot(port);
    if (!s.metricsPath.isEmpty()) {
        // Written once now, like every output, so a bad path costs no unit.
        m_metrics = std::make_unique<StationMetrics>(*m_station, s.metricsPath);
        if (!m_metrics->write(&why)) {
            complain(QStringLiteral("the metrics %1; nothing was sent").arg(why));
            return UsageError;
        }
        connect(m_metrics.get(), &StationMetrics::failed, this,
                [](const QString& failure) { say(failure, Journal::Level::Warning); });
    }
    m_stationRun = std::make_unique<StationRun>(*m_station, s.quiet);
    m_systemd = new SystemdNotifier(this);
    connect(m_stationRun.get(), &StationRun::done, this, [this](int code) {
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
    connect(m_signals, &TerminationSignals::received, m_stationRun.get(), [this](int signal) {
        m_systemd->stopping();
        m_stationRun->interrupt(signal);
    });
    m_stationRun->start();
    m_systemd->ready();
    return -1;
}

// Every file the command was asked to write is opened before anything is
// sent, so that a bad path costs no unit.
int UploadCommand::openOutputs()
{
    const Settings& s = *m_settings;
    auto refuse = [](const QString& what, const QString& path, const QString& why) {
        complain(QStringLiteral("the %1 %2 cannot be written: %3; nothing was sent")
                     .arg(what, path, why));
        return int(UsageError);
    };
    if (!s.logPath.isEmpty()) {
        m_log.setFileName(s.logPath);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return refuse(QStringLiteral("log"), s.logPath, m_log.errorString());
    }
    if (!s.reportPath.isEmpty() && s.reportPath != QLatin1String("-")) {
        // Written in full at the end, or not at all.
        m_report = std::make_unique<QSaveFile>(s.reportPath);
        if (!m_report->open(QIODevice::WriteOnly))
            return refuse(QStringLiteral("report"), s.reportPath, m_report->errorString());
    }
    return -1;
}

int UploadCommand::refusal(UnitNumbering::Refusal refusal, const QString& why)
{
    switch (refusal) {
    case UnitNumbering::Refusal::None:
        return -1;
    case UnitNumbering::Refusal::State:
        complain(QStringLiteral("%1; nothing was sent").arg(why));
        return UsageError;
    case UnitNumbering::Refusal::Data:
        complain(QStringLiteral("%1; nothing was sent").arg(why));
        return FileError;
    }
    return -1;
}

void UploadCommand::outputFailed(const QString& what, const QString& path, const QString& why)
{
    complain(QStringLiteral("the %1 %2 could not be written: %3").arg(what, path, why));
    m_exitCode = qMax(m_exitCode, int(UsageError));
}

int UploadCommand::start(const QStringList& arguments)
{
    Settings& s = *m_settings;
    if (const int code = parse(arguments, &s); code >= 0)
        return code;
    if (s.listPorts)
        return PortCommands::listPorts(s.json);
    if (s.doctor)
        return PortCommands::doctor(s.ports.value(0), s.options.settings, s.options.handshaking);
    if (!s.summaryPath.isEmpty())
        return summarize(s.summaryPath);
    if (s.forward)
        return forwardRecords();
    if (const int code = checkFile(); code >= 0)
        return code;
    if (const int code = openOutputs(); code >= 0)
        return code;
    if (s.station)
        return startStation();
    if (s.numbering.enabled()) {
        // Each unit of a gang gets a number of its own.
        QString why;
        m_numbering = std::make_unique<UnitNumbering>();
        if (const int code = refusal(m_numbering->open(s.numbering, s.firmware, &why), why);
            code >= 0)
            return code;
        s.options.nextUnit = [this](FirmwareImage* image, UnitValues* own, QString* why) {
            if (m_numbering->take(own, why) != UnitNumbering::Take::Taken)
                return false;
            *image = m_numbering->imageFor(*own);
            return true;
        };
    }
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::received, this, &UploadCommand::onSignal);
    for (const QString& port : s.ports) {
        auto* job = new UploadJob(port, s.options, this);
        m_jobs.push_back(job);
        connect(job, &UploadJob::finished, this, &UploadCommand::onJobFinished);
        connect(job, &UploadJob::unitFinished, this,
                [this, job](const UploadJob::Outcome& o) { onUnitFinished(job, o); });
        connect(job, &UploadJob::traffic, this,
                [this, job](const QString& text) { onTraffic(job, text); });
    }
    for (UploadJob* job : m_jobs)
        job->start();
    if (!s.quiet && ::isatty(STDERR_FILENO)) {
        drawProgress(false);
        m_progressTimer.start();
    }
    return -1;
}

void UploadCommand::onSignal(int signalNumber)
{
    // The first signal decides the exit code; the uploads stop once.
    if (m_signal)
        return;
    m_signal = signalNumber;
    for (UploadJob* job : m_jobs)
        job->interrupt();
}

void UploadCommand::onTraffic(UploadJob* job, const QString& text)
{
    if (!m_log.isOpen() && !m_settings->verbose)
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
        if (m_log.isOpen()) {
            const QByteArray bytes = stamped.toUtf8() + '\n';
            if (m_log.write(bytes) != bytes.size() || !m_log.flush()) {
                outputFailed(QStringLiteral("log"), m_log.fileName(), m_log.errorString());
                m_log.close();
            }
        }
        if (m_settings->verbose)
            say(stamped);
    }
}

void UploadCommand::onUnitFinished(UploadJob* job, const UploadJob::Outcome& o)
{
    const int total = m_settings->options.image.facts.lines;
    QString line;
    switch (o.result) {
    case UploadJob::Result::Done:
        line = QStringLiteral("%1: done, %2 lines in %3 s (%4 lines/s)")
                   .arg(job->port())
                   .arg(o.linesSent)
                   .arg(o.seconds, 0, 'f', 1)
                   .arg(o.seconds > 0 ? o.linesSent / o.seconds : 0.0, 0, 'f', 1);
        if (o.resends > 0)
            line += QStringLiteral(", %1 sent again").arg(o.resends);
        if (o.own.hasSerial)
            line += QStringLiteral(", serial %1").arg(o.own.serial);
        break;
    case UploadJob::Result::Failed:
        line = o.linesSent > 0 ? QStringLiteral("%1: failed at line %2 of %3: %4")
                                     .arg(job->port())
                                     .arg(o.linesSent)
                                     .arg(total)
                                     .arg(o.error)
                               : QStringLiteral("%1: failed: %2").arg(job->port(), o.error);
        m_exitCode = qMax(m_exitCode, int(UploadFailed));
        break;
    case UploadJob::Result::NotOpened:
        line = QStringLiteral("%1: %2").arg(job->port(), o.error);
        m_exitCode = qMax(m_exitCode, int(PortError));
        break;
    case UploadJob::Result::Interrupted:
        line = QStringLiteral("%1: interrupted at line %2 of %3")
                   .arg(job->port())
                   .arg(o.linesSent)
                   .arg(total);
        break;
    }
    drawProgress(true);
    say(line, o.result == UploadJob::Result::Done || o.result == UploadJob::Result::Interrupted
                  ? Journal::Level::Info
                  : Journal::Level::Error);
}

void UploadCommand::drawProgress(bool final)
{
    if (!m_progressTimer.isActive() && !final)
        return;
    QStringList lines;
    if (!final) {
        for (const UploadJob* job : m_jobs) {
            const UploadProgress& p = job->progress();
            QString text;
            switch (job->state()) {
            case UploadJob::State::AwaitingPrompt:
                text = QStringLiteral("waiting for the unit's prompt");
                break;
            case UploadJob::State::Uploading:
            case UploadJob::State::AwaitingAnswer: {
                const double t = job->elapsed();
                // No rate until half a second has given one worth showing.
                const double rate = t > 0.5 ? p.linesSent / t : 0.0;
                text = QStringLiteral("line %1 of %2  %3%")
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
                break;
            }
            default:
                text = QStringLiteral("-");
                break;
            }
            lines << QStringLiteral("%1  %2").arg(job->port(), text);
        }
    }
    m_progress.draw(lines);
}

void UploadCommand::onJobFinished()
{
    for (const UploadJob* job : m_jobs) {
        if (job->state() != UploadJob::State::Finished)
            return;
    }
    m_progressTimer.stop();
    drawProgress(true);
    if (m_signal)
        m_exitCode = m_signal == SIGINT ? int(Interrupted) : 128 + m_signal;
    writeReport();
    emit done(m_exitCode);
}

void UploadCommand::writeReport()
{
    const Settings& s = *m_settings;
    if (s.reportPath.isEmpty())
        return;
    QJsonArray results;
    for (const UploadJob* job : m_jobs) {
        for (const UploadJob::Outcome& o : job->outcomes()) {
            QJsonObject r{{"port", job->port()},
                          {"device", job->device()},
                          {"result", UploadJob::resultName(o.result)},
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
         QJsonObject{{"path", QFileInfo(s.file).absoluteFilePath()},
                     {"sha256", s.firmware.sha256},
                     {"lines", s.options.image.facts.lines},
                     {"srecords", s.firmware.check.format == FirmwareCheck::Format::SRecords},
                     {"format", s.firmware.check.formatName()},
                     {"passedCheck", s.firmware.check.passed()}}},
        {"settings", QJsonObject{{"settings", s.options.settings},
                                 {"handshaking", s.options.handshaking},
                                 {"timeoutSeconds", s.options.timeoutSeconds},
                                 {"maxResends", s.options.maximumRejections}}},
        {"results", results},
        {"exitCode", m_exitCode},
    };
    const QByteArray json = QJsonDocument(report).toJson();
    if (s.reportPath == QLatin1String("-")) {
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fflush(stdout);
        return;
    }
    if (!m_report)
        return;
    if (m_report->write(json) != json.size() || !m_report->commit())
        outputFailed(QStringLiteral("report"), s.reportPath, m_report->errorString());
    m_report.reset();
}
