#include "releasedjob.h"

#include "../upload/firmwarefile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

QJsonObject ReleasedJob::auditDetails() const
{
    QJsonObject job = identity().toJson();
    if (!signature.fingerprint.isEmpty())
        job.insert("key", signature.fingerprint);
    QJsonObject details{{"job", job}};
    if (!refusal.isEmpty())
        details.insert("why", refusal);
    return details;
}

ReleasedJob ReleasedJob::load(const QString& path, const QString& allowedSigners)
{
    ReleasedJob job;
    job.path = QFileInfo(path).absoluteFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        job.refusal = QStringLiteral("the job %1 cannot be read: %2").arg(path, file.errorString());
        return job;
    }
    const QByteArray bytes = file.readAll();
    job.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    job.signature =
        SshSignature::verify(bytes, path + QStringLiteral(".sig"), allowedSigners, nameSpace());
    if (job.signature.kind != SshSignature::Verdict::Kind::Good) {
        job.refusal = QStringLiteral("the job %1 is refused: %2").arg(path, job.signature.why);
        return job;
    }
    QString why;
    if (!job.bench.readText(bytes, path, &why)) {
        job.refusal = QStringLiteral("the job %1 is refused: %2").arg(path, why);
        return job;
    }
    if (job.bench.sha256.isEmpty()) {
        job.refusal = QStringLiteral("the job %1 is refused: it pins no sha256, and a released job "
                                     "names the build it releases")
                          .arg(path);
        return job;
    }
    if (job.bench.file.isEmpty()) {
        job.refusal = QStringLiteral("the job %1 is refused: it names no file").arg(path);
        return job;
    }
    const std::optional<QString> onDisk = FirmwareFile::digest(job.bench.file, &why);
    if (!onDisk) {
        job.refusal = QStringLiteral("the job %1 is refused: %2").arg(path, why);
    } else if (*onDisk != job.bench.sha256) {
        job.refusal =
            QStringLiteral("the job %1 is refused: the firmware %2 on disk has the SHA-256 "
                           "%3, not the %4 the job releases")
                .arg(path, job.bench.file, *onDisk, job.bench.sha256);
    }
    return job;
}

QList<BenchField> ReleasedJob::fixedFields(const BenchConfig& job)
{
    QList<BenchField> fixed = {BenchField::File, BenchField::Sha256, BenchField::Ports,
                               BenchField::SlotNames, BenchField::Serial, BenchField::SerialStart,
                               BenchField::SerialStep, BenchField::SerialEnd,
                               BenchField::SerialState, BenchField::UnitData, BenchField::Record,
                               BenchField::Audit, BenchField::SerialSeries, BenchField::SerialBlock,
                               // a rework's number is the job's to decide
                               BenchField::Rework};
    for (const BenchConfig::FieldInfo& f : BenchConfig::fields()) {
        if (!job.isDefault(f.field) && !fixed.contains(f.field))
            fixed << f.field;
    }
    return fixed;
}
