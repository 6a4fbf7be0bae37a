#pragma once

#include <QByteArray>
#include <QString>

// OpenSSH's signatures, as git signs commits with them: a file signed with
// "ssh-keygen -Y sign -n NAMESPACE" beside it as FILE.sig, checked against
// an allowed_signers file in ssh-keygen's own format, by ssh-keygen itself.
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
    QString principal;   // Good: who, as the allowed signers file names the key
    QString fingerprint; // "ED25519 SHA256:9GD4..." where ssh-keygen said it
    QString why;         // what failed, in words
};

// `data` is the file's bytes as read once: what is checked is what is used.
Verdict verify(const QByteArray& data, const QString& signaturePath, const QString& allowedSigners,
               const QString& nameSpace);

} // namespace SshSignature
