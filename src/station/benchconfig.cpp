#include "benchconfig.h"

#include "../broker/brokerurl.h"
#include "../platform/initext.h"
#include "../serial/commsettings.h"
#include "../serial/portresolver.h"
#include "../upload/firmwarefile.h"
#include "../upload/firmwarestream.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QSysInfo>
#include <algorithm>

namespace {

const QString group = QStringLiteral("Station");
constexpr int MostResends = 1000000;
constexpr qint64 LargestConfig = 4 * 1024 * 1024;

using Row = BenchConfig::FieldInfo;

const BenchConfig& defaults()
{
    static const BenchConfig d;
    return d;
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

QString rangeText(const FirmwareCheck::Range& r)
{
    return QStringLiteral("%1-%2").arg(QString::number(r.low, 16).toUpper(),
                                       QString::number(r.high, 16).toUpper());
}

QStringList commaList(const QString& text)
{
    QStringList items;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    }
    return items;
}

// Names keep their places: "A1, , A3" names the first and third slots.
QStringList namesList(const QString& text)
{
    QStringList names;
    for (const QString& name : text.split(QLatin1Char(',')))
        names << name.trimmed();
    while (!names.isEmpty() && names.last().isEmpty())
        names.removeLast();
    return names;
}

bool outside(const Row& row, QString* why)
{
    *why = QStringLiteral("%1 takes %2 from %3 to %4")
               .arg(BenchConfig::optionName(row.field), QLatin1String(row.limits.what),
                    number(row.limits.low), number(row.limits.high));
    return false;
}

// The kinds of field, each over the member it fills.

template <QString BenchConfig::*M>
bool parseText(BenchConfig& b, const QString& text, const Row&, QString*)
{
    b.*M = text;
    return true;
}
template <QString BenchConfig::*M> QString formatText(const BenchConfig& b)
{
    return b.*M;
}

template <int BenchConfig::*M>
bool parseInt(BenchConfig& b, const QString& text, const Row& row, QString* why)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < row.limits.low || v > row.limits.high)
        return outside(row, why);
    b.*M = v;
    return true;
}
template <int BenchConfig::*M> QString formatInt(const BenchConfig& b)
{
    return b.*M == defaults().*M ? QString() : QString::number(b.*M);
}

template <double BenchConfig::*M>
bool parseDouble(BenchConfig& b, const QString& text, const Row& row, QString* why)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < row.limits.low || v > row.limits.high)
        return outside(row, why);
    b.*M = v;
    return true;
}
template <double BenchConfig::*M> QString formatDouble(const BenchConfig& b)
{
    return b.*M == defaults().*M ? QString() : number(b.*M);
}

template <bool BenchConfig::*M>
bool parseSwitch(BenchConfig& b, const QString& text, const Row&, QString* why)
{
    const QString v = text.toLower();
    if (v != QLatin1String("true") && v != QLatin1String("false")) {
        *why = QStringLiteral("\"%1\" is not true or false").arg(text.left(80));
        return false;
    }
    b.*M = v == QLatin1String("true");
    return true;
}
template <bool BenchConfig::*M> QString formatSwitch(const BenchConfig& b)
{
    return b.*M ? QStringLiteral("true") : QString();
}

// Whole numbers from `Least`.
template <quint64 BenchConfig::*M, quint64 Least>
bool parseWhole(BenchConfig& b, const QString& text, const Row& row, QString* why)
{
    bool ok = false;
    const quint64 v = text.toULongLong(&ok);
    if (!ok || v < Least) {
        const QString option = BenchConfig::optionName(row.field);
        *why = Least > 0 ? QStringLiteral("%1 takes a whole number from %2").arg(option).arg(Least)
                         : QStringLiteral("%1 takes a whole number").arg(option);
        return false;
    }
    b.*M = v;
    return true;
}
template <quint64 BenchConfig::*M> QString formatWhole(const BenchConfig& b)
{
    return b.*M == defaults().*M ? QString() : QString::number(b.*M);
}

template <auto M> void copyMember(BenchConfig& to, const BenchConfig& from)
{
    to.*M = from.*M;
}

} // namespace

BenchConfig::BenchConfig() : name(QSysInfo::machineHostName()) {}

const QVector<BenchConfig::FieldInfo>& BenchConfig::fields()
{
    using F = BenchField;
    using B = BenchConfig;
    static const QVector<FieldInfo> table = {
        {F::Name,
         "name",
         "StationName",
         "",
         "NAME",
         "The bench's name in the record",
         [](B& b, const QString& t, const Row& row, QString* why) {
             if (t.isEmpty()) {
                 *why = QStringLiteral("%1 takes a name").arg(optionName(row.field));
                 return false;
             }
             b.name = t;
             return true;
         },
         [](const B& b) { return b.name == defaults().name ? QString() : b.name; },
         copyMember<&B::name>,
         {},
         "the host name"},
        {F::File,
         "file",
         "Firmware",
         "",
         "FILE",
         "The firmware file",
         parseText<&B::file>,
         formatText<&B::file>,
         copyMember<&B::file>,
         {},
         ""},
        {F::Sha256,
         "sha256",
         "PinnedSha256",
         "",
         "HEX",
         "Refuse a file whose SHA-256 is not HEX",
         [](B& b, const QString& t, const Row& row, QString* why) {
             if (!t.isEmpty() && !FirmwareFile::isDigest(t)) {
                 *why = QStringLiteral("%1 takes 64 hexadecimal digits").arg(optionName(row.field));
                 return false;
             }
             b.sha256 = t.toLower();
             return true;
         },
         formatText<&B::sha256>,
         copyMember<&B::sha256>,
         {},
         ""},
        {F::Ports,
         "ports",
         "",
         "p",
         "PORT",
         "A port number n (Com n, as the loader numbers them) or a device path, best a stable "
         "name under /dev/serial/by-id; repeat it for each unit or slot",
         [](B& b, const QString& t, const Row&, QString*) {
             b.ports = commaList(t);
             return true;
         },
         [](const B& b) { return b.ports.join(QStringLiteral(", ")); },
         copyMember<&B::ports>,
         {},
         ""},
        {F::SlotNames,
         "slot-names",
         "",
         "",
         "NAME",
         "What the operator calls the slot of the --port in the same place (\"Bench A1\"); "
         "repeat it",
         [](B& b, const QString& t, const Row&, QString*) {
             b.slotNames = namesList(t);
             return true;
         },
         [](const B& b) {
             const bool none = std::all_of(b.slotNames.begin(), b.slotNames.end(),
                                           [](const QString& n) { return n.isEmpty(); });
             return none ? QString() : b.slotNames.join(QStringLiteral(", "));
         },
         copyMember<&B::slotNames>,
         {},
         ""},
        {F::Record,
         "record",
         "Record",
         "",
         "FILE",
         "Append one JSON line per unit to FILE, each on the disk before the next",
         parseText<&B::record>,
         formatText<&B::record>,
         copyMember<&B::record>,
         {},
         ""},
        {F::Audit,
         "audit",
         "Audit",
         "",
         "FILE",
         "Keep the audit trail in FILE (default: the record's path with .audit added)",
         parseText<&B::audit>,
         formatText<&B::audit>,
         copyMember<&B::audit>,
         {},
         ""},
        {F::Database,
         "database",
         "Database",
         "",
         "URL",
         "Forward every record line to PostgreSQL at URL, such as postgresql://user@host/factory "
         "(the password from PGPASSWORD or ~/.pgpass)",
         parseText<&B::database>,
         formatText<&B::database>,
         copyMember<&B::database>,
         {},
         ""},
        {F::Mqtt,
         "mqtt",
         "Mqtt",
         "",
         "URL",
         "Publish the station's state and record on the MQTT broker at URL, such as "
         "mqtt://bench@broker/factory, and take a line controller's commands there (the "
         "password from MQTT_PASSWORD or ?password-file=FILE)",
         [](B& b, const QString& t, const Row& row, QString* why) {
             if (!t.isEmpty() && !BrokerUrl::parse(t, why)) {
                 why->prepend(optionName(row.field) + QStringLiteral(": "));
                 return false;
             }
             b.mqtt = t;
             return true;
         },
         formatText<&B::mqtt>,
         copyMember<&B::mqtt>,
         {},
         ""},
        {F::Metrics,
         "metrics",
         "",
         "",
         "FILE",
         "Keep FILE.prom up to date for node_exporter's textfile collector",
         parseText<&B::metrics>,
         formatText<&B::metrics>,
         copyMember<&B::metrics>,
         {},
         ""},
        {F::NextAfter,
         "next-after",
         "NextAfter",
         "",
         "SEC",
         "A new unit counts after SEC seconds without a sound from the slot, and a unit quiet "
         "that long mid-upload was taken away",
         parseDouble<&B::nextAfterSeconds>,
         formatDouble<&B::nextAfterSeconds>,
         copyMember<&B::nextAfterSeconds>,
         {0.1, 3600, "seconds"},
         "2"},
        {F::WarnResends,
         "warn-resends",
         "WarnResends",
         "",
         "PERCENT",
         "Warn of a unit sent more than PERCENT of its lines again",
         parseDouble<&B::warnResendsPercent>,
         formatDouble<&B::warnResendsPercent>,
         copyMember<&B::warnResendsPercent>,
         {0, 100, "a percentage"},
         "10"},
        {F::Timeout,
         "timeout",
         "Timeout",
         "t",
         "SEC",
         "Give up on a unit silent this long",
         parseInt<&B::timeoutSeconds>,
         formatInt<&B::timeoutSeconds>,
         copyMember<&B::timeoutSeconds>,
         {1, 86400, "whole seconds"},
         "10"},
        {F::MaxResends,
         "max-resends",
         "MaxResends",
         "",
         "K",
         "Give up on a line the unit rejected K times in a row",
         parseInt<&B::maxResends>,
         formatInt<&B::maxResends>,
         copyMember<&B::maxResends>,
         {1, MostResends, "a whole number"},
         "20"},
        {F::Settings,
         "settings",
         "Settings",
         "s",
         "TEXT",
         "Port settings such as 38400,N,8,1 (default: the loader's saved Properties)",
         [](B& b, const QString& t, const Row&, QString* why) {
             if (!t.isEmpty() && !CommSettings::parse(t, why))
                 return false;
             b.settings = t;
             return true;
         },
         formatText<&B::settings>,
         copyMember<&B::settings>,
         {},
         ""},
        {F::Handshaking,
         "handshaking",
         "Handshaking",
         "",
         "N",
         "0 none, 1 Xon/Xoff, 2 RTS, 3 Xon/RTS (default: the loader's saved Properties)",
         [](B& b, const QString& t, const Row& row, QString* why) {
             bool ok = false;
             const int v = t.toInt(&ok);
             if (!ok || v < 0 || v > 3) {
                 *why = QStringLiteral("%1 takes 0, 1, 2 or 3, not \"%2\"")
                            .arg(optionName(row.field), t.left(20));
                 return false;
             }
             b.handshaking = v;
             return true;
         },
         [](const B& b) { return b.handshaking ? QString::number(*b.handshaking) : QString(); },
         copyMember<&B::handshaking>,
         {},
         ""},
        {F::AddressRange,
         "address-range",
         "AddressRange",
         "",
         "LOW-HIGH",
         "Refuse a file with data outside LOW-HIGH (hexadecimal, inclusive), such as 0-7FFF",
         [](B& b, const QString& t, const Row& row, QString* why) {
             const auto range = FirmwareCheck::parseRange(t);
             if (!range) {
                 *why = QStringLiteral("%1 takes LOW-HIGH in hexadecimal, such as 0-7FFF")
                            .arg(optionName(row.field));
                 return false;
             }
             b.addressRange = range;
             return true;
         },
         [](const B& b) { return b.addressRange ? rangeText(*b.addressRange) : QString(); },
         copyMember<&B::addressRange>,
         {},
         ""},
        {F::Force,
         "force",
         "",
         "",
         "",
         "Send a file that fails its check",
         parseSwitch<&B::force>,
         formatSwitch<&B::force>,
         copyMember<&B::force>,
         {},
         ""},
        {F::Quiet,
         "quiet",
         "",
         "q",
         "",
         "Only the result lines",
         parseSwitch<&B::quiet>,
         formatSwitch<&B::quiet>,
         copyMember<&B::quiet>,
         {},
         ""},
        {F::Serial,
         "serial",
         "Serial",
         "",
         "ADDRESS:SIZE[:FORMAT]",
         "Put a serial number of its own into every unit's image at ADDRESS (hexadecimal), SIZE "
         "bytes, FORMAT le (default), be, bcd or ascii",
         [](B& b, const QString& t, const Row&, QString* why) {
             b.serial = SerialFormat::parse(t, why);
             return b.serial.has_value();
         },
         [](const B& b) { return b.serial ? b.serial->text() : QString(); },
         copyMember<&B::serial>,
         {},
         ""},
        {F::SerialStart,
         "serial-start",
         "SerialStart",
         "",
         "N",
         "The first serial number, when the state has none higher",
         parseWhole<&B::serialStart, 0>,
         formatWhole<&B::serialStart>,
         copyMember<&B::serialStart>,
         {},
         "1"},
        {F::SerialStep,
         "serial-step",
         "SerialStep",
         "",
         "K",
         "Between one serial number and the next",
         parseWhole<&B::serialStep, 1>,
         formatWhole<&B::serialStep>,
         copyMember<&B::serialStep>,
         {},
         "1"},
        {F::SerialEnd,
         "serial-end",
         "SerialEnd",
         "",
         "N",
         "The last serial number; new units stop after it",
         [](B& b, const QString& t, const Row& row, QString* why) {
             quint64 end = 0;
             bool ok = false;
             end = t.toULongLong(&ok);
             if (!ok) {
                 *why = QStringLiteral("%1 takes a whole number").arg(optionName(row.field));
                 return false;
             }
             b.serialEnd = end;
             return true;
         },
         [](const B& b) { return b.serialEnd ? QString::number(*b.serialEnd) : QString(); },
         copyMember<&B::serialEnd>,
         {},
         ""},
        {F::SerialState,
         "serial-state",
         "SerialState",
         "",
         "FILE",
         "Keep the next serial number and unit data line in FILE (default: the record's path "
         "with .serial added)",
         parseText<&B::serialState>,
         formatText<&B::serialState>,
         copyMember<&B::serialState>,
         {},
         ""},
        {F::UnitData,
         "unit-data",
         "UnitData",
         "",
         "FILE",
         "Put one line of FILE into each unit: up to 4 ADDRESS:HEXBYTES separated by spaces",
         parseText<&B::unitData>,
         formatText<&B::unitData>,
         copyMember<&B::unitData>,
         {},
         ""},
        {F::SerialSeries,
         "serial-series",
         "SerialSeries",
         "",
         "NAME",
         "Take the serial numbers from the factory's series NAME in the --database, a block at a "
         "time, never one number twice across stations",
         parseText<&B::serialSeries>,
         formatText<&B::serialSeries>,
         copyMember<&B::serialSeries>,
         {},
         ""},
        {F::SerialBlock,
         "serial-block",
         "SerialBlock",
         "",
         "K",
         "Numbers of the series leased at a time",
         parseInt<&B::serialBlock>,
         formatInt<&B::serialBlock>,
         copyMember<&B::serialBlock>,
         {1, 100000, "a whole number"},
         "20"},
        {F::Scanner,
         "scanner",
         "Scanner",
         "",
         "PORT",
         "Read the units' labels from a serial barcode scanner on PORT, one per line",
         parseText<&B::scanner>,
         formatText<&B::scanner>,
         copyMember<&B::scanner>,
         {},
         ""},
        {F::RequireLabel,
         "require-label",
         "RequireLabel",
         "",
         "",
         "A prompting unit waits until its label is scanned",
         parseSwitch<&B::requireLabel>,
         formatSwitch<&B::requireLabel>,
         copyMember<&B::requireLabel>,
         {},
         ""},
        {F::LabelPattern,
         "label-pattern",
         "LabelPattern",
         "",
         "REGEX",
         "Refuse a label that REGEX does not match whole",
         [](B& b, const QString& t, const Row& row, QString* why) {
             const QRegularExpression pattern(t);
             if (!pattern.isValid()) {
                 *why = QStringLiteral("%1 takes a regular expression: %2")
                            .arg(optionName(row.field), pattern.errorString());
                 return false;
             }
             b.labelPattern = t;
             return true;
         },
         formatText<&B::labelPattern>,
         copyMember<&B::labelPattern>,
         {},
         ""},
        {F::Rework,
         "rework",
         "Rework",
         "",
         "KEEP|NEW|REFUSE",
         "A label whose unit passed before: keep its number, give a new one, or refuse it",
         [](B& b, const QString& t, const Row& row, QString* why) {
             const QString v = t.toLower();
             if (v == QLatin1String("keep"))
                 b.rework = Rework::Keep;
             else if (v == QLatin1String("new"))
                 b.rework = Rework::New;
             else if (v == QLatin1String("refuse"))
                 b.rework = Rework::Refuse;
             else {
                 *why = QStringLiteral("%1 takes keep, new or refuse").arg(optionName(row.field));
                 return false;
             }
             return true;
         },
         [](const B& b) {
             return b.rework == Rework::Keep  ? QString()
                    : b.rework == Rework::New ? QStringLiteral("new")
                                              : QStringLiteral("refuse");
         },
         copyMember<&B::rework>,
         {},
         "keep"},
        {F::Order, "order", "", "", "NAME",
         "The factory's work order whose units the released job makes, every bench of it "
         "drawing from one count",
         parseText<&B::order>, formatText<&B::order>, copyMember<&B::order>, {}, ""},
        {F::OrderUnits, "order-units", "", "", "N", "The units the work order is for",
         parseInt<&B::orderUnits>, formatInt<&B::orderUnits>, copyMember<&B::orderUnits>,
         {1, 100000000, "a whole number"}, ""},
        {F::ValidUntil, "valid-until", "", "", "YYYY-MM-DD",
         "The last day the released job may run",
         [](B& b, const QString& t, const Row& row, QString* why) {
             const QDate d = QDate::fromString(t, Qt::ISODate);
             if (!d.isValid()) {
                 *why = QStringLiteral("%1 takes a day as YYYY-MM-DD").arg(optionName(row.field));
                 return false;
             }
             b.validUntil = d;
             return true;
         },
         [](const B& b) {
             return b.validUntil.isValid() ? b.validUntil.toString(Qt::ISODate) : QString();
         },
         copyMember<&B::validUntil>, {}, ""},
        {F::Language, "language", "", "", "CODE",
         "The station window's language for the bench's operators, such as vi or zh_CN",
         [](B& b, const QString& t, const Row& row, QString* why) {
             static const QRegularExpression code(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?$"));
             if (!code.match(t).hasMatch()) {
                 *why = QStringLiteral("%1 takes a language's code, such as de, vi or zh_CN")
                            .arg(optionName(row.field));
                 return false;
             }
             b.language = t;
             return true;
         },
         formatText<&B::language>, copyMember<&B::language>, {}, ""},
    };
    return table;
}

const BenchConfig::FieldInfo& BenchConfig::info(BenchField field)
{
    return fields()[int(field)];
}

std::optional<BenchField> BenchConfig::fieldOfKey(const QString& key)
{
    for (const FieldInfo& f : fields()) {
        if (key == QLatin1String(f.key))
            return f.field;
    }
    return std::nullopt;
}

QString BenchConfig::optionName(BenchField field)
{
    if (field == BenchField::Name)
        return QStringLiteral("--station-name");
    if (field == BenchField::Ports)
        return QStringLiteral("--port");
    if (field == BenchField::SlotNames)
        return QStringLiteral("--slot-name");
    return QStringLiteral("--") + QLatin1String(info(field).key);
}

QString BenchConfig::defaultText(BenchField field)
{
    return QLatin1String(info(field).shown);
}

bool BenchConfig::set(BenchField field, const QString& given, QString* why)
{
    // Paths keep their spaces; every other value is trimmed.
    static const QList<BenchField> untrimmed = {
        BenchField::File,  BenchField::Ports,   BenchField::SlotNames,   BenchField::Record,
        BenchField::Audit, BenchField::Metrics, BenchField::SerialState, BenchField::UnitData};
    const FieldInfo& row = info(field);
    return row.parse(*this, untrimmed.contains(field) ? given : given.trimmed(), row, why);
}

QString BenchConfig::text(BenchField field) const
{
    return info(field).format(*this);
}

bool BenchConfig::isDefault(BenchField field) const
{
    return text(field).isEmpty();
}

bool BenchConfig::readFile(const QString& path, QString* error, const QList<BenchField>& skip,
                           QHash<BenchField, int>* lines)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the config %1 cannot be read: %2").arg(path, raw.errorString());
        return false;
    }
    const QByteArray bytes = raw.read(LargestConfig + 1);
    if (bytes.size() > LargestConfig) {
        *error = QStringLiteral("the config %1 is too large to be a bench's config").arg(path);
        return false;
    }
    return readText(bytes, path, error, skip, lines);
}

bool BenchConfig::readText(const QByteArray& text, const QString& name, QString* error,
                           const QList<BenchField>& skip, QHash<BenchField, int>* lines)
{
    QString current;
    for (const IniText::Line& line : IniText::parse(text)) {
        const QString at = QStringLiteral("%1:%2").arg(name).arg(line.number);
        if (line.kind == IniText::Line::Kind::Section) {
            current = line.key;
            if (current != group) {
                *error = QStringLiteral("%1: [%2] is not read: the keys go under [Station]")
                             .arg(at, current);
                return false;
            }
            continue;
        }
        if (line.kind != IniText::Line::Kind::Pair || current.isEmpty()) {
            *error = QStringLiteral("%1: \"%2\" is not key = value under [Station]")
                         .arg(at, line.text.left(60));
            return false;
        }
        const std::optional<BenchField> field = fieldOfKey(line.key);
        if (!field) {
            QStringList keys;
            for (const FieldInfo& f : fields())
                keys << QLatin1String(f.key);
            *error = QStringLiteral("%1: unknown key \"%2\" (the keys are firmware-upload "
                                    "station's long options: %3)")
                         .arg(at, line.key, keys.join(QStringLiteral(", ")));
            return false;
        }
        if (skip.contains(*field))
            continue;
        if (lines)
            lines->insert(*field, line.number);
        QString why;
        if (line.value.trimmed().isEmpty())
            why = line.key + QStringLiteral(" has no value");
        else if (!set(*field, line.value, &why))
            why = QStringLiteral("%1: %2").arg(line.key, why);
        if (!why.isEmpty()) {
            *error = QStringLiteral("%1: %2").arg(at, why);
            return false;
        }
    }
    return true;
}

QByteArray BenchConfig::toText() const
{
    QByteArray out = "[Station]\n";
    for (const FieldInfo& f : fields()) {
        if (!isDefault(f.field))
            out += QByteArray(f.key) + " = " + IniText::escape(text(f.field)) + '\n';
    }
    return out;
}

bool BenchConfig::writeFile(const QString& path, QString* error) const
{
    QSaveFile out(path);
    const QByteArray text = toText();
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit())
        return true;
    *error = QStringLiteral("%1 could not be written: %2").arg(path, out.errorString());
    return false;
}

void BenchConfig::readStore(QSettings& store)
{
    store.beginGroup(group);
    for (const FieldInfo& f : fields()) {
        const QString value =
            *f.storeKey ? store.value(QLatin1String(f.storeKey)).toString() : QString();
        QString ignored;
        if (!value.trimmed().isEmpty())
            (void)set(f.field, value, &ignored); // refused: the default stays
    }
    const int count = store.beginReadArray(QStringLiteral("Slots"));
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        const QString port = store.value(QStringLiteral("Port")).toString();
        if (port.isEmpty())
            continue;
        ports << port;
        slotNames << store.value(QStringLiteral("Name")).toString();
    }
    store.endArray();
    store.endGroup();
}

void BenchConfig::writeStore(QSettings& store) const
{
    store.beginGroup(group);
    for (const FieldInfo& f : fields()) {
        if (!*f.storeKey)
            continue;
        if (isDefault(f.field))
            store.remove(QLatin1String(f.storeKey));
        else
            store.setValue(QLatin1String(f.storeKey), text(f.field));
    }
    store.remove(QStringLiteral("Slots"));
    store.beginWriteArray(QStringLiteral("Slots"), int(ports.size()));
    for (int i = 0; i < ports.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("Port"), ports[i]);
        store.setValue(QStringLiteral("Name"), slotName(i));
    }
    store.endArray();
    store.endGroup();
}

std::optional<BenchRefusal> BenchConfig::problem(Use use) const
{
    const auto usage = [](BenchField field, const QString& why) {
        return BenchRefusal{field, BenchRefusal::Kind::Usage, why};
    };
    if (file.isEmpty())
        return usage(BenchField::File, QStringLiteral("no firmware file given"));
    const bool numbers = serial || !unitData.isEmpty();
    if (!numbers) {
        for (BenchField f : {BenchField::SerialStart, BenchField::SerialStep, BenchField::SerialEnd,
                             BenchField::SerialState}) {
            if (!isDefault(f))
                return usage(f, QStringLiteral("--serial-start, --serial-step, --serial-end and "
                                               "--serial-state go with --serial or --unit-data"));
        }
    }
    if (use == Use::Check)
        return std::nullopt;
    if (numbers && numbering().statePath.isEmpty())
        return usage(BenchField::SerialState,
                     QStringLiteral("--serial and --unit-data need --serial-state FILE (with "
                                    "--record, it is kept beside the record)"));
    if (ports.isEmpty())
        return usage(BenchField::Ports, QStringLiteral("no port given (--port)"));
    if (QStringList(ports).removeDuplicates() > 0)
        return usage(BenchField::Ports, QStringLiteral("a port is given twice"));
    if (slotNames.size() > ports.size())
        return usage(BenchField::SlotNames, QStringLiteral("more --slot-name than --port"));
    // One adaptor by two names would only find itself in use.
    if (const QString same = PortResolver::sameDevice(ports); !same.isEmpty())
        return usage(BenchField::Ports, same);
    if (use == Use::Station && !database.isEmpty() && record.isEmpty())
        return usage(BenchField::Database,
                     QStringLiteral("--database forwards the --record: give one"));
    if (use == Use::Station && !mqtt.isEmpty() && record.isEmpty())
        return usage(BenchField::Mqtt, QStringLiteral("--mqtt publishes the --record: give one"));
    // The name is a level of the broker's topics.
    if (!mqtt.isEmpty() && (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('+')) ||
                            name.contains(QLatin1Char('#'))))
        return usage(BenchField::Name,
                     QStringLiteral("the station's name \"%1\" is a level of the broker's topics: "
                                    "it may hold no /, + or #")
                         .arg(name));
    if (!order.isEmpty() && record.isEmpty() && use == Use::Station)
        return usage(BenchField::Order,
                     QStringLiteral("a work order's permits are kept beside the --record: give one"));
    if (order.isEmpty() != (orderUnits == 0))
        return usage(order.isEmpty() ? BenchField::OrderUnits : BenchField::Order,
                     QStringLiteral("order and order-units go together: the work order and its "
                                    "quantity"));
    if (!serialSeries.isEmpty() && (!serial || database.isEmpty()))
        return usage(BenchField::SerialSeries,
                     QStringLiteral("--serial-series takes the numbers of --serial from the "
                                    "--database: give both"));
    if (use != Use::Station) {
        for (BenchField f :
             {BenchField::Mqtt, BenchField::SerialSeries, BenchField::Scanner,
              BenchField::RequireLabel, BenchField::LabelPattern, BenchField::Rework}) {
            if (!isDefault(f))
                return usage(f, QStringLiteral("%1 goes with a station").arg(optionName(f)));
        }
    }
    return std::nullopt;
}

std::optional<BenchRefusal> BenchConfig::refuseFirmware(const FirmwareFile& f) const
{
    const auto refuse = [](BenchField field, const QString& why) {
        return BenchRefusal{field, BenchRefusal::Kind::File, why};
    };
    if (f.facts.lines == 0)
        return refuse(BenchField::File,
                      QStringLiteral("%1 is empty: there is no line to send").arg(f.path));
    if (!sha256.isEmpty() && sha256 != f.sha256)
        return refuse(BenchField::Sha256,
                      QStringLiteral("the SHA-256 of %1 is %2, not the %3 pinned: this is not the "
                                     "build meant")
                          .arg(f.path, f.sha256, sha256));
    if (!f.check.passed()) {
        // A line too long to be text is no firmware, forced or not.
        const bool binary = f.facts.longestLine > FirmwareStream::MaximumLineLength;
        if (binary || !force)
            return refuse(
                BenchField::Force,
                QStringLiteral("%1 fails its check (%2)%3")
                    .arg(f.path, f.check.problemCountText(),
                         binary ? QString() : QStringLiteral("; --force sends it anyway")));
    }
    return std::nullopt;
}

FirmwareCheck::Options BenchConfig::checkOptions() const
{
    FirmwareCheck::Options o;
    o.allowed = addressRange;
    return o;
}

UnitNumbering::Options BenchConfig::numbering() const
{
    UnitNumbering::Options o;
    o.serial = serial;
    o.start = serialStart;
    o.step = serialStep;
    o.end = serialEnd;
    o.unitDataPath = unitData;
    o.statePath = serialState.isEmpty() && !record.isEmpty() ? record + QStringLiteral(".serial")
                                                             : serialState;
    o.series = serialSeries;
    o.block = serialBlock;
    return o;
}

QString BenchConfig::auditPath() const
{
    return !audit.isEmpty() || record.isEmpty() ? audit : record + QStringLiteral(".audit");
}

QString BenchConfig::lineSettings() const
{
    return settings.isEmpty() ? QStringLiteral("38400,N,8,1") : settings;
}

bool BenchConfig::operator==(const BenchConfig& o) const
{
    for (const FieldInfo& f : fields()) {
        if (text(f.field) != o.text(f.field))
            return false;
    }
    return true;
}
