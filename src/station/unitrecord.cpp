#include "unitrecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString isoTime(const QDateTime& t)
{
    // With the local offset, so that a record read anywhere names the moment.
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

QByteArray UnitRecord::toJsonLine() const
{
    QJsonObject device_{{"path", device},
                        {"by_id", QJsonArray::fromStringList(byId)},
                        {"by_path", QJsonArray::fromStringList(byPath)}};
    QJsonObject o{{"schema", Schema},
                  {"id", id.toString(QUuid::WithoutBraces)},
                  {"station", station},
                  {"slot", slot},
                  {"device", device_},
                  {"file", file},
                  {"sha256", sha256},
                  {"bytes", bytes},
                  {"lines", lines},
                  {"started", isoTime(started)},
                  {"ended", isoTime(ended)},
                  {"seconds", qRound(seconds * 1000) / 1000.0},
                  {"result", RecordWords::result(result)},
                  {"reason", reason},
                  {"warning", warning},
                  {"lines_sent", linesSent},
                  {"resends", resends},
                  {"resend_percent", qRound(resendPercent() * 100) / 100.0},
                  {"worst_line", QJsonObject{{"line", worstLine}, {"resends", worstLineResends}}},
                  {"loader_version", loaderVersion}};
    if (own.hasSerial) {
        o.insert(
            "serial",
            QJsonObject{{"number", qint64(own.serial)},
                        {"address", ImagePatch::hexAddress(own.serialPatch.address)},
                        {"bytes", QString::fromLatin1(own.serialPatch.bytes.toHex().toUpper())}});
    }
    if (!job.isEmpty())
        o.insert("job", job.toJson());
    if (!operatorName.isEmpty())
        o.insert("operator", operatorName);
    if (!imageSha256.isEmpty())
        o.insert("image_sha256", imageSha256);
    if (!label.isEmpty())
        o.insert("label", label);
    if (rework) {
        o.insert("rework", true);
        o.insert("rework_of", reworkOf);
    }
    if (!permitOrder.isEmpty())
        o.insert("permit", QJsonObject{{"order", permitOrder},
                                       {"number", qint64(permitNumber)},
                                       {"units", permitUnits}});
    if (own.unitDataLine > 0) {
        QJsonArray patches;
        for (const ImagePatch& p : own.unitData)
            patches.append(p.text());
        o.insert("unit_data", QJsonObject{{"line", own.unitDataLine}, {"patches", patches}});
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<UnitRecord> UnitRecord::fromJson(const QJsonObject& o)
{
    const std::optional<UnitResult> result = RecordWords::resultOf(o.value("result").toString());
    if (!result)
        return std::nullopt;
    UnitRecord r;
    r.result = *result;
    r.id = QUuid::fromString(o.value("id").toString());
    r.station = o.value("station").toString();
    r.slot = o.value("slot").toString();
    r.device = o.value("device").toObject().value("path").toString();
    r.file = o.value("file").toString();
    r.sha256 = o.value("sha256").toString();
    r.bytes = o.value("bytes").toInteger();
    r.lines = o.value("lines").toInt();
    r.started = QDateTime::fromString(o.value("started").toString(), Qt::ISODateWithMs);
    r.ended = QDateTime::fromString(o.value("ended").toString(), Qt::ISODateWithMs);
    r.seconds = o.value("seconds").toDouble();
    r.reason = o.value("reason").toString();
    r.warning = o.value("warning").toString();
    r.linesSent = o.value("lines_sent").toInt();
    r.resends = o.value("resends").toInt();
    r.worstLine = o.value("worst_line").toObject().value("line").toInt();
    r.worstLineResends = o.value("worst_line").toObject().value("resends").toInt();
    r.loaderVersion = o.value("loader_version").toString();
    if (o.value("serial").isObject()) {
        r.own.hasSerial = true;
        r.own.serial = quint64(o.value("serial").toObject().value("number").toInteger());
    }
    const QJsonObject job = o.value("job").toObject();
    r.job = {job.value("file").toString(), job.value("sha256").toString(),
             job.value("signer").toString()};
    r.operatorName = o.value("operator").toString();
    r.imageSha256 = o.value("image_sha256").toString();
    r.label = o.value("label").toString();
    r.rework = o.value("rework").toBool();
    r.reworkOf = o.value("rework_of").toString();
    r.permitOrder = o.value("permit").toObject().value("order").toString();
    r.permitNumber = quint64(o.value("permit").toObject().value("number").toInteger());
    r.permitUnits = o.value("permit").toObject().value("units").toInt();
    return r;
}
