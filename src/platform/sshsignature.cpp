#include "sshsignature.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

#ifndef SSH_KEYGEN
#define SSH_KEYGEN "/usr/bin/ssh-keygen"
#endif

namespace SshSignature {

namespace {

// SSH wire strings: a big-endian length, then the bytes.
bool takeString(const QByteArray& data, int* at, QByteArray* out)
{
    if (*at + 4 > data.size())
        return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData() + *at);
    const quint32 length = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
    if (length > quint32(data.size() - *at - 4))
        return false;
    *out = data.mid(*at + 4, int(length));
    *at += 4 + int(length);
    return true;
}

QString keyTypeWord(const QByteArray& type)
{
    if (type == "ssh-ed25519")
        return QStringLiteral("ED25519");
    if (type == "sk-ssh-ed25519@openssh.com")
        return QStringLiteral("ED25519-SK");
    if (type == "ssh-rsa")
        return QStringLiteral("RSA");
    if (type.startsWith("ecdsa-sha2-"))
        return QStringLiteral("ECDSA");
    if (type.startsWith("sk-ecdsa-sha2-"))
        return QStringLiteral("ECDSA-SK");
    return QString::fromLatin1(type).toUpper();
}

// The fields of an allowed_signers line, quotes kept together:
// principals [options] keytype base64 [comment].
QList<QByteArray> fieldsOf(const QByteArray& line)
{
    QList<QByteArray> fields;
    QByteArray current;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        if ((c == ' ' || c == '\t') && !quoted) {
            if (!current.isEmpty())
                fields << current;
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.isEmpty())
        fields << current;
    return fields;
}

struct SignerLine {
    QString principal; // the one given to ssh-keygen -I
};

// The lines of the allowed signers that name `key` itself (not as a
// certificate authority), in their order.
QList<SignerLine> linesNaming(const QByteArray& allowed, const QByteArray& key)
{
    QList<SignerLine> found;
    for (const QByteArray& raw : allowed.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> f = fieldsOf(line);
        for (int i = 1; i + 1 < f.size(); ++i) {
            // The key is the first field that decodes to a blob of its own type.
            QByteArray blob =
                QByteArray::fromBase64(f[i + 1], QByteArray::AbortOnBase64DecodingErrors);
            int at = 0;
            QByteArray type;
            if (blob.isEmpty() || !takeString(blob, &at, &type) || type != f[i])
                continue;
            if (blob == key && !(i == 2 && f[1].contains("cert-authority"))) {
                // The first principal that is a name, not a pattern.
                const QList<QByteArray> names = f[0].split(',');
                QString chosen = QString::fromUtf8(names.first());
                for (const QByteArray& n : names) {
                    if (!n.contains('*') && !n.contains('?') && !n.startsWith('!')) {
                        chosen = QString::fromUtf8(n);
                        break;
                    }
                }
                found << SignerLine{chosen};
            }
            break;
        }
    }
    return found;
}

// ssh-keygen's exit code; -1 when it did not run to its end.
int keygen(const QStringList& arguments, const QByteArray& input, QString* said)
{
    QProcess p;
    QProcessEnvironment clean;
    clean.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    clean.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    p.setProcessEnvironment(clean);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(keygenPath(), arguments);
    if (!p.waitForStarted(5000))
        return -1;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(1000);
        return -1;
    }
    if (said)
        *said = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

QString keygenPath()
{
    return QStringLiteral(SSH_KEYGEN);
}

QString fingerprint(const QByteArray& key)
{
    int at = 0;
    QByteArray type;
    if (!takeString(key, &at, &type))
        return QString();
    QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256)
                            .toBase64(QByteArray::OmitTrailingEquals);
    return keyTypeWord(type) + QStringLiteral(" SHA256:") + QString::fromLatin1(digest);
}

QByteArray signingKey(const QByteArray& signature)
{
    static const QByteArray begin = "-----BEGIN SSH SIGNATURE-----";
    static const QByteArray end = "-----END SSH SIGNATURE-----";
    const int from = int(signature.indexOf(begin));
    const int to = int(signature.indexOf(end));
    if (from < 0 || to < from)
        return QByteArray();
    const QByteArray body = signature.mid(from + begin.size(), to - from - begin.size());
    QByteArray text;
    for (const char c : body) {
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
            text += c;
    }
    const QByteArray blob = QByteArray::fromBase64(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!blob.startsWith("SSHSIG") || blob.size() < 10)
        return QByteArray();
    int at = 10; // the magic, then a 32-bit version
    QByteArray key;
    if (!takeString(blob, &at, &key))
        return QByteArray();
    return key;
}

Verdict verify(const QByteArray& data, const QByteArray& signature,
               const QByteArray& allowedSigners, const QString& signersName,
               const QString& nameSpace)
{
    Verdict v;
    if (!QFileInfo(keygenPath()).isExecutable()) {
        v.why = QStringLiteral("%1 (Debian's openssh-client) is needed to check its signature")
                    .arg(keygenPath());
        return v;
    }
    const QByteArray key = signingKey(signature);
    if (key.isEmpty()) {
        v.kind = Verdict::Kind::Bad;
        v.why = QStringLiteral("its signature file is not an OpenSSH signature");
        return v;
    }
    v.fingerprint = fingerprint(key);
    // ssh-keygen reads files: copies of what was read, in a folder of ours alone.
    QTemporaryDir folder;
    const QString sigPath = folder.filePath(QStringLiteral("job.sig"));
    const QString signersPath = folder.filePath(QStringLiteral("allowed_signers"));
    QFile sig(sigPath), signers(signersPath);
    if (!folder.isValid() || !sig.open(QIODevice::WriteOnly) ||
        sig.write(signature) != signature.size() || !signers.open(QIODevice::WriteOnly) ||
        signers.write(allowedSigners) != allowedSigners.size()) {
        v.why = QStringLiteral("there is no room for the signature's check");
        return v;
    }
    sig.close();
    signers.close();
    const QList<SignerLine> lines = linesNaming(allowedSigners, key);
    if (lines.isEmpty()) {
        const int sound =
            keygen({"-Y", "check-novalidate", "-n", nameSpace, "-s", sigPath}, data, nullptr);
        if (sound == 0) {
            v.kind = Verdict::Kind::UnknownKey;
            v.why = QStringLiteral("it is signed by a key %1 does not name (%2)")
                        .arg(signersName, v.fingerprint);
        } else {
            v.kind = Verdict::Kind::Bad;
            v.why = QStringLiteral("its signature does not match it: it was changed after signing, "
                                   "or signed for another use than %1, by a key %2 does not name")
                        .arg(nameSpace, signersName);
        }
        return v;
    }
    for (const SignerLine& line : lines) {
        const int checked = keygen({"-Y", "verify", "-f", signersPath, "-I", line.principal, "-n",
                                    nameSpace, "-s", sigPath},
                                   data, nullptr);
        if (checked == 0) {
            v.kind = Verdict::Kind::Good;
            v.principal = line.principal;
            return v;
        }
        if (checked < 0) {
            v.why = QStringLiteral("%1 did not answer").arg(keygenPath());
            return v;
        }
    }
    v.kind = Verdict::Kind::Bad;
    v.principal = lines.first().principal;
    v.why = QStringLiteral("its signature by %1 does not match it: it was changed after signing, "
                           "or signed for another use than %2")
                .arg(v.principal, nameSpace);
    return v;
}

} // namespace SshSignature
