#include "stationsetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString group = QStringLiteral("Station");
}

QString StationSetup::storePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tarvel Labs Firmware Station.conf");
}

QString StationSetup::defaultRecordPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/units.jsonl");
}

StationSetup StationSetup::load()
{
    StationSetup setup;
    QSettings store(storePath(), QSettings::IniFormat);
    store.beginGroup(group);
    setup.firmware = store.value(QStringLiteral("Firmware")).toString();
    setup.pinnedDigest = store.value(QStringLiteral("PinnedSha256")).toString();
    setup.recordPath = store.value(QStringLiteral("Record")).toString();
    setup.serial = store.value(QStringLiteral("Serial")).toString();
    setup.serialStart = store.value(QStringLiteral("SerialStart"), 1).toULongLong();
    setup.serialStep = qMax<quint64>(1, store.value(QStringLiteral("SerialStep"), 1).toULongLong());
    setup.serialEnd = store.value(QStringLiteral("SerialEnd")).toString();
    setup.database = store.value(QStringLiteral("Database")).toString();
    setup.fullScreen = store.value(QStringLiteral("FullScreen"), false).toBool();
    setup.soundOnFailure = store.value(QStringLiteral("SoundOnFailure"), false).toBool();
    SlotHost::Settings& slot = setup.slotSettings;
    slot.stationName = store.value(QStringLiteral("StationName"), slot.stationName).toString();
    bool ok = false;
    // A value that is no number, or out of range, leaves the default.
    const auto number = [&](const char* key, double low, double high, double fallback) {
        const double v = store.value(QLatin1String(key)).toDouble(&ok);
        return ok && v >= low && v <= high ? v : fallback;
    };
    slot.nextAfterSeconds = number("NextAfter", 0.1, 3600, slot.nextAfterSeconds);
    slot.timeoutSeconds = int(number("Timeout", 1, 86400, slot.timeoutSeconds));
    slot.maximumRejections = int(number("MaxResends", 1, 1000000, slot.maximumRejections));
    slot.warnResendsPercent = number("WarnResends", 0, 100, slot.warnResendsPercent);
    const int count = store.beginReadArray(QStringLiteral("Slots"));
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        const QString port = store.value(QStringLiteral("Port")).toString();
        if (!port.isEmpty())
            setup.benchSlots.append({port, store.value(QStringLiteral("Name")).toString()});
    }
    store.endArray();
    return setup;
}

bool StationSetup::save(QString* error) const
{
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    QSettings store(storePath(), QSettings::IniFormat);
    store.beginGroup(group);
    store.setValue(QStringLiteral("Firmware"), firmware);
    store.setValue(QStringLiteral("PinnedSha256"), pinnedDigest);
    store.setValue(QStringLiteral("Record"), recordPath);
    store.setValue(QStringLiteral("Serial"), serial);
    store.setValue(QStringLiteral("SerialStart"), serialStart);
    store.setValue(QStringLiteral("SerialStep"), serialStep);
    store.setValue(QStringLiteral("SerialEnd"), serialEnd);
    store.setValue(QStringLiteral("Database"), database);
    store.setValue(QStringLiteral("FullScreen"), fullScreen);
    store.setValue(QStringLiteral("SoundOnFailure"), soundOnFailure);
    store.remove(QStringLiteral("Slots"));
    store.beginWriteArray(QStringLiteral("Slots"), int(benchSlots.size()));
    for (int i = 0; i < benchSlots.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("Port"), benchSlots[i].port);
        store.setValue(QStringLiteral("Name"), benchSlots[i].name);
    }
    store.endArray();
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError) {
        *error =
            QStringLiteral("The station's settings could not be saved to %1.").arg(storePath());
        return false;
    }
    return true;
}

bool StationSetup::numbering(const QString& record, UnitNumbering::Options* options,
                             QString* error) const
{
    *options = UnitNumbering::Options();
    if (serial.isEmpty())
        return true;
    options->serial = SerialFormat::parse(serial, error);
    if (!options->serial)
        return false;
    options->start = serialStart;
    options->step = serialStep;
    if (!serialEnd.isEmpty()) {
        bool ok = false;
        options->end = serialEnd.toULongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("the last serial number \"%1\" is no whole number")
                         .arg(elided(serialEnd));
            return false;
        }
    }
    // Beside the record, as the command-line station keeps it.
    options->statePath = record + QStringLiteral(".serial");
    return true;
}
