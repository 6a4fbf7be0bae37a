#include "stationconfig.h"

#include <QFile>
#include <QSettings>

namespace {
const QString group = QStringLiteral("Station");
}

const QStringList& StationConfig::keys()
{
    static const QStringList k = {
        "name",        "file",          "ports",        "sha256",    "record",      "database",
        "metrics",     "next-after",    "warn-resends", "timeout",   "max-resends", "settings",
        "handshaking", "address-range", "force",        "quiet",     "serial",      "serial-start",
        "serial-step", "serial-end",    "serial-state", "unit-data",
    };
    return k;
}

std::optional<StationConfig> StationConfig::read(const QString& path, QString* error)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("the config %1 cannot be read: %2").arg(path, raw.errorString());
        return std::nullopt;
    }
    StationConfig config;
    config.path = path;
    // The lines, for messages that name them; QSettings for the values, so
    // that what it writes (quotes, escapes, lists) reads back the same.
    QSettings settings(path, QSettings::IniFormat);
    QString current;
    int number = 0;
    while (!raw.atEnd()) {
        const QString line = QString::fromUtf8(raw.readLine()).trimmed();
        ++number;
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        const QString at = QStringLiteral("%1:%2").arg(path).arg(number);
        if (line.startsWith(QLatin1Char('['))) {
            current = line.mid(1, line.indexOf(QLatin1Char(']')) - 1).trimmed();
            if (current != group) {
                *error = QStringLiteral("%1: [%2] is not read: the keys go under [Station]")
                             .arg(at, current);
                return std::nullopt;
            }
            continue;
        }
        const int equals = int(line.indexOf(QLatin1Char('=')));
        const QString key = line.left(equals).trimmed();
        if (equals < 0 || current.isEmpty()) {
            *error = QStringLiteral("%1: \"%2\" is not key = value under [Station]")
                         .arg(at, line.left(60));
            return std::nullopt;
        }
        if (!keys().contains(key)) {
            *error = QStringLiteral("%1: unknown key \"%2\" (the keys are firmware-upload's long "
                                    "options: %3)")
                         .arg(at, key, keys().join(QStringLiteral(", ")));
            return std::nullopt;
        }
        const QVariant value = settings.value(group + QLatin1Char('/') + key);
        const QString text = value.typeId() == QMetaType::QStringList
                                 ? value.toStringList().join(QLatin1Char(','))
                                 : value.toString();
        if (text.trimmed().isEmpty()) {
            *error = QStringLiteral("%1: %2 has no value").arg(at, key);
            return std::nullopt;
        }
        config.entries.append({key, text.trimmed(), number});
    }
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("%1 is not an INI file QSettings reads").arg(path);
        return std::nullopt;
    }
    return config;
}

bool StationConfig::write(const QString& path, const QVector<QPair<QString, QString>>& entries,
                          QString* error)
{
    QFile::remove(path);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup(group);
        for (const auto& [key, value] : entries)
            settings.setValue(key, value);
        settings.endGroup();
        settings.sync();
        if (settings.status() == QSettings::NoError)
            return true;
    }
    *error = QStringLiteral("%1 could not be written").arg(path);
    return false;
}

bool StationConfig::arguments(bool portsGiven, bool fileGiven, Arguments* arguments,
                              QString* error) const
{
    *arguments = Arguments();
    for (const Entry& e : entries) {
        if (e.key == QLatin1String("file")) {
            if (!fileGiven)
                arguments->file << e.value;
        } else if (e.key == QLatin1String("ports")) {
            if (portsGiven)
                continue;
            for (const QString& p : e.value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                arguments->options << QStringLiteral("--port") << p.trimmed();
            arguments->where.insert(QStringLiteral("port"), where(e));
        } else if (e.key == QLatin1String("force") || e.key == QLatin1String("quiet")) {
            const QString v = e.value.toLower();
            if (v != QLatin1String("true") && v != QLatin1String("false")) {
                *error = QStringLiteral("%1: \"%2\" is not true or false")
                             .arg(where(e), e.value.left(80));
                return false;
            }
            if (v == QLatin1String("true"))
                arguments->options << QStringLiteral("--") + e.key;
        } else {
            const QString option =
                e.key == QLatin1String("name") ? QStringLiteral("station-name") : e.key;
            arguments->options << QStringLiteral("--") + option << e.value;
            arguments->where.insert(option, where(e));
        }
    }
    return true;
}

const StationConfig::Entry* StationConfig::find(const QString& key) const
{
    for (const Entry& e : entries) {
        if (e.key == key)
            return &e;
    }
    return nullptr;
}

QString StationConfig::where(const Entry& entry) const
{
    return QStringLiteral("%1:%2: %3").arg(path).arg(entry.line).arg(entry.key);
}
