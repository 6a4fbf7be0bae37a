#include "backoff.h"

#include <QHash>
#include <algorithm>

Backoff::Backoff(int firstMs, int lastMs, const QString& station)
    : m_firstMs(firstMs), m_lastMs(lastMs), m_delayMs(firstMs),
      m_random(QRandomGenerator::system()->generate() ^ quint32(qHash(station)))
{
}

int Backoff::next()
{
    const int now = m_delayMs;
    m_delayMs = std::min(m_delayMs * 2, m_lastMs);
    return now - now / 10 + int(m_random.bounded(now / 5 + 1));
}
