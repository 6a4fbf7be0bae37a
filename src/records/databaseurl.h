#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// A libpq connection URI, taken apart for Qt's PostgreSQL driver:
//   postgresql://user@host:port/dbname?sslmode=require
//   postgresql://user@/dbname?host=/run/postgresql&port=5432
// The password comes from PGPASSWORD or ~/.pgpass, which libpq reads by
// itself; one written into the URI is used but never shown.
struct DatabaseUrl {
    QString host; // a folder for a Unix socket
    int port = -1;
    QString database;
    QString user;
    QString password;
    QStringList options;  // "key=value", as libpq takes them (sslmode, connect_timeout, ...)
    QStringList defaults; // timeouts of ours, where the URI says nothing

    static std::optional<DatabaseUrl> parse(const QString& text, QString* error);
    // The URI without its password, for messages and settings.
    QString shown() const;
    // What QSqlDatabase::setConnectOptions takes.
    QString connectOptions() const;
};
