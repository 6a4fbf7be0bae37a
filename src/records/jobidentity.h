#pragma once

#include <QJsonObject>
#include <QString>

// Which released job a unit was flashed under, as its record names it.
struct JobIdentity {
    QString file;   // the job file, absolute
    QString sha256; // of the job file as signed
    QString signer; // the principal the allowed signers file gives its key

    bool isEmpty() const { return file.isEmpty(); }
    QJsonObject toJson() const { return {{"file", file}, {"sha256", sha256}, {"signer", signer}}; }
    bool operator==(const JobIdentity& o) const
    {
        return file == o.file && sha256 == o.sha256 && signer == o.signer;
    }
};
