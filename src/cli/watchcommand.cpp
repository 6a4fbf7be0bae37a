#include "watchcommand.h"

#include "../broker/mqttclient.h"
#include "../platform/terminationsignals.h"
#include "../records/recordwords.h"
#include "progresslines.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <cstdio>
#include <unistd.h>

WatchCommand::WatchCommand()
    : Command(QStringLiteral("watch")),
      m_stationOption(QStringLiteral("station"),
                      QStringLiteral("Only the station NAME (default: every station under the "
                                     "URL's prefix)."),
                      QStringLiteral("NAME"))
{
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(250);
    connect(&m_redraw, &QTimer::timeout, this, &WatchCommand::redraw);
}

WatchCommand::~WatchCommand()
{
    if (m_client)
        m_client->stop();
}

void WatchCommand::declare(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Every station on the factory's MQTT broker at URL (such as "
                       "mqtt://supervisor@broker/factory; the password from MQTT_PASSWORD or "
                       "?password-file=FILE): each station's slots as they are, and each unit's "
                       "result as it comes, until Ctrl+C."));
    parser.addPositionalArgument(QStringLiteral("URL"), QStringLiteral("The broker and prefix."));
    parser.addOption(m_stationOption);
}

std::optional<Command::Usage> WatchCommand::read(const QCommandLineParser& parser)
{
    const QStringList urls = parser.positionalArguments();
    if (urls.size() != 1)
        return Usage{QString(), QStringLiteral("give the broker's URL, such as "
                                               "mqtt://supervisor@broker/factory")};
    QString why;
    const std::optional<BrokerUrl> url = BrokerUrl::parse(urls.first(), &why);
    if (!url)
        return Usage{QString(), why};
    m_url = *url;
    m_station = parser.value(m_stationOption);
    if (m_station.contains(QLatin1Char('/')) || m_station.contains(QLatin1Char('+')) ||
        m_station.contains(QLatin1Char('#')))
        return Usage{QStringLiteral("--station"),
                     QStringLiteral("--station takes a station's name, without /, + or #")};
    return std::nullopt;
}

std::optional<ExitCode> WatchCommand::start()
{
    m_terminal = ::isatty(STDOUT_FILENO);
    const QString station = m_station.isEmpty() ? QStringLiteral("+") : m_station;
    m_client = new MqttClient(
        m_url,
        QStringLiteral("firmware-watch/%1/%2").arg(QSysInfo::machineHostName()).arg(::getpid()),
        this);
    m_client->setSubscriptions({m_url.topic(station, QStringLiteral("state")),
                                m_url.topic(station, QStringLiteral("units"))});
    connect(m_client, &MqttClient::received, this, &WatchCommand::onMessage);
    connect(m_client, &MqttClient::connectionChanged, this, [this](bool up, const QString& why) {
        print(up ? QStringLiteral("broker: connected to %1").arg(m_url.shown())
                 : QStringLiteral("broker: %1 not reached (%2)").arg(m_url.shown(), why));
    });
    QString why;
    if (!m_client->start(&why)) {
        ProgressLines::complain(why);
        return ExitCode::Usage;
    }
    m_signals = new TerminationSignals(this);
    connect(m_signals, &TerminationSignals::received, this, [this] {
        m_client->stop();
        emit done(ExitCode::Success);
    });
    return std::nullopt;
}

void WatchCommand::onMessage(const QString& topic, const QByteArray& payload)
{
    const QJsonObject o = QJsonDocument::fromJson(payload).object();
    if (o.isEmpty())
        return;
    if (topic.endsWith(QLatin1String("/units")))
        onUnit(o);
    else if (topic.endsWith(QLatin1String("/state")))
        onState(topic.section(QLatin1Char('/'), -2, -2), o);
}

void WatchCommand::onUnit(const QJsonObject& r)
{
    const QDateTime ended = QDateTime::fromString(r.value("ended").toString(), Qt::ISODateWithMs);
    QString line =
        QStringLiteral("%1  %2  %3  %4")
            .arg(ended.isValid() ? ended.toLocalTime().toString(QStringLiteral("HH:mm:ss"))
                                 : QStringLiteral("--:--:--"),
                 r.value("station").toString(), r.value("slot").toString(),
                 r.value("result").toString().toUpper());
    if (r.value("serial").isObject())
        line += QStringLiteral("  #%1").arg(r.value("serial")["number"].toInteger());
    if (!r.value("label").toString().isEmpty())
        line += QStringLiteral("  ") + r.value("label").toString();
    if (!r.value("reason").toString().isEmpty())
        line += QStringLiteral(": ") + r.value("reason").toString();
    else
        line += QStringLiteral("  (%1 lines in %2 s)")
                    .arg(r.value("lines_sent").toInt())
                    .arg(r.value("seconds").toDouble(), 0, 'f', 1);
    print(line);
}

void WatchCommand::onState(const QString& station, const QJsonObject& state)
{
    m_states.insert(station, state);
    if (m_terminal) {
        if (!m_redraw.isActive())
            m_redraw.start();
        return;
    }
    // A pipe hears a station once per change of its slots' states, not per line.
    QJsonObject lasting = state;
    lasting.remove("time");
    QJsonArray slotList;
    for (QJsonValue s : state.value("slots").toArray()) {
        QJsonObject o = s.toObject();
        o.remove("unit");
        slotList.append(o);
    }
    lasting.insert("slots", slotList);
    const QString key = QString::fromUtf8(QJsonDocument(lasting).toJson(QJsonDocument::Compact));
    if (m_shown.value(station) == key)
        return;
    m_shown.insert(station, key);
    for (const QString& line : linesOf(station, state))
        print(line);
}

QStringList WatchCommand::stateLines() const
{
    QStringList lines;
    for (auto it = m_states.begin(); it != m_states.end(); ++it)
        lines += linesOf(it.key(), it.value());
    return lines;
}

QStringList WatchCommand::linesOf(const QString& station, const QJsonObject& s)
{
    QStringList lines;
    if (!s.value("online").toBool())
        return {QStringLiteral("%1: offline").arg(station)};
    QString head = QStringLiteral("%1: %2, %3 passed, %4 failed")
                       .arg(station, s.value("running").toBool() ? QStringLiteral("running")
                                                                 : QStringLiteral("stopped"))
                       .arg(s.value("passed").toInt())
                       .arg(s.value("failed").toInt());
    if (s.value("units_per_hour").isDouble())
        head += QStringLiteral(", %1 units per hour").arg(s.value("units_per_hour").toDouble());
    if (s.value("job").isObject())
        head += QStringLiteral(", job %1").arg(s.value("job")["file"].toString());
    if (!s.value("new_units_stopped").toString().isEmpty())
        head += QStringLiteral(": ") + s.value("new_units_stopped").toString();
    lines << head;
    for (const QJsonValue& v : s.value("slots").toArray()) {
        const QJsonObject slot = v.toObject();
        QString text = slot.value("state").toString();
        text.replace(QLatin1Char('_'), QLatin1Char(' '));
        const QJsonObject unit = slot.value("unit").toObject();
        if (!unit.isEmpty())
            text += QStringLiteral(" %1 of %2 lines")
                        .arg(unit.value("lines_sent").toInt())
                        .arg(unit.value("lines").toInt());
        if (unit.contains("serial"))
            text += QStringLiteral("  #%1").arg(unit.value("serial").toInteger());
        if (slot.value("paused").toBool())
            text += QStringLiteral(" (paused)");
        if (!slot.value("reason").toString().isEmpty())
            text += QStringLiteral(": ") + slot.value("reason").toString();
        const QString name = slot.value("name").toString();
        lines << QStringLiteral("  %1  [%2 pass, %3 fail]  %4")
                     .arg(name.isEmpty() ? slot.value("slot").toString() : name)
                     .arg(slot.value("passed").toInt())
                     .arg(slot.value("failed").toInt())
                     .arg(text);
    }
    return lines;
}

void WatchCommand::print(const QString& line)
{
    QByteArray out;
    if (m_terminal && m_drawn > 0)
        out += "\x1b[" + QByteArray::number(m_drawn) + "F\x1b[J"; // up, then clear below
    out += line.toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    m_drawn = 0;
    if (m_terminal)
        redraw();
}

void WatchCommand::redraw()
{
    if (!m_terminal)
        return;
    QByteArray out;
    if (m_drawn > 0)
        out += "\x1b[" + QByteArray::number(m_drawn) + "F\x1b[J";
    const QStringList lines = stateLines();
    for (const QString& l : lines)
        out += l.toUtf8() + '\n';
    m_drawn = int(lines.size());
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
}
