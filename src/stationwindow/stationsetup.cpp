#include "stationsetup.h"

#include <QCoreApplication>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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
    setup.bench.readStore(store);
    store.beginGroup(QStringLiteral("Station"));
    setup.fullScreen = store.value(QStringLiteral("FullScreen"), false).toBool();
    setup.soundOnFailure = store.value(QStringLiteral("SoundOnFailure"), false).toBool();
    setup.language = store.value(QStringLiteral("Language")).toString();
    store.endGroup();
    return setup;
}

bool StationSetup::save(QString* error) const
{
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    QSettings store(storePath(), QSettings::IniFormat);
    bench.writeStore(store);
    store.beginGroup(QStringLiteral("Station"));
    store.setValue(QStringLiteral("FullScreen"), fullScreen);
    store.setValue(QStringLiteral("SoundOnFailure"), soundOnFailure);
    if (language.isEmpty())
        store.remove(QStringLiteral("Language"));
    else
        store.setValue(QStringLiteral("Language"), language);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError) {
        *error =
            QCoreApplication::translate("StationSetup",
                                        "The station's settings could not be saved to %1.")
                .arg(storePath());
        return false;
    }
    return true;
}
