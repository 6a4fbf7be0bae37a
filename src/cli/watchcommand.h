#pragma once

#include "../broker/brokerurl.h"
#include "command.h"

#include <QJsonObject>
#include <QMap>
#include <QTimer>
#include <memory>

class MqttClient;
class TerminationSignals;

// firmware-upload watch URL [--station NAME]: every bench on a broker, for
// a supervisor's screen. On a terminal, one line per station and slot kept
// up to date at the bottom, each unit's result printed above them as it
// comes; in a pipe, a station's line each time its slots change, and the
// results. Until Ctrl+C.
class WatchCommand : public Command
{
    Q_OBJECT

public:
    WatchCommand();
    ~WatchCommand() override;
    std::optional<ExitCode> start() override;

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    void onMessage(const QString& topic, const QByteArray& payload);
    void onUnit(const QJsonObject& record);
    void onState(const QString& station, const QJsonObject& state);
    QStringList stateLines() const;
    static QStringList linesOf(const QString& station, const QJsonObject& state);
    void print(const QString& line);
    void redraw();

    QCommandLineOption m_stationOption;
    BrokerUrl m_url;
    QString m_station; // empty: every one
    MqttClient* m_client = nullptr;
    TerminationSignals* m_signals = nullptr;
    QMap<QString, QJsonObject> m_states; // by station
    QMap<QString, QString> m_shown;      // what a pipe was last told, by station
    bool m_terminal = false;
    int m_drawn = 0;
    QTimer m_redraw;
};
