#include "benchclient.h"

#include "../bus/benchbus.h"
#include "../bus/remotebench.h"
#include "progresslines.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace {

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// What each verb takes after the bench, and the table's command it is.
struct Shape {
    const char* argument; // "SLOT"; empty: none
    bool argumentNeeded;
    const char* command;
    const char* about;
};
Shape shapeOf(const QString& verb)
{
    static const QHash<QString, Shape> shapes = {
        {"status", {"", false, "status", "The bench's state, or every bench on the system bus"}},
        {"start", {"", false, "start", "The bench's paused slots go on"}},
        {"stop", {"", false, "stop", "The units under way finish, then the bench's station ends"}},
        {"pause", {"SLOT", false, "pause", "A slot (by its port or name; every slot without one) "
                                           "finishes its unit and flashes no new one"}},
        {"resume", {"SLOT", false, "resume", "A paused slot goes on"}},
        {"load-job", {"FILE", true, "load-job", "The released job FILE (on the bench's host) runs "
                                                "once the units under way are done"}},
        {"set-bench", {"CONFIG", true, "set-bench", "An engineer's bench config CONFIG (read here) "
                                                    "runs in place of the bench's, of no job"}},
        {"load-file", {"FILE", true, "load-file", "The bench runs with another firmware FILE, of "
                                                  "no job"}},
        {"clear-fault", {"SLOT", false, "clear-fault", "A slot's last result is forgotten"}},
    };
    return shapes.value(verb);
}

} // namespace

BenchClientCommand::BenchClientCommand(const QString& verb)
    : Command(verb), m_json(QStringLiteral("json"), QStringLiteral("The bench's state as JSON."))
{
}

BenchClientCommand::~BenchClientCommand() = default;

void BenchClientCommand::declare(QCommandLineParser& parser)
{
    const Shape shape = shapeOf(verb());
    parser.setApplicationDescription(
        QStringLiteral("%1, asked of its station service over the system bus; polkit decides "
                       "whether this account may (com.tarvellabs.firmware-station.*).")
            .arg(QLatin1String(shape.about)));
    parser.addPositionalArgument(QStringLiteral("BENCH"), QStringLiteral("The station's name."),
                                 verb() == QLatin1String("status") ? QStringLiteral("[BENCH]")
                                                                   : QStringLiteral("BENCH"));
    if (*shape.argument)
        parser.addPositionalArgument(QLatin1String(shape.argument), QString(),
                                     shape.argumentNeeded
                                         ? QLatin1String(shape.argument)
                                         : QStringLiteral("[%1]").arg(QLatin1String(shape.argument)));
    if (verb() == QLatin1String("status"))
        parser.addOption(m_json);
}

std::optional<Command::Usage> BenchClientCommand::read(const QCommandLineParser& parser)
{
    const Shape shape = shapeOf(verb());
    const QStringList words = parser.positionalArguments();
    const int most = *shape.argument ? 2 : 1;
    const bool benchNeeded = verb() != QLatin1String("status");
    if (words.size() > most || (benchNeeded && words.isEmpty()) ||
        (shape.argumentNeeded && words.size() < 2))
        return Usage{QString(),
                     QStringLiteral("%1 takes: %2").arg(verb(), helpText().section('\n', 0, 0).mid(7))};
    m_bench = words.value(0);
    m_argument = words.value(1);
    m_asJson = verb() == QLatin1String("status") && parser.isSet(m_json);
    return std::nullopt;
}

std::optional<ExitCode> BenchClientCommand::start()
{
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        ProgressLines::complain(QStringLiteral("there is no system bus here: %1")
                                    .arg(bus.lastError().message()));
        return ExitCode::Usage;
    }
    if (m_bench.isEmpty()) {
        // Every bench on the bus, a line each.
        const QStringList benches = BenchBus::benches(bus);
        if (benches.isEmpty())
            out(QStringLiteral("no bench on the system bus"));
        for (const QString& b : benches) {
            RemoteBench r(bus, b);
            QString why;
            if (!r.attach(&why))
                continue;
            out(QStringLiteral("%1: %2, %3 passed, %4 failed")
                    .arg(b, r.running() ? QStringLiteral("running") : QStringLiteral("stopped"))
                    .arg(r.passed())
                    .arg(r.failed()));
        }
        return ExitCode::Success;
    }
    m_remote = std::make_unique<RemoteBench>(bus, m_bench);
    QString why;
    if (!m_remote->attach(&why)) {
        ProgressLines::complain(why);
        return ExitCode::Usage;
    }
    if (verb() == QLatin1String("status"))
        return status();
    const Shape shape = shapeOf(verb());
    QJsonObject arguments;
    if (verb() == QLatin1String("set-bench")) {
        QFile config(m_argument);
        if (!config.open(QIODevice::ReadOnly)) {
            ProgressLines::complain(
                QStringLiteral("the config %1 cannot be read: %2").arg(m_argument, config.errorString()));
            return ExitCode::Usage;
        }
        arguments.insert("bench", QString::fromUtf8(config.readAll()));
    } else if (verb() == QLatin1String("load-job") || verb() == QLatin1String("load-file")) {
        // The service reads it on its host, which is this one.
        arguments.insert(verb() == QLatin1String("load-job") ? "job" : "file",
                         QFileInfo(m_argument).absoluteFilePath());
    } else if (*shape.argument) {
        arguments.insert("slot", m_argument);
    }
    m_remote->command(QLatin1String(shape.command), arguments, [this](const QJsonObject& reply) {
        if (!reply.value("ok").toBool()) {
            ProgressLines::complain(reply.value("error").toString());
            emit done(ExitCode::File);
            return;
        }
        QString said = QStringLiteral("%1: %2 done").arg(m_bench, verb());
        if (reply.contains("uploads_under_way"))
            said += QStringLiteral(", it ends once %1 under way %2 done")
                        .arg(reply.value("uploads_under_way").toInt() == 1
                                 ? QStringLiteral("the unit")
                                 : QStringLiteral("%1 units").arg(reply.value("uploads_under_way").toInt()),
                             reply.value("uploads_under_way").toInt() == 1 ? QStringLiteral("is")
                                                                           : QStringLiteral("are"));
        if (reply.value("job").isObject())
            said += QStringLiteral(": job %1, signed by %2")
                        .arg(reply.value("job").toObject().value("file").toString(),
                             reply.value("job").toObject().value("signer").toString());
        out(said);
        emit done(ExitCode::Success);
    });
    return std::nullopt;
}

std::optional<ExitCode> BenchClientCommand::status()
{
    const QVariantMap& p = m_remote->properties();
    if (m_asJson) {
        QJsonObject o = QJsonObject::fromVariantMap(p);
        for (const char* key : {"Job", "Firmware", "Problems", "Order"})
            o.insert(QLatin1String(key), QJsonDocument::fromJson(p.value(QLatin1String(key)).toString().toUtf8()).object());
        o.insert("SlotStates",
                 QJsonDocument::fromJson(p.value("SlotStates").toString().toUtf8()).array());
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        return ExitCode::Success;
    }
    const std::optional<double> rate = m_remote->unitsPerHour();
    out(QStringLiteral("%1: %2, %3 passed, %4 failed%5")
            .arg(m_bench, m_remote->running() ? QStringLiteral("running") : QStringLiteral("stopped"))
            .arg(m_remote->passed())
            .arg(m_remote->failed())
            .arg(rate ? QStringLiteral(", %1 units per hour").arg(qRound(*rate)) : QString()));
    const JobIdentity job = m_remote->job();
    if (!job.isEmpty())
        out(QStringLiteral("  job %1, signed by %2").arg(job.file, job.signer));
    if (const QString order = m_remote->order().text(); !order.isEmpty())
        out(QStringLiteral("  %1").arg(order));
    const FirmwareSummary f = m_remote->firmware();
    if (!f.isEmpty())
        out(QStringLiteral("  %1").arg(f.title()));
    if (!m_remote->newUnitsStopped().isEmpty())
        out(QStringLiteral("  %1").arg(m_remote->newUnitsStopped()));
    const QJsonObject problems =
        QJsonDocument::fromJson(p.value("Problems").toString().toUtf8()).object();
    for (auto it = problems.begin(); it != problems.end(); ++it)
        out(QStringLiteral("  problem: %1").arg(it.value().toString()));
    const BenchConfig bench = m_remote->bench();
    for (int i = 0; i < m_remote->slotCount(); ++i) {
        const SlotView v = m_remote->view(i);
        QString state = SlotView::stateName(v.state);
        if (v.state == SlotState::Flashing)
            state = QStringLiteral("flashing line %1 of %2").arg(v.progress.linesSent).arg(v.progress.totalLines);
        else if (!v.reason.isEmpty())
            state += QStringLiteral(": ") + v.reason;
        if (m_remote->paused(i))
            state += QStringLiteral(" (paused)");
        out(QStringLiteral("  %1  [%2 pass, %3 fail]  %4")
                .arg(bench.slotName(i).isEmpty() ? v.port : bench.slotName(i))
                .arg(v.passed)
                .arg(v.failed)
                .arg(state));
    }
    return ExitCode::Success;
}
