#include "databaseurl.h"

#include <QUrl>
#include <QUrlQuery>

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString& text, QString* error)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() ||
        (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))) {
        *error = QStringLiteral("\"%1\" is no PostgreSQL URI such as "
                                "postgresql://user@host:5432/factory or "
                                "postgresql://user@/factory?host=/run/postgresql")
                     .arg(url.toString(QUrl::RemovePassword));
        return std::nullopt;
    }
    DatabaseUrl d;
    d.host = url.host();
    d.port = url.port(-1);
    d.user = url.userName();
    d.password = url.password();
    d.database = url.path().mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            d.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            d.port = value.toInt(&ok);
            if (!ok) {
                *error = QStringLiteral("port \"%1\" is no number").arg(value);
                return std::nullopt;
            }
        } else if (key == QLatin1String("dbname")) {
            d.database = value;
        } else if (key == QLatin1String("user")) {
            d.user = value;
        } else if (key == QLatin1String("password")) {
            d.password = value;
        } else if (value.contains(QLatin1Char(';'))) {
            // The driver separates its options with ";".
            *error = QStringLiteral("the option %1 holds a \";\"").arg(key);
            return std::nullopt;
        } else {
            d.options << key + QLatin1Char('=') + value;
        }
    }
    // A server that never answers must not hold a connection attempt, or a
    // statement on a connection gone dead, for ever.
    const bool socket = d.host.startsWith(QLatin1Char('/'));
    for (const char* option : {"connect_timeout=10", "keepalives_idle=10", "keepalives_interval=5",
                               "keepalives_count=3", "tcp_user_timeout=30000"}) {
        const QString o = QString::fromLatin1(option);
        if ((!socket || o.startsWith(QLatin1String("connect"))) &&
            !query.hasQueryItem(o.section(QLatin1Char('='), 0, 0)))
            d.defaults << o;
    }
    return d;
}

QString DatabaseUrl::shown() const
{
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    QUrlQuery query;
    if (host.startsWith(QLatin1Char('/'))) {
        url.setHost(QString());
        query.addQueryItem(QStringLiteral("host"), host);
        if (port > 0)
            query.addQueryItem(QStringLiteral("port"), QString::number(port));
    } else {
        url.setHost(host);
        url.setPort(port);
    }
    url.setUserName(user);
    url.setPath(QLatin1Char('/') + database);
    for (const QString& option : options) {
        query.addQueryItem(option.section(QLatin1Char('='), 0, 0),
                           option.section(QLatin1Char('='), 1));
    }
    url.setQuery(query);
    QString text = url.toString(QUrl::RemovePassword);
    // QUrl drops the "@" of a user with no host; libpq wants it.
    if (host.startsWith(QLatin1Char('/')) && !user.isEmpty() && !text.contains(QLatin1Char('@')))
        text.replace(QStringLiteral("postgresql://") + user,
                     QStringLiteral("postgresql://") + user + QLatin1Char('@'));
    if (!text.startsWith(QLatin1String("postgresql://")))
        text.replace(0, int(qstrlen("postgresql:")), QStringLiteral("postgresql://"));
    return text;
}

QString DatabaseUrl::connectOptions() const
{
    return (options + defaults).join(QLatin1Char(';'));
}
