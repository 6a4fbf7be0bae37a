#include "benchconfig.h"

#include "../broker/brokerurl.h"
#include "../serial/commsettings.h"
#include "../serial/portresolver.h"
#include "../upload/firmwarefile.h"
#include "../upload/firmwarestream.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryFile>
#include <algorithm>

namespace {

const QString group = QStringLiteral("Station");
constexpr int MostResends = 1000000;

// Numbers with their limits, said once for the check and for the message.
struct Limits {
    double low, high;
    const char* what; // "whole seconds"
};
Limits limitsOf(BenchField field)
{
    switch (field) {
    case BenchField::Timeout:
        return {1, 86400, "whole seconds"};
    case BenchField::MaxResends:
        return {1, MostResends, "a whole number"};
    case BenchField::SerialBlock:
        return {1, 100000, "a whole number"};
    case BenchField::NextAfter:
        return {0.1, 3600, "seconds"};
    case BenchField::WarnResends:
        return {0, 100, "a percentage"};
    default:
        return {0, 0, ""};
    }
}

QString rangeText(const FirmwareCheck::Range& r)
{
    return QStringLiteral("%1-%2").arg(QString::number(r.low, 16).toUpper(),
                                       QString::number(r.high, 16).toUpper());
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
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

} // namespace

BenchConfig::BenchConfig() : name(QSysInfo::machineHostName()) {}

const QVector<BenchConfig::FieldInfo>& BenchConfig::fields()
{
    using F = BenchField;
    static const QVector<FieldInfo> table = {
        {F::Name, "name", "StationName", "", "NAME", "The bench's name in the record"},
        {F::File, "file", "Firmware", "", "FILE", "The firmware file"},
        {F::Sha256, "sha256", "PinnedSha256", "", "HEX", "Refuse a file whose SHA-256 is not HEX"},
        {F::Ports, "ports", "", "p", "PORT",
         "A port number n (Com n, as the loader numbers them) or a device path, best a stable "
         "name under /dev/serial/by-id; repeat it for each unit or slot"},
        {F::SlotNames, "slot-names", "", "", "NAME",
         "What the operator calls the slot of the --port in the same place (\"Bench A1\"); "
         "repeat it"},
        {F::Record, "record", "Record", "", "FILE",
         "Append one JSON line per unit to FILE, each on the disk before the next"},
        {F::Audit, "audit", "Audit", "", "FILE",
         "Keep the audit trail in FILE (default: the record's path with .audit added)"},
        {F::Database, "database", "Database", "", "URL",
         "Forward every record line to PostgreSQL at URL, such as postgresql://user@host/factory "
         "(the password from PGPASSWORD or ~/.pgpass)"},
        {F::Mqtt, "mqtt", "Mqtt", "", "URL",
         "Publish the station's state and record on the MQTT broker at URL, such as "
         "mqtt://bench@broker/factory, and take a line controller's commands there (the "
         "password from MQTT_PASSWORD or ?password-file=FILE)"},
        {F::Metrics, "metrics", "", "", "FILE",
         "Keep FILE.prom up to date for node_exporter's textfile collector"},
        {F::NextAfter, "next-after", "NextAfter", "", "SEC",
         "A new unit counts after SEC seconds without a sound from the slot, and a unit quiet "
         "that long mid-upload was taken away"},
        {F::WarnResends, "warn-resends", "WarnResends", "", "PERCENT",
         "Warn of a unit sent more than PERCENT of its lines again"},
        {F::Timeout, "timeout", "Timeout", "t", "SEC", "Give up on a unit silent this long"},
        {F::MaxResends, "max-resends", "MaxResends", "", "K",
         "Give up on a line the unit rejected K times in a row"},
        {F::Settings, "settings", "Settings", "s", "TEXT",
         "Port settings such as 38400,N,8,1 (default: the loader's saved Properties)"},
        {F::Handshaking, "handshaking", "Handshaking", "", "N",
         "0 none, 1 Xon/Xoff, 2 RTS, 3 Xon/RTS (default: the loader's saved Properties)"},
        {F::AddressRange, "address-range", "AddressRange", "", "LOW-HIGH",
         "Refuse a file with data outside LOW-HIGH (hexadecimal, inclusive), such as 0-7FFF"},
        {F::Force, "force", "", "", "", "Send a file that fails its check"},
        {F::Quiet, "quiet", "", "q", "", "Only the result lines"},
        {F::Serial, "serial", "Serial", "", "ADDRESS:SIZE[:FORMAT]",
         "Put a serial number of its own into every unit's image at ADDRESS (hexadecimal), SIZE "
         "bytes, FORMAT le (default), be, bcd or ascii"},
        {F::SerialStart, "serial-start", "SerialStart", "", "N",
         "The first serial number, when the state has none higher"},
        {F::SerialStep, "serial-step", "SerialStep", "", "K",
         "Between one serial number and the next"},
        {F::SerialEnd, "serial-end", "SerialEnd", "", "N",
         "The last serial number; new units stop after it"},
        {F::SerialState, "serial-state", "SerialState", "", "FILE",
         "Keep the next serial number and unit data line in FILE (default: the record's path "
         "with .serial added)"},
        {F::UnitData, "unit-data", "UnitData", "", "FILE",
         "Put one line of FILE into each unit: up to 4 ADDRESS:HEXBYTES separated by spaces"},
        {F::SerialSeries, "serial-series", "SerialSeries", "", "NAME",
         "Take the serial numbers from the factory's series NAME in the --database, a block at a "
         "time, never one number twice across stations"},
        {F::SerialBlock, "serial-block", "SerialBlock", "", "K",
         "Numbers of the series leased at a time"},
        {F::Scanner, "scanner", "Scanner", "", "PORT",
         "Read the units' labels from a serial barcode scanner on PORT, one per line"},
        {F::RequireLabel, "require-label", "RequireLabel", "", "",
         "A prompting unit waits until its label is scanned"},
        {F::LabelPattern, "label-pattern", "LabelPattern", "", "REGEX",
         "Refuse a label that REGEX does not match whole"},
        {F::Rework, "rework", "Rework", "", "KEEP|NEW|REFUSE",
         "A label whose unit passed before: keep its number, give a new one, or refuse it"},
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
    static const BenchConfig d;
    switch (field) {
    case BenchField::Name:
        return QStringLiteral("the host name");
    case BenchField::NextAfter:
        return number(d.nextAfterSeconds);
    case BenchField::WarnResends:
        return number(d.warnResendsPercent);
    case BenchField::Timeout:
        return QString::number(d.timeoutSeconds);
    case BenchField::MaxResends:
        return QString::number(d.maxResends);
    case BenchField::SerialStart:
        return QString::number(d.serialStart);
    case BenchField::SerialStep:
        return QString::number(d.serialStep);
    case BenchField::SerialBlock:
        return QString::number(d.serialBlock);
    case BenchField::Rework:
        return QStringLiteral("keep");
    default:
        return QString();
    }
}

bool BenchConfig::set(BenchField field, const QString& given, QString* why)
{
    const QString text = given.trimmed();
    const QString option = optionName(field);
    bool ok = false;
    const Limits limits = limitsOf(field);
    const auto outside = [&] {
        *why =
            QStringLiteral("%1 takes %2 from %3 to %4")
                .arg(option, QLatin1String(limits.what), number(limits.low), number(limits.high));
        return false;
    };
    const auto whole = [&](quint64* into, quint64 least) {
        const quint64 v = text.toULongLong(&ok);
        if (!ok || v < least) {
            *why = least > 0
                       ? QStringLiteral("%1 takes a whole number from %2").arg(option).arg(least)
                       : QStringLiteral("%1 takes a whole number").arg(option);
            return false;
        }
        *into = v;
        return true;
    };
    switch (field) {
    case BenchField::Name:
        if (text.isEmpty()) {
            *why = QStringLiteral("%1 takes a name").arg(option);
            return false;
        }
        name = text;
        return true;
    case BenchField::File:
        file = given;
        return true;
    case BenchField::Sha256:
        if (!text.isEmpty() && !FirmwareFile::isDigest(text)) {
            *why = QStringLiteral("%1 takes 64 hexadecimal digits").arg(option);
            return false;
        }
        sha256 = text.toLower();
        return true;
    case BenchField::Ports:
        ports = commaList(given);
        return true;
    case BenchField::SlotNames:
        slotNames = namesList(given);
        return true;
    case BenchField::Record:
        record = given;
        return true;
    case BenchField::Audit:
        audit = given;
        return true;
    case BenchField::Database:
        database = text;
        return true;
    case BenchField::Mqtt: {
        if (!text.isEmpty() && !BrokerUrl::parse(text, why)) {
            why->prepend(option + QStringLiteral(": "));
            return false;
        }
        mqtt = text;
        return true;
    }
    case BenchField::Metrics:
        metrics = given;
        return true;
    case BenchField::NextAfter:
    case BenchField::WarnResends: {
        const double v = text.toDouble(&ok);
        if (!ok || v < limits.low || v > limits.high)
            return outside();
        (field == BenchField::NextAfter ? nextAfterSeconds : warnResendsPercent) = v;
        return true;
    }
    case BenchField::Timeout:
    case BenchField::MaxResends:
    case BenchField::SerialBlock: {
        const int v = text.toInt(&ok);
        if (!ok || v < limits.low || v > limits.high)
            return outside();
        (field == BenchField::Timeout      ? timeoutSeconds
         : field == BenchField::MaxResends ? maxResends
                                           : serialBlock) = v;
        return true;
    }
    case BenchField::Settings:
        if (!text.isEmpty() && !CommSettings::parse(text, why))
            return false;
        settings = text;
        return true;
    case BenchField::Handshaking: {
        const int v = text.toInt(&ok);
        if (!ok || v < 0 || v > 3) {
            *why = QStringLiteral("%1 takes 0, 1, 2 or 3, not \"%2\"").arg(option, text.left(20));
            return false;
        }
        handshaking = v;
        return true;
    }
    case BenchField::AddressRange:
        addressRange = FirmwareCheck::parseRange(text);
        if (!addressRange) {
            *why = QStringLiteral("%1 takes LOW-HIGH in hexadecimal, such as 0-7FFF").arg(option);
            return false;
        }
        return true;
    case BenchField::Force:
    case BenchField::Quiet:
    case BenchField::RequireLabel: {
        const QString v = text.toLower();
        if (v != QLatin1String("true") && v != QLatin1String("false")) {
            *why = QStringLiteral("\"%1\" is not true or false").arg(text.left(80));
            return false;
        }
        (field == BenchField::Force   ? force
         : field == BenchField::Quiet ? quiet
                                      : requireLabel) = v == QLatin1String("true");
        return true;
    }
    case BenchField::SerialSeries:
        serialSeries = text;
        return true;
    case BenchField::Scanner:
        scanner = text;
        return true;
    case BenchField::LabelPattern: {
        const QRegularExpression pattern(text);
        if (!pattern.isValid()) {
            *why = QStringLiteral("%1 takes a regular expression: %2")
                       .arg(option, pattern.errorString());
            return false;
        }
        labelPattern = text;
        return true;
    }
    case BenchField::Rework: {
        const QString v = text.toLower();
        if (v == QLatin1String("keep"))
            rework = Rework::Keep;
        else if (v == QLatin1String("new"))
            rework = Rework::New;
        else if (v == QLatin1String("refuse"))
            rework = Rework::Refuse;
        else {
            *why = QStringLiteral("%1 takes keep, new or refuse").arg(option);
            return false;
        }
        return true;
    }
    case BenchField::Serial:
        serial = SerialFormat::parse(text, why);
        return serial.has_value();
    case BenchField::SerialStart:
        return whole(&serialStart, 0);
    case BenchField::SerialStep:
        return whole(&serialStep, 1);
    case BenchField::SerialEnd: {
        quint64 end = 0;
        if (!whole(&end, 0))
            return false;
        serialEnd = end;
        return true;
    }
    case BenchField::SerialState:
        serialState = given;
        return true;
    case BenchField::UnitData:
        unitData = given;
        return true;
    }
    return false;
}

QString BenchConfig::text(BenchField field) const
{
    if (isDefault(field))
        return QString();
    switch (field) {
    case BenchField::Name:
        return name;
    case BenchField::File:
        return file;
    case BenchField::Sha256:
        return sha256;
    case BenchField::Ports:
        return ports.join(QStringLiteral(", "));
    case BenchField::SlotNames:
        return slotNames.join(QStringLiteral(", "));
    case BenchField::Record:
        return record;
    case BenchField::Audit:
        return audit;
    case BenchField::Database:
        return database;
    case BenchField::Mqtt:
        return mqtt;
    case BenchField::Metrics:
        return metrics;
    case BenchField::NextAfter:
        return number(nextAfterSeconds);
    case BenchField::WarnResends:
        return number(warnResendsPercent);
    case BenchField::Timeout:
        return QString::number(timeoutSeconds);
    case BenchField::MaxResends:
        return QString::number(maxResends);
    case BenchField::Settings:
        return settings;
    case BenchField::Handshaking:
        return QString::number(*handshaking);
    case BenchField::AddressRange:
        return rangeText(*addressRange);
    case BenchField::Force:
        return QStringLiteral("true");
    case BenchField::Quiet:
        return QStringLiteral("true");
    case BenchField::Serial:
        return serial->text();
    case BenchField::SerialStart:
        return QString::number(serialStart);
    case BenchField::SerialStep:
        return QString::number(serialStep);
    case BenchField::SerialEnd:
        return QString::number(*serialEnd);
    case BenchField::SerialState:
        return serialState;
    case BenchField::UnitData:
        return unitData;
    case BenchField::SerialSeries:
        return serialSeries;
    case BenchField::SerialBlock:
        return QString::number(serialBlock);
    case BenchField::Scanner:
        return scanner;
    case BenchField::RequireLabel:
        return QStringLiteral("true");
    case BenchField::LabelPattern:
        return labelPattern;
    case BenchField::Rework:
        return rework == Rework::New ? QStringLiteral("new") : QStringLiteral("refuse");
    }
    return QString();
}

bool BenchConfig::isDefault(BenchField field) const
{
    static const BenchConfig d;
    switch (field) {
    case BenchField::Name:
        return name == d.name;
    case BenchField::File:
        return file.isEmpty();
    case BenchField::Sha256:
        return sha256.isEmpty();
    case BenchField::Ports:
        return ports.isEmpty();
    case BenchField::SlotNames:
        return std::all_of(slotNames.begin(), slotNames.end(),
                           [](const QString& n) { return n.isEmpty(); });
    case BenchField::Record:
        return record.isEmpty();
    case BenchField::Audit:
        return audit.isEmpty();
    case BenchField::Database:
        return database.isEmpty();
    case BenchField::Mqtt:
        return mqtt.isEmpty();
    case BenchField::Metrics:
        return metrics.isEmpty();
    case BenchField::NextAfter:
        return nextAfterSeconds == d.nextAfterSeconds;
    case BenchField::WarnResends:
        return warnResendsPercent == d.warnResendsPercent;
    case BenchField::Timeout:
        return timeoutSeconds == d.timeoutSeconds;
    case BenchField::MaxResends:
        return maxResends == d.maxResends;
    case BenchField::Settings:
        return settings.isEmpty();
    case BenchField::Handshaking:
        return !handshaking;
    case BenchField::AddressRange:
        return !addressRange;
    case BenchField::Force:
        return !force;
    case BenchField::Quiet:
        return !quiet;
    case BenchField::Serial:
        return !serial;
    case BenchField::SerialStart:
        return serialStart == d.serialStart;
    case BenchField::SerialStep:
        return serialStep == d.serialStep;
    case BenchField::SerialEnd:
        return !serialEnd;
    case BenchField::SerialState:
        return serialState.isEmpty();
    case BenchField::UnitData:
        return unitData.isEmpty();
    case BenchField::SerialSeries:
        return serialSeries.isEmpty();
    case BenchField::SerialBlock:
        return serialBlock == d.serialBlock;
    case BenchField::Scanner:
        return scanner.isEmpty();
    case BenchField::RequireLabel:
        return !requireLabel;
    case BenchField::LabelPattern:
        return labelPattern.isEmpty();
    case BenchField::Rework:
        return rework == Rework::Keep;
    }
    return true;
}

bool BenchConfig::readFile(const QString& path, QString* error, const QList<BenchField>& skip,
                           QHash<BenchField, int>* lines)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("the config %1 cannot be read: %2").arg(path, raw.errorString());
        return false;
    }
    // The lines, for messages that name them; QSettings for the values, so
    // that what it writes (quotes, escapes, lists) reads back the same.
    QSettings values(path, QSettings::IniFormat);
    QString current;
    int line = 0;
    while (!raw.atEnd()) {
        const QString text = QString::fromUtf8(raw.readLine()).trimmed();
        ++line;
        if (text.isEmpty() || text.startsWith(QLatin1Char(';')) ||
            text.startsWith(QLatin1Char('#')))
            continue;
        const QString at = QStringLiteral("%1:%2").arg(path).arg(line);
        if (text.startsWith(QLatin1Char('['))) {
            current = text.mid(1, text.indexOf(QLatin1Char(']')) - 1).trimmed();
            if (current != group) {
                *error = QStringLiteral("%1: [%2] is not read: the keys go under [Station]")
                             .arg(at, current);
                return false;
            }
            continue;
        }
        const int equals = int(text.indexOf(QLatin1Char('=')));
        const QString key = text.left(equals).trimmed();
        if (equals < 0 || current.isEmpty()) {
            *error = QStringLiteral("%1: \"%2\" is not key = value under [Station]")
                         .arg(at, text.left(60));
            return false;
        }
        const std::optional<BenchField> field = fieldOfKey(key);
        if (!field) {
            QStringList keys;
            for (const FieldInfo& f : fields())
                keys << QLatin1String(f.key);
            *error = QStringLiteral("%1: unknown key \"%2\" (the keys are firmware-upload "
                                    "station's long options: %3)")
                         .arg(at, key, keys.join(QStringLiteral(", ")));
            return false;
        }
        if (skip.contains(*field))
            continue;
        if (lines)
            lines->insert(*field, line);
        const QVariant value = values.value(group + QLatin1Char('/') + key);
        const QString v = value.typeId() == QMetaType::QStringList
                              ? value.toStringList().join(QLatin1Char(','))
                              : value.toString();
        QString why;
        if (v.trimmed().isEmpty())
            why = QStringLiteral("has no value");
        else if (!set(*field, v, &why))
            why = QStringLiteral("%1: %2").arg(key, why);
        if (!why.isEmpty()) {
            *error = QStringLiteral("%1: %2").arg(
                at, why.startsWith(QLatin1String("has ")) ? key + QLatin1Char(' ') + why : why);
            return false;
        }
    }
    if (values.status() != QSettings::NoError) {
        *error = QStringLiteral("%1 is not an INI file QSettings reads").arg(path);
        return false;
    }
    return true;
}

bool BenchConfig::writeFile(const QString& path, QString* error) const
{
    QFile::remove(path);
    {
        QSettings out(path, QSettings::IniFormat);
        out.beginGroup(group);
        for (const FieldInfo& f : fields()) {
            if (!isDefault(f.field))
                out.setValue(QLatin1String(f.key), text(f.field));
        }
        out.endGroup();
        out.sync();
        if (out.status() == QSettings::NoError)
            return true;
    }
    *error = QStringLiteral("%1 could not be written").arg(path);
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

bool BenchConfig::readText(const QByteArray& text, const QString& name, QString* error)
{
    QTemporaryFile copy;
    if (!copy.open() || copy.write(text) != text.size() || !copy.flush()) {
        *error = QStringLiteral("%1 could not be read: no room for a copy").arg(name);
        return false;
    }
    if (readFile(copy.fileName(), error))
        return true;
    error->replace(copy.fileName(), name);
    return false;
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
