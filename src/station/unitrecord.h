#pragma once

#include "../records/jobidentity.h"
#include "../records/recordfile.h"
#include "../records/recordwords.h"
#include "unitnumbering.h"

#include <QDateTime>
#include <QJsonObject>
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
    JobIdentity job;      // the released job it was flashed under, if any
    QString operatorName; // the account running the station, or the unlocking engineer
    QString imageSha256;  // of the bytes this unit got, its own values in place
    QString label;        // scanned off the unit, if any
    bool rework = false;  // its label's unit passed before
    QString reworkOf;     // that earlier record's id
    QString permitOrder;  // the work order whose permit the unit spent
    quint64 permitNumber = 0;
    int permitUnits = 0;  // the order's quantity

    double resendPercent() const { return lines > 0 ? 100.0 * resends / lines : 0.0; }
    QByteArray toJsonLine() const; // with its LF
    // A record line read back, as far as its fields go (a bench's client
    // shows what the service recorded).
    static std::optional<UnitRecord> fromJson(const QJsonObject& line);
};
