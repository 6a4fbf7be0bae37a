#include "firmwarefile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

std::optional<FirmwareFile>
FirmwareFile::read(const QString& path, const FirmwareCheck::Options& options, QString* error)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    auto image = FirmwareImage::read(path, error, &hash);
    if (!image)
        return std::nullopt;
    FirmwareFile file;
    static_cast<FirmwareImage&>(file) = std::move(*image);
    // The check, the lines and the digest are all of the one read.
    file.check = FirmwareCheck::of(file.bytes, options);
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
