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
    if (own.unitDataLine > 0) {
        QJsonArray patches;
        for (const ImagePatch& p : own.unitData)
            patches.append(p.text());
        o.insert("unit_data", QJsonObject{{"line", own.unitDataLine}, {"patches", patches}});
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}
