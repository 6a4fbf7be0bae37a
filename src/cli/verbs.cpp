#include "verbs.h"

#include "benchclient.h"
#include "checkcommand.h"
#include "jobcommands.h"
#include "portverbs.h"
#include "recordcommands.h"
#include "sendcommand.h"
#include "stationcommand.h"
#include "version.h"
#include "watchcommand.h"

namespace {

template <typename T> std::unique_ptr<Command> make()
{
    return std::make_unique<T>();
}

// The mode flags firmware-upload had before its verbs, kept for a release.
struct OldFlag {
    const char* flag;
    const char* verb;
    const char* newForm;
};
const OldFlag oldFlags[] = {
    {"--check", "check", "firmware-upload check FILE"},
    {"--station", "station", "firmware-upload station [FILE]"},
    {"--summary", "summary", "firmware-upload summary RECORD|URL"},
    {"--forward", "forward", "firmware-upload forward RECORD..."},
    {"--list-ports", "ports", "firmware-upload ports"},
    {"--doctor", "doctor", "firmware-upload doctor [-p PORT]"},
};

// The old spelling as a verb and its arguments; no flag: a bare send.
struct OldSpelling {
    QString verb;
    QStringList arguments;
    QString note;
    std::optional<Command::Usage> usage;
};
OldSpelling fromOldFlags(QStringList arguments)
{
    OldSpelling result;
    QVector<int> at;
    QVector<const OldFlag*> flags;
    const bool summary = std::any_of(arguments.begin(), arguments.end(), [](const QString& a) {
        return a == QLatin1String("--summary") || a.startsWith(QLatin1String("--summary="));
    });
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        for (const OldFlag& f : oldFlags) {
            const QLatin1String flag(f.flag);
            // Beside --summary, --station NAME was the station to count.
            if (summary && flag == QLatin1String("--station"))
                continue;
            if (a == flag ||
                (flag == QLatin1String("--summary") && a.startsWith(QLatin1String("--summary=")))) {
                at << i;
                flags << &f;
            }
        }
    }
    if (flags.size() > 1) {
        result.usage = Command::Usage{QString(), QStringLiteral("give one of --list-ports, "
                                                                "--doctor, --summary, --forward "
                                                                "and --station")};
        return result;
    }
    if (flags.isEmpty()) {
        result.verb = QStringLiteral("send");
        result.arguments = arguments;
        return result;
    }
    const OldFlag& f = *flags.first();
    result.verb = QLatin1String(f.verb);
    result.note =
        QStringLiteral("%1 is now: %2").arg(QLatin1String(f.flag), QLatin1String(f.newForm));
    const int i = at.first();
    QString value;
    if (arguments[i].startsWith(QLatin1String("--summary="))) {
        value = arguments[i].mid(10);
    } else if (arguments[i] == QLatin1String("--summary") && i + 1 < arguments.size()) {
        value = arguments[i + 1];
        arguments.removeAt(i + 1);
    }
    arguments.removeAt(i);
    if (!value.isEmpty())
        arguments.prepend(value);
    result.arguments = arguments;
    return result;
}

} // namespace

namespace Verbs {

const QVector<Verb>& all()
{
    static const QVector<Verb> verbs = {
        {"send", "send FILE -p PORT...", "Send FILE to the unit on each PORT at once",
         make<SendCommand>},
        {"check", "check FILE", "Check FILE: its address ranges and SHA-256", make<CheckCommand>},
        {"station", "station [FILE] -p PORT...", "Unit after unit on every port, recorded",
         make<StationCommand>},
        {"summary", "summary RECORD|URL", "Pass, fail and yield of a record or database",
         make<SummaryCommand>},
        {"forward", "forward RECORD... --database URL", "The record lines the database lacks",
         make<ForwardCommand>},
        {"ports", "ports [--json]", "The serial ports and their stable names", make<PortsCommand>},
        {"doctor", "doctor [-p PORT]", "What keeps serial adaptors from working",
         make<DoctorCommand>},
        {"job", "job verify|show FILE", "A released job's signature, signer and bench",
         make<JobCommand>},
        {"audit", "audit verify FILE", "Whether an audit trail's chain holds", make<AuditCommand>},
        {"watch", "watch URL [--station NAME]", "Every station on a broker, as it goes",
         make<WatchCommand>},
        {"status", "status [BENCH]", "A bench's service, or every one on the system bus",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("status")); }},
        {"start", "start BENCH", "A bench's paused slots go on",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("start")); }},
        {"stop", "stop BENCH", "A bench's station ends after its units under way",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("stop")); }},
        {"pause", "pause BENCH [SLOT]", "A slot flashes no new unit",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("pause")); }},
        {"resume", "resume BENCH [SLOT]", "A paused slot goes on",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("resume")); }},
        {"load-job", "load-job BENCH FILE", "A bench runs the released job FILE next",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("load-job")); }},
        {"set-bench", "set-bench BENCH CONFIG", "An engineer's bench config, run next",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("set-bench")); }},
        {"load-file", "load-file BENCH FILE", "An engineer's firmware FILE, run next",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("load-file")); }},
        {"clear-fault", "clear-fault BENCH [SLOT]", "A slot's last result forgotten",
         [] { return std::make_unique<BenchClientCommand>(QStringLiteral("clear-fault")); }},
        {"help", "help [VERB]", "This list, or what VERB takes", nullptr},
        {"completion", "completion bash", "The bash completion of the verbs", nullptr},
    };
    return verbs;
}

const Verb* find(const QString& name)
{
    for (const Verb& v : all()) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

QString helpText()
{
    QString text =
        QStringLiteral("Usage: firmware-upload VERB [options] [arguments]\n"
                       "Sends firmware to handheld units in Code Upload mode: one line per \"*\"\n"
                       "from the unit, the same line again after a \"+\".\n\nVerbs:\n");
    for (const Verb& v : all())
        text += QStringLiteral("  %1 %2\n").arg(v.synopsis.leftJustified(33), v.summary);
    text += QStringLiteral(
        "\nfirmware-upload VERB --help (or help VERB) shows what VERB takes.\n"
        "firmware-upload FILE -p PORT sends FILE, as send does. See firmware-upload(1).\n");
    return text;
}

Invocation prepare(const QStringList& arguments)
{
    Invocation result;
    const QString first = arguments.value(0);
    if (arguments.isEmpty() || first == QLatin1String("-h") || first == QLatin1String("--help")) {
        result.answer = helpText();
        if (arguments.isEmpty())
            result.usage = Command::Usage{QString(), QStringLiteral("no verb given")};
        return result;
    }
    if (first == QLatin1String("--version")) {
        result.answer = QStringLiteral("firmware-upload %1\n").arg(QLatin1String(LOADER_VERSION));
        return result;
    }
    QStringList rest;
    if (const Verb* verb = find(first)) {
        result.verb = verb->name;
        rest = arguments.mid(1);
    } else {
        OldSpelling old = fromOldFlags(arguments);
        if (old.usage) {
            result.usage = old.usage;
            return result;
        }
        result.verb = old.verb;
        rest = old.arguments;
        if (!old.note.isEmpty())
            result.notes << old.note;
    }
    if (result.verb == QLatin1String("help")) {
        const QString about = rest.value(0);
        const Verb* verb = about.isEmpty() ? nullptr : find(about);
        if (!about.isEmpty() && (!verb || !verb->make)) {
            result.usage =
                Command::Usage{QString(), QStringLiteral("there is no verb \"%1\"").arg(about)};
            return result;
        }
        result.answer = verb ? verb->make()->helpText() : helpText();
        return result;
    }
    if (result.verb == QLatin1String("completion")) {
        if (rest != QStringList{QStringLiteral("bash")})
            result.usage = Command::Usage{QString(), QStringLiteral("completion takes: bash")};
        else
            result.answer = bashCompletion();
        return result;
    }
    result.command = find(result.verb)->make();
    result.usage = result.command->parse(rest);
    if (!result.usage && result.command->helpAsked())
        result.answer = result.command->helpText();
    return result;
}

QString bashCompletion()
{
    QStringList verbs;
    QString cases;
    QStringList fileOptions;
    for (const Verb& v : all()) {
        verbs << v.name;
        if (!v.make)
            continue;
        const std::unique_ptr<Command> c = v.make();
        cases += QStringLiteral("        %1) options=\"%2\" ;;\n")
                     .arg(v.name, c->optionNames().join(QLatin1Char(' ')));
    }
    for (const BenchConfig::FieldInfo& f : BenchConfig::fields()) {
        if (QLatin1String(f.valueName) == QLatin1String("FILE") && f.field != BenchField::File)
            fileOptions << BenchConfig::optionName(f.field);
    }
    fileOptions << QStringLiteral("--config") << QStringLiteral("--report")
                << QStringLiteral("--log");
    return QStringLiteral(
               "# bash completion for firmware-upload (made by: firmware-upload completion bash)\n"
               "_firmware_upload()\n"
               "{\n"
               "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
               "    local verb=${COMP_WORDS[1]} options\n"
               "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
               "        COMPREPLY=($(compgen -W \"%1\" -- \"$cur\") $(compgen -f -- \"$cur\"))\n"
               "        return\n"
               "    fi\n"
               "    case $prev in\n"
               "        %2) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
               "        -p|--port) COMPREPLY=($(compgen -W \"$(ls /dev/serial/by-id/* "
               "/dev/ttyUSB* /dev/ttyACM* 2>/dev/null)\" -- \"$cur\")); return ;;\n"
               "    esac\n"
               "    case $verb in\n"
               "%3"
               "        help) COMPREPLY=($(compgen -W \"%1\" -- \"$cur\")); return ;;\n"
               "        completion) COMPREPLY=($(compgen -W \"bash\" -- \"$cur\")); return ;;\n"
               "        *) %4 ;; # firmware-upload FILE -p PORT sends\n"
               "    esac\n"
               "    if [[ $cur == -* ]]; then\n"
               "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
               "    else\n"
               "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
               "    fi\n"
               "}\n"
               "complete -F _firmware_upload firmware-upload\n")
        .arg(verbs.join(QLatin1Char(' ')), fileOptions.join(QLatin1Char('|')), cases,
             QStringLiteral("options=\"%1\"")
                 .arg(find(QStringLiteral("send"))->make()->optionNames().join(QLatin1Char(' '))));
}

} // namespace Verbs
