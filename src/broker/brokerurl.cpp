#include "brokerurl.h"

#include <QFile>
#include <QUrl>
#include <QUrlQuery>

std::optional<BrokerUrl> BrokerUrl::parse(const QString& text, QString* error)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        *error = QStringLiteral("\"%1\" is no broker URL such as mqtt://bench@broker:1883/factory "
                                "or mqtts://bench@broker/factory")
                     .arg(url.toString(QUrl::RemovePassword));
        return std::nullopt;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("a password in the broker URL would be shown and kept: put it in "
                                "MQTT_PASSWORD, or in a file named by ?password-file=PATH");
        return std::nullopt;
    }
    BrokerUrl b;
    b.tls = scheme == QLatin1String("mqtts");
    b.host = url.host();
    b.port = url.port(b.tls ? 8883 : 1883);
    b.user = url.userName();
    QString path = url.path();
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (!path.isEmpty())
        b.prefix = path;
    // Wildcards in a prefix would publish to no topic and read every one.
    if (b.prefix.contains(QLatin1Char('+')) || url.hasFragment()) {
        *error =
            QStringLiteral("the topic prefix \"%1\" holds a wildcard (+ or #)")
                .arg(url.hasFragment() ? b.prefix + QLatin1Char('#') + url.fragment() : b.prefix);
        return std::nullopt;
    }
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("cafile")) {
            b.caFile = value;
        } else if (key == QLatin1String("password-file")) {
            b.passwordFile = value;
        } else {
            *error = QStringLiteral("the broker URL's \"%1\" is none of cafile and password-file")
                         .arg(key);
            return std::nullopt;
        }
    }
    return b;
}

QString BrokerUrl::shown() const
{
    QUrl url;
    url.setScheme(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user);
    url.setPath(QLatin1Char('/') + prefix);
    QUrlQuery query;
    if (!caFile.isEmpty())
        query.addQueryItem(QStringLiteral("cafile"), caFile);
    if (!passwordFile.isEmpty())
        query.addQueryItem(QStringLiteral("password-file"), passwordFile);
    url.setQuery(query);
    return url.toString();
}

bool BrokerUrl::password(QString* password, QString* error) const
{
    password->clear();
    if (passwordFile.isEmpty()) {
        *password = qEnvironmentVariable("MQTT_PASSWORD");
        return true;
    }
    QFile f(passwordFile);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the broker's password file %1 cannot be read: %2")
                     .arg(passwordFile, f.errorString());
        return false;
    }
    // The first line, as a password file made with echo has it.
    *password =
        QString::fromUtf8(f.readLine(4096)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}

QString BrokerUrl::topic(const QString& station, const QString& leaf) const
{
    return prefix + QLatin1Char('/') + station + QLatin1Char('/') + leaf;
}
