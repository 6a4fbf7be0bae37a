#include "portsettingsstore.h"

#include "applicationtitle.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <memory>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

std::unique_ptr<QSettings> openStore(const QString& application)
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, application);
#else
    return std::make_unique<QSettings>(PortSettingsStore::filePath(application),
                                       QSettings::IniFormat);
#endif
}

bool parseWholeNumber(const QString& text, qint64* out)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 18)
        return false;
    int i = 0;
    if (t[0] == QLatin1Char('+') || t[0] == QLatin1Char('-'))
        i = 1;
    if (i == t.size())
        return false;
    for (int k = i; k < t.size(); ++k) {
        if (!t[k].isDigit() || t[k].unicode() > 127)
            return false;
    }
    bool ok = false;
    *out = t.toLongLong(&ok);
    return ok;
}

Status convertToRange(const QString& text, const QString& what, qint64 low, qint64 high,
                      qint64* out)
{
    if (!parseWholeNumber(text, out)) {
        return Status::failure(
            QStringLiteral("The stored %1 \"%2\" is not a whole number.").arg(what, elided(text)));
    }
    if (*out < low || *out > high) {
        return Status::failure(QStringLiteral("The stored %1 \"%2\" is out of range (%3 to %4).")
                                   .arg(what, elided(text))
                                   .arg(low)
                                   .arg(high));
    }
    return Status::ok();
}

} // namespace

QString portSettingKey(PortSetting setting)
{
    switch (setting) {
    case PortSetting::Settings:
        return QStringLiteral("Settings");
    case PortSetting::CommPort:
        return QStringLiteral("CommPort");
    case PortSetting::Handshaking:
        return QStringLiteral("Handshaking");
    case PortSetting::Echo:
        return QStringLiteral("Echo");
    }
    return QString();
}

QString PortSettingsStore::filePath(const QString& application)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + application + QLatin1String(".conf");
}

Status PortSettingsStore::usable(const QString& application)
{
#ifdef Q_OS_WIN
    Q_UNUSED(application);
    return Status::ok();
#else
    // Opening a FIFO would wait for a writer for ever; a folder or a device
    // is no settings file either.
    const QString path = filePath(application);
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return Status::ok();
    const QString kind = S_ISDIR(st.st_mode)    ? QStringLiteral("a folder")
                         : S_ISFIFO(st.st_mode) ? QStringLiteral("a FIFO")
                         : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)
                             ? QStringLiteral("a device")
                             : QStringLiteral("a special file");
    return Status::failure(
        QStringLiteral("%1 is %2, not a regular file, so it holds no settings").arg(path, kind));
#endif
}

QString PortSettingsStore::read(const QString& application, const QString& section,
                                const QString& key, const QString& defaultValue)
{
    if (const Status status = usable(application); status.failed()) {
        static QSet<QString> warned;
        if (!warned.contains(status.description())) {
            warned.insert(status.description());
            qWarning("%s: %s; the defaults are used.", qPrintable(applicationTitle()),
                     qPrintable(status.description()));
        }
        return defaultValue;
    }
    auto store = openStore(application);
    const QVariant value = store->value(section + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited INI value with bare commas comes back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

Status PortSettingsStore::write(const QString& application, const QString& section,
                                const QString& key, const QString& value)
{
    if (const Status status = usable(application); status.failed())
        return status;
    auto store = openStore(application);
    store->setValue(section + QLatin1Char('/') + key, value);
    store->sync();
    if (store->status() == QSettings::NoError)
        return Status::ok();
#ifdef Q_OS_WIN
    return Status::failure(QStringLiteral("the registry refused the value"));
#else
    const QString path = filePath(application);
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.exists() && !file.isWritable())
        return Status::failure(QStringLiteral("%1 is read-only").arg(path));
    if (!folder.exists())
        return Status::failure(QStringLiteral("the folder %1 does not exist and cannot be made")
                                   .arg(folder.absoluteFilePath()));
    if (!folder.isWritable())
        return Status::failure(
            QStringLiteral("the folder %1 cannot be written").arg(folder.absoluteFilePath()));
    return Status::failure(QStringLiteral("%1 could not be written").arg(path));
#endif
}

Status convertToInt16(const QString& text, const QString& what, qint16* out)
{
    qint64 v = 0;
    const Status s = convertToRange(text, what, -32768, 32767, &v);
    if (s.isOk())
        *out = static_cast<qint16>(v);
    return s;
}

Status convertToInt32(const QString& text, const QString& what, qint32* out)
{
    qint64 v = 0;
    const Status s = convertToRange(text, what, -2147483647LL - 1, 2147483647LL, &v);
    if (s.isOk())
        *out = static_cast<qint32>(v);
    return s;
}

std::optional<bool> convertToBoolean(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (ok)
        return number != 0.0;
    return std::nullopt;
}
