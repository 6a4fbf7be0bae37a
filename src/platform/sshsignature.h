#pragma once

#include <QByteArray>
#include <QString>

// OpenSSH's signatures, as git signs commits with them: a file signed with
// "ssh-keygen -Y sign -n NAMESPACE" beside it as FILE.sig, checked against
// an allowed_signers file in ssh-keygen's own format, by ssh-keygen itself,
// run by its path (SSH_KEYGEN at build time) with a clean environment.
// Whose key signed is read from the signature and found in the allowed
// signers' own lines: nothing a program prints names the signer.
namespace SshSignature {

struct Verdict {
    enum class Kind {
        Good,
        NoSignature, // no .sig beside the file
        Bad,         // changed after signing, or signed for another use
        UnknownKey,  // a sound signature by a key the allowed signers do not name
        CannotCheck, // no ssh-keygen, no allowed signers file
    };
    Kind kind = Kind::CannotCheck;
    QString principal;   // Good: who, as the allowed signers file's line names the key
    QString fingerprint; // "ED25519 SHA256:9GD4...", of the key in the signature
    QString why;         // what failed, in words
};

// Everything as read once: the file's bytes, its signature's, and the
// allowed signers file's (`signersName` names it in words).
Verdict verify(const QByteArray& data, const QByteArray& signature,
               const QByteArray& allowedSigners, const QString& signersName,
               const QString& nameSpace);

// The ssh-keygen that is run.
QString keygenPath();

// "ED25519 SHA256:..." of an OpenSSH public key blob, as ssh-keygen -l says it.
QString fingerprint(const QByteArray& keyBlob);

// The public key blob an armored OpenSSH signature was made with; empty
// when `signature` is not one.
QByteArray signingKey(const QByteArray& signature);

} // namespace SshSignature
