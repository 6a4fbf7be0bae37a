#pragma once

#include <QRandomGenerator>
#include <QString>

// How long to wait before trying a server again: from `firstMs`, doubling
// to `lastMs`, each wait moved by up to a tenth either way. The generator
// is seeded for each station (its name beside the system's entropy), so
// that benches that lost one server do not all come back at once.
class Backoff
{
public:
    Backoff(int firstMs, int lastMs, const QString& station);
    // The wait now; the next one is twice as long.
    int next();
    // A success: the next wait is the first again.
    void reset() { m_delayMs = m_firstMs; }
    int delayMs() const { return m_delayMs; }

private:
    int m_firstMs, m_lastMs, m_delayMs;
    QRandomGenerator m_random;
};
