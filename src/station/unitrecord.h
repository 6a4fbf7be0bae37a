#pragma once

#include "../records/recordwords.h"
#include "unitnumbering.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVector>
#include <optional>

// One unit, as the station's record keeps it: a JSON object on a line of
// its own (JSON Lines). Fields are never renamed; new ones are only added.
struct UnitRecord {
    static constexpr int Schema = 1;

    QUuid id; // made for each unit, so a copy sent twice is one row
    QString station;
    QString slot; // the port as given
    QString device;
    QStringList byId, byPath;
    QString file;
    QString sha256;
    qint64 bytes = 0;
    int lines = 0;
    QDateTime started, ended;
    double seconds = 0;
    UnitResult result = UnitResult::Pass;
    QString reason;  // why it failed, or was interrupted
    QString warning; // a unit that passed, but asks for attention
    int linesSent = 0;
    int resends = 0;
    int worstLine = 0;
    int worstLineResends = 0;
    QString loaderVersion;
    UnitValues own; // the unit's serial number and data, when it has them

    double resendPercent() const { return lines > 0 ? 100.0 * resends / lines : 0.0; }
    QByteArray toJsonLine() const; // with its LF
};

// The record file: opened for appending, one write per unit, each flushed
// to the disk before the slot goes on, so that a crash or a power cut
// leaves whole lines only and two stations may append to one local file. A
// write that falls short (a full disk) is taken back, so the file still
// holds whole lines only.
class RecordFile
{
public:
    ~RecordFile();
    [[nodiscard]] bool open(const QString& path, QString* error);
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    [[nodiscard]] bool append(const UnitRecord& record, QString* error);
    // One line, its LF included.
    [[nodiscard]] bool appendLine(const QByteArray& line, QString* error);
    void close();

private:
    int m_fd = -1;
    QString m_path;
};
