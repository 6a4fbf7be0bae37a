#pragma once

#include "status.h"

#include <QString>
#include <optional>

// The four persisted port values, all text, under one application name and
// the section "Properties".
enum class PortSetting { Settings, CommPort, Handshaking, Echo };

QString portSettingKey(PortSetting setting);

// Per-user store: an INI file $XDG_CONFIG_HOME/<application>.conf elsewhere,
// the registry on Windows.
class PortSettingsStore
{
public:
    static QString section() { return QStringLiteral("Properties"); }

    // The stored text, or `defaultValue` when the key is absent.
    static QString read(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue);
    // Creates what is missing; a failure says why the value did not reach
    // the store.
    static Status write(const QString& application, const QString& section, const QString& key,
                        const QString& value);
    // A store that is not a regular file is never opened: it reads as empty.
    static Status usable(const QString& application);

    static QString read(const QString& application, PortSetting setting)
    {
        return read(application, section(), portSettingKey(setting), QString());
    }
    static Status write(const QString& application, PortSetting setting, const QString& value)
    {
        return write(application, section(), portSettingKey(setting), value);
    }

    static QString filePath(const QString& application);
};

// Conversions of stored text. Surrounding blanks are allowed; fractions and
// out-of-range numbers are refused with a description naming the value.
Status convertToInt16(const QString& text, const QString& what, qint16* out);
Status convertToInt32(const QString& text, const QString& what, qint32* out);

// "True"/"False" in any letter case, or a number (non-zero is true); any
// other text does not convert.
std::optional<bool> convertToBoolean(const QString& text);

inline QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
