#pragma once

#include "recordfile.h"

#include <QJsonObject>
#include <QString>

// A station's audit trail: what happened to the bench (a job verified or
// refused, the station started and stopped, unlocked and locked, a setting
// changed, the firmware on disk changed) as JSON Lines beside its record,
// each line written whole and flushed as the record's are. Each line
// carries the SHA-256 of the line before it ("prev"; empty on the first),
// so an edited line, one taken out or one put in between breaks the chain
// where it happened. Stations that share a trail take turns with a lock.
class AuditTrail
{
public:
    static constexpr int Schema = 1;

    AuditTrail() : m_file(QStringLiteral("audit trail")) {}
    [[nodiscard]] bool open(const QString& path, QString* error);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.path(); }
    void close() { m_file.close(); }

    // One event ("station-started") with its details; the trail adds its
    // schema, id, time and prev.
    [[nodiscard]] bool append(const QString& event, const QJsonObject& details, QString* error);
    // The same into the trail at `path`, opened for this line alone (a job
    // refused before any station opens its own).
    [[nodiscard]] static bool note(const QString& path, const QString& event,
                                   const QJsonObject& details, QString* error);

    struct Check {
        int lines = 0;
        int broken = 0; // the first line that breaks the chain; 0 when it holds
        QString why;
    };
    static Check verify(const QString& path);

private:
    RecordFile m_file;
};
