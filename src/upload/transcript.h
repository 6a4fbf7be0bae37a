#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// How the traffic is shown to a person, in the window and in the uploader's
// log: one symbol per byte, CR LF as a line break, control bytes as their
// control pictures (so nothing invisible hides in a line).
namespace Transcript {

// Bytes as transcript characters, one per byte.
inline QString fromBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}
// The symbol for one character that is not CR or LF.
QChar symbol(QChar c);
// A piece of transcript as shown, CR LF and lone LFs as "\n".
QString shown(const QString& text);

} // namespace Transcript
