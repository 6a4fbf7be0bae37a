#include "slotview.h"

#include <QElapsedTimer>

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
