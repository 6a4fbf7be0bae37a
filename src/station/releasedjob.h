#pragma once

#include "../platform/sshsignature.h"
#include "../records/jobidentity.h"
#include "benchconfig.h"
#include "stationpolicy.h"

#include <QJsonObject>
#include <QString>
#include <functional>

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

    QString path;      // absolute
    QString sha256;    // of the file as read
    BenchConfig bench; // refused: as far as it could be read, for where its refusal is audited
    SshSignature::Verdict signature;
    QString refusal; // why it may not run; empty when it may

    bool good() const { return refusal.isEmpty(); }
    JobIdentity identity() const { return {path, sha256, signature.principal}; }
    // For the audit trail: the job, its signer, and why it was refused.
    QJsonObject auditDetails() const;

    // Reads the job and its signature once, checks the signature over
    // those bytes against `signers` (as the policy gives them), parses the
    // bench from the same bytes, and checks that it pins the firmware's
    // SHA-256 and that the firmware on disk has it. `afterRead` is for
    // tests: what happens to the files once they were read.
    static ReleasedJob load(const QString& path, const StationPolicy::Signers& signers,
                            const std::function<void()>& afterRead = {});
};
