#include "slotview.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <iterator>

qint64 SlotView::now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

double SlotView::elapsed() const
{
    return uploadStartedAt < 0 ? 0.0 : (now() - uploadStartedAt) / 1000.0;
}

double SlotView::quietFor() const
{
    return state != SlotState::Flashing || heardAt < 0 ? 0.0 : (now() - heardAt) / 1000.0;
}

bool SlotView::unitStillPrompting() const
{
    // A prompting unit says "+" every quarter of a second or so.
    return state == SlotState::WaitingForRemoval && heardAt >= 0 && now() - heardAt < 1000;
}

QString SlotView::stateName(SlotState state)
{
    switch (state) {
    case SlotState::Stopped:
        return QStringLiteral("stopped");
    case SlotState::WaitingForAdaptor:
        return QStringLiteral("waiting for the adaptor");
    case SlotState::WaitingForUnit:
        return QStringLiteral("waiting for a unit");
    case SlotState::Flashing:
        return QStringLiteral("flashing");
    case SlotState::WaitingForRemoval:
        return QStringLiteral("waiting for the unit to leave");
    }
    return QString();
}

QByteArray SlotView::stateKey(SlotState state)
{
    switch (state) {
    case SlotState::Stopped:
        return "stopped";
    case SlotState::WaitingForAdaptor:
        return "waiting_for_adaptor";
    case SlotState::WaitingForUnit:
        return "waiting_for_unit";
    case SlotState::Flashing:
        return "flashing";
    case SlotState::WaitingForRemoval:
        return "waiting_for_removal";
    }
    return "unknown";
}

std::optional<SlotState> SlotView::stateOfKey(QStringView key)
{
    for (SlotState s : {SlotState::Stopped, SlotState::WaitingForAdaptor, SlotState::WaitingForUnit,
                        SlotState::Flashing, SlotState::WaitingForRemoval}) {
        if (key == QLatin1String(stateKey(s)))
            return s;
    }
    return std::nullopt;
}

namespace {

const char* const failureKeys[] = {"", "missing", "in_use", "forbidden", "other"};

} // namespace

QJsonObject SlotView::toJson() const
{
    const qint64 t = now();
    QJsonObject o{{"port", port},
                  {"name", name},
                  {"device", device},
                  {"state", QString::fromLatin1(stateKey(state))},
                  {"reason", reason},
                  {"passed", passed},
                  {"failed", failed},
                  {"lines_sent", progress.linesSent},
                  {"lines", progress.totalLines},
                  {"resends", progress.resends}};
    if (openFailure.kind != MSComm::OpenFailure::Kind::None)
        o.insert("open_failure", QJsonObject{{"kind", failureKeys[int(openFailure.kind)]},
                                             {"holder", openFailure.holder}});
    if (own.hasSerial)
        o.insert("serial", qint64(own.serial));
    if (!label.isEmpty())
        o.insert("label", label);
    if (last)
        o.insert("last", QJsonDocument::fromJson(last->toJsonLine()).object());
    if (uploadStartedAt >= 0)
        o.insert("flashing_ms", t - uploadStartedAt);
    if (heardAt >= 0)
        o.insert("heard_ms", t - heardAt);
    return o;
}

SlotView SlotView::fromJson(const QJsonObject& o)
{
    const qint64 t = now();
    SlotView v;
    v.port = o.value("port").toString();
    v.name = o.value("name").toString();
    v.device = o.value("device").toString();
    v.state = stateOfKey(o.value("state").toString()).value_or(SlotState::Stopped);
    v.reason = o.value("reason").toString();
    v.passed = o.value("passed").toInt();
    v.failed = o.value("failed").toInt();
    v.progress.linesSent = o.value("lines_sent").toInt();
    v.progress.totalLines = o.value("lines").toInt();
    v.progress.resends = o.value("resends").toInt();
    const QJsonObject failure = o.value("open_failure").toObject();
    for (int k = 1; k < int(std::size(failureKeys)); ++k) {
        if (failure.value("kind").toString() == QLatin1String(failureKeys[k]))
            v.openFailure.kind = MSComm::OpenFailure::Kind(k);
    }
    v.openFailure.holder = failure.value("holder").toString();
    if (o.contains("serial")) {
        v.own.hasSerial = true;
        v.own.serial = quint64(o.value("serial").toInteger());
    }
    v.label = o.value("label").toString();
    if (o.value("last").isObject())
        v.last = UnitRecord::fromJson(o.value("last").toObject());
    if (o.contains("flashing_ms"))
        v.uploadStartedAt = t - o.value("flashing_ms").toInteger();
    if (o.contains("heard_ms"))
        v.heardAt = t - o.value("heard_ms").toInteger();
    return v;
}

SlotView SlotBoard::view() const
{
    QMutexLocker lock(&m_mutex);
    return m_view;
}

void SlotBoard::addTraffic(const QString& text)
{
    if (!m_trafficWanted || text.isEmpty())
        return;
    QMutexLocker lock(&m_mutex);
    m_traffic += text;
}

QString SlotBoard::takeTraffic()
{
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_traffic, QString());
}
