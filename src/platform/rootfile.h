#pragma once

#include <QByteArray>
#include <QString>

// A file that only root could have written: the file and every folder above
// it owned by root and writable by no one else. It is read once, through
// the descriptor whose owner was checked, so what was judged is what is used.
namespace RootFile {

struct Read {
    bool exists = false;
    QByteArray bytes;
    QString problem; // why it cannot be trusted, with how to mend it; empty when it can
};

// `what` names the file in the problem ("the policy").
Read read(const QString& path, const QString& what);

} // namespace RootFile
