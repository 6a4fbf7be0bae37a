#pragma once

#include "../platform/sshsignature.h"
#include "../records/jobidentity.h"
#include "benchconfig.h"

#include <QJsonObject>
#include <QString>

// A bench released by an engineer: a bench config (its [Station] group)
// that pins the firmware's SHA-256, signed with OpenSSH as git signs
// commits ("ssh-keygen -Y sign -f KEY -n firmware-job bench.conf" writes
// bench.conf.sig), by a key an allowed_signers file names. The file is read
// once; its signature, its bench and its digest are all of those bytes.
struct ReleasedJob {
    static QString nameSpace() { return QStringLiteral("firmware-job"); }
    static QString defaultAllowedSigners()
    {
        return QStringLiteral("/etc/firmware-station/allowed_signers");
    }

    QString path;   // absolute
    QString sha256; // of the file as read
    BenchConfig bench;
    SshSignature::Verdict signature;
    QString refusal; // why it may not run; empty when it may

    bool good() const { return refusal.isEmpty(); }
    JobIdentity identity() const { return {path, sha256, signature.principal}; }
    // For the audit trail: the job, its signer, and why it was refused.
    QJsonObject auditDetails() const;

    // Reads the job and checks its signature, that it pins the firmware's
    // SHA-256, and that the firmware on disk has it.
    static ReleasedJob load(const QString& path, const QString& allowedSigners);
    // What a job fixes, which the command line may not give beside it: the
    // file, its digest, the ports, the serial numbers and unit data, the
    // record, and whatever else the job sets.
    static QList<BenchField> fixedFields(const BenchConfig& job);
};
