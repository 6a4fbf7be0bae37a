#include "releasedjob.h"

#include "../upload/firmwarefile.h"

#include <QCryptographicHash>
#include <QDate>
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

ReleasedJob ReleasedJob::load(const QString& path, const StationPolicy::Signers& signers,
                              const std::function<void()>& afterRead)
{
    constexpr qint64 Largest = 4 * 1024 * 1024; // a bench's text, not a disk image
    ReleasedJob job;
    job.path = QFileInfo(path).absoluteFilePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        job.refusal = QStringLiteral("the job %1 cannot be read: %2").arg(path, file.errorString());
        return job;
    }
    const QByteArray bytes = file.read(Largest + 1);
    file.close();
    if (bytes.size() > Largest) {
        job.refusal =
            QStringLiteral("the job %1 is refused: it is too large to be a bench").arg(path);
        return job;
    }
    job.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    const QString sigPath = path + QStringLiteral(".sig");
    QFile sigFile(sigPath);
    const bool signedFile = sigFile.open(QIODevice::ReadOnly);
    const QByteArray sig = signedFile ? sigFile.read(Largest) : QByteArray();
    sigFile.close();
    if (afterRead)
        afterRead();
    if (!signers.problem.isEmpty()) {
        job.signature.why = signers.problem;
    } else if (!signedFile) {
        job.signature.kind = SshSignature::Verdict::Kind::NoSignature;
        job.signature.why = QStringLiteral("it is not signed: there is no %1").arg(sigPath);
    } else {
        job.signature = SshSignature::verify(bytes, sig, signers.bytes, signers.path, nameSpace());
    }
    // One parse of the bytes checked. A refused job's bench only tells
    // where its refusal is audited; nothing of it runs.
    QString why;
    const bool parsed = job.bench.readText(bytes, path, &why);
    if (job.signature.kind != SshSignature::Verdict::Kind::Good) {
        job.refusal = QStringLiteral("the job %1 is refused: %2").arg(path, job.signature.why);
        return job;
    }
    if (!parsed) {
        job.refusal = QStringLiteral("the job %1 is refused: %2").arg(path, why);
        return job;
    }
    if (job.bench.sha256.isEmpty()) {
        job.refusal = QStringLiteral("the job %1 is refused: it pins no sha256, and a released job "
                                     "names the build it releases")
                          .arg(path);
        return job;
    }
    // A release that ends: the day after it, the job runs no more.
    if (job.bench.validUntil.isValid() && QDate::currentDate() > job.bench.validUntil) {
        job.refusal = QStringLiteral("the job %1 is refused: it was released until %2, and today "
                                     "is %3")
                          .arg(path, job.bench.validUntil.toString(Qt::ISODate),
                               QDate::currentDate().toString(Qt::ISODate));
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
