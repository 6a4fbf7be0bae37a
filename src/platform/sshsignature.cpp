#include "sshsignature.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace SshSignature {

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run keygen(const QStringList& arguments, const QByteArray& input = QByteArray())
{
    QProcess p;
    p.start(QStringLiteral("ssh-keygen"), arguments);
    Run run;
    if (!p.waitForStarted(5000))
        return run;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(1000);
        return run;
    }
    run.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    run.err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return run;
}

// "... with ED25519 key SHA256:9GD4..." as ssh-keygen says it.
QString fingerprintIn(const QString& said)
{
    static const QRegularExpression key(QStringLiteral("with (\\S+) key (SHA256:\\S+)"));
    const QRegularExpressionMatch m = key.match(said);
    return m.hasMatch() ? m.captured(1) + QLatin1Char(' ') + m.captured(2) : QString();
}

} // namespace

Verdict verify(const QByteArray& data, const QString& signaturePath, const QString& allowedSigners,
               const QString& nameSpace)
{
    Verdict v;
    if (!QFileInfo::exists(signaturePath)) {
        v.kind = Verdict::Kind::NoSignature;
        v.why = QStringLiteral("it is not signed: there is no %1").arg(signaturePath);
        return v;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ssh-keygen")).isEmpty()) {
        v.why = QStringLiteral("ssh-keygen (Debian's openssh-client) is needed to check its "
                               "signature");
        return v;
    }
    if (!QFileInfo(allowedSigners).isReadable()) {
        v.why = QStringLiteral("the allowed signers file %1 cannot be read").arg(allowedSigners);
        return v;
    }
    const Run found = keygen({"-Y", "find-principals", "-s", signaturePath, "-f", allowedSigners});
    const QString principal = found.code == 0 ? found.out.section(QLatin1Char('\n'), 0, 0) : QString();
    if (principal.isEmpty()) {
        // Whose key it is, if the signature itself holds.
        const Run sound =
            keygen({"-Y", "check-novalidate", "-n", nameSpace, "-s", signaturePath}, data);
        if (sound.code == 0) {
            v.kind = Verdict::Kind::UnknownKey;
            v.fingerprint = fingerprintIn(sound.out);
            v.why = QStringLiteral("it is signed by a key %1 does not name (%2)")
                        .arg(allowedSigners, v.fingerprint);
        } else {
            v.kind = Verdict::Kind::Bad;
            v.why = QStringLiteral("its signature does not match it: it was changed after signing, "
                                   "or signed for another use than %1, by a key %2 does not name")
                        .arg(nameSpace, allowedSigners);
        }
        return v;
    }
    const Run checked = keygen({"-Y", "verify", "-f", allowedSigners, "-I", principal, "-n",
                                nameSpace, "-s", signaturePath},
                               data);
    v.principal = principal;
    if (checked.code == 0) {
        v.kind = Verdict::Kind::Good;
        v.fingerprint = fingerprintIn(checked.out);
        return v;
    }
    v.kind = Verdict::Kind::Bad;
    v.why = QStringLiteral("its signature by %1 does not match it: it was changed after signing, "
                           "or signed for another use than %2")
                .arg(principal, nameSpace);
    return v;
}

} // namespace SshSignature
