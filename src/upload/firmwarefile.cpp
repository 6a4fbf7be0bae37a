#include "firmwarefile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

std::optional<FirmwareFile>
FirmwareFile::read(const QString& path, const FirmwareCheck::Options& options, QString* error)
{
    FirmwareFile file;
    file.path = path;
    const auto check = FirmwareCheck::of(path, error, options);
    if (!check)
        return std::nullopt;
    file.check = *check;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto facts = FirmwareStream::examine(path, error, &hash);
    if (!facts)
        return std::nullopt;
    file.facts = *facts;
    file.sha256 = QString::fromLatin1(hash.result().toHex());
    return file;
}

std::optional<QString> FirmwareFile::digest(const QString& path, QString* error)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        *error = QStringLiteral("%1 could not be read: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    return QString::fromLatin1(hash.result().toHex());
}

bool FirmwareFile::isDigest(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    return hex.match(text).hasMatch();
}
