#pragma once

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// A bench's settings in an INI file (QSettings' format): a [Station] group
// whose keys are firmware-upload's long options ("ports" a comma-separated
// list, "name" the station's name, "file" the firmware file), so a bench
// can run unattended from it. What the command line also gives wins.
struct StationConfig {
    struct Entry {
        QString key;
        QString value;
        int line = 0;
    };
    QString path;
    QVector<Entry> entries; // in the file's order

    // The keys a [Station] group may hold.
    static const QStringList& keys();
    // An unknown key, a group other than [Station] or an empty value is an
    // error naming the file, the key and the line.
    static std::optional<StationConfig> read(const QString& path, QString* error);
    // Writes such a file whole (the station window's export).
    [[nodiscard]] static bool
    write(const QString& path, const QVector<QPair<QString, QString>>& entries, QString* error);

    // The entries as firmware-upload's options: "--next-after 2", a
    // "--port" for each of the ports, "--force" for force = true, and the
    // firmware file alone. What the command line gives already is left out.
    struct Arguments {
        QStringList options;
        QStringList file;              // the positional firmware file, if any
        QHash<QString, QString> where; // option -> "bench.conf:7: timeout"
    };
    [[nodiscard]] bool arguments(bool portsGiven, bool fileGiven, Arguments* arguments,
                                 QString* error) const;

    const Entry* find(const QString& key) const;
    // "bench.conf:7: timeout" for a message about that key.
    QString where(const Entry& entry) const;
};
