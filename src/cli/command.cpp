#include "command.h"

#include "../serial/applicationtitle.h"
#include "../serial/portsettingsstore.h"
#include "progresslines.h"

#include <QRegularExpression>

Command::Command(const QString& verb, QObject* parent) : QObject(parent), m_verb(verb) {}

void Command::build()
{
    if (m_built)
        return;
    m_built = true;
    declare(m_parser);
    m_parser.addHelpOption();
}

std::optional<Command::Usage> Command::parse(const QStringList& arguments)
{
    build();
    if (!m_parser.parse(QStringList{QStringLiteral("firmware-upload")} + arguments))
        return Usage{QString(), m_parser.errorText()};
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_helpAsked = true;
        return std::nullopt;
    }
    return read(m_parser);
}

QString Command::helpText()
{
    build();
    QString text = m_parser.helpText();
    // QCommandLineParser names the program alone; the verb goes with it.
    static const QRegularExpression usageLine(QStringLiteral("^Usage: \\S+"));
    text.replace(usageLine, QStringLiteral("Usage: firmware-upload ") + m_verb);
    return text;
}

QStringList Command::optionNames()
{
    // QCommandLineParser tells its options only in its help: one line each,
    // "  -p, --port <PORT>  ...".
    static const QRegularExpression line(QStringLiteral("^  ((?:-[\\w-]+, )*-[\\w-]+)"),
                                         QRegularExpression::MultilineOption);
    QStringList names;
    for (auto it = line.globalMatch(helpText()); it.hasNext();) {
        for (const QString& name : it.next().captured(1).split(QStringLiteral(", ")))
            names << name;
    }
    return names;
}

std::optional<Command::Usage> Command::oneFile(const QCommandLineParser& parser, BenchConfig* bench)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return Usage{QString(), files.isEmpty() ? QStringLiteral("no firmware file given")
                                                : QStringLiteral("give one firmware file only")};
    bench->file = files.first();
    return std::nullopt;
}

Command::Usage Command::usage(const BenchRefusal& refusal)
{
    return {BenchConfig::optionName(refusal.field), refusal.why};
}

std::optional<ExitCode> Command::fillSavedProperties(BenchConfig* bench)
{
    const QString app = applicationTitle();
    for (const auto& [field, setting] :
         {std::pair{BenchField::Settings, PortSetting::Settings},
          std::pair{BenchField::Handshaking, PortSetting::Handshaking}}) {
        QString why;
        const QString saved = PortSettingsStore::read(app, setting);
        if (bench->isDefault(field) && !saved.isEmpty() && !bench->set(field, saved, &why)) {
            ProgressLines::complain(QStringLiteral("the loader's saved Properties: ") + why);
            return ExitCode::Usage;
        }
    }
    return std::nullopt;
}

const BenchOptions::Group& BenchOptions::line()
{
    static const Group g = {BenchField::Ports, BenchField::Settings, BenchField::Handshaking};
    return g;
}

const BenchOptions::Group& BenchOptions::timing()
{
    static const Group g = {BenchField::Timeout, BenchField::MaxResends};
    return g;
}

const BenchOptions::Group& BenchOptions::fileCheck()
{
    static const Group g = {BenchField::AddressRange, BenchField::Sha256};
    return g;
}

const BenchOptions::Group& BenchOptions::serials()
{
    static const Group g = {BenchField::Serial,    BenchField::SerialStart, BenchField::SerialStep,
                            BenchField::SerialEnd, BenchField::SerialState, BenchField::UnitData};
    return g;
}

const BenchOptions::Group& BenchOptions::station()
{
    static const Group g = {BenchField::SlotNames, BenchField::Name,      BenchField::Record,
                            BenchField::Audit,     BenchField::Database,  BenchField::Mqtt,
                            BenchField::Metrics,   BenchField::NextAfter, BenchField::WarnResends};
    return g;
}

const BenchOptions::Group& BenchOptions::factory()
{
    static const Group g = {BenchField::SerialSeries, BenchField::SerialBlock,  BenchField::Scanner,
                            BenchField::RequireLabel, BenchField::LabelPattern, BenchField::Rework};
    return g;
}

BenchOptions::BenchOptions(const QList<Group>& groups)
{
    for (const Group& group : groups) {
        for (BenchField field : group) {
            const BenchConfig::FieldInfo& f = BenchConfig::info(field);
            QStringList names;
            if (*f.shortName)
                names << QLatin1String(f.shortName);
            names << BenchConfig::optionName(field).mid(2);
            QString help = QLatin1String(f.help);
            if (const QString d = BenchConfig::defaultText(field); !d.isEmpty())
                help += (d[0].isDigit() ? QStringLiteral(" (default %1)")
                                        : QStringLiteral(" (default: %1)"))
                            .arg(d);
            m_options.append({field, *f.valueName
                                         ? QCommandLineOption(names, help + QLatin1Char('.'),
                                                              QLatin1String(f.valueName))
                                         : QCommandLineOption(names, help + QLatin1Char('.'))});
        }
    }
}

void BenchOptions::addTo(QCommandLineParser& parser) const
{
    for (const auto& [field, option] : m_options)
        parser.addOption(option);
}

QList<BenchField> BenchOptions::given(const QCommandLineParser& parser) const
{
    QList<BenchField> fields;
    for (const auto& [field, option] : m_options) {
        if (parser.isSet(option))
            fields << field;
    }
    return fields;
}

BenchOptions::Values BenchOptions::values(const QCommandLineParser& parser) const
{
    Values given;
    for (const auto& [field, option] : m_options) {
        if (!parser.isSet(option))
            continue;
        if (option.valueName().isEmpty())
            given.append({field, QStringLiteral("true")});
        else if (field == BenchField::Ports || field == BenchField::SlotNames)
            given.append({field, parser.values(option).join(QLatin1Char(','))});
        else
            given.append({field, parser.value(option)}); // the last one given
        if (field == BenchField::Ports && parser.values(option).removeDuplicates() > 0)
            given.last().second.clear(); // refused by apply()
    }
    return given;
}

std::optional<Command::Usage> BenchOptions::apply(const Values& values, BenchConfig* bench)
{
    for (const auto& [field, text] : values) {
        if (field == BenchField::Ports && text.isEmpty())
            return Command::Usage{BenchConfig::optionName(field),
                                  QStringLiteral("a port is given twice")};
        QString why;
        if (!bench->set(field, text, &why))
            return Command::Usage{BenchConfig::optionName(field), why};
    }
    return std::nullopt;
}

std::optional<Command::Usage> BenchOptions::read(const QCommandLineParser& parser,
                                                 BenchConfig* bench) const
{
    return apply(values(parser), bench);
}
