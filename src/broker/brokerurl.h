#pragma once

#include <QString>
#include <optional>

// Where the factory's MQTT broker is, and the topics' prefix:
//   mqtt://bench@broker.factory:1883/factory
//   mqtts://bench@broker.factory/plant-2/line-3?cafile=/etc/ssl/factory-ca.pem
// The password is never part of it (it would be shown and kept): it comes
// from MQTT_PASSWORD, or from the file ?password-file= names.
struct BrokerUrl {
    QString host;
    int port = 1883;
    bool tls = false;
    QString user;
    QString prefix = QStringLiteral("factory");
    QString caFile;       // empty: the system's certificates
    QString passwordFile; // empty: MQTT_PASSWORD, when set

    static std::optional<BrokerUrl> parse(const QString& text, QString* error);
    QString shown() const;
    // The password, read when it is needed; false, with `error`, when the
    // file cannot be read.
    [[nodiscard]] bool password(QString* password, QString* error) const;
    // PREFIX/STATION/leaf
    QString topic(const QString& station, const QString& leaf) const;
};
