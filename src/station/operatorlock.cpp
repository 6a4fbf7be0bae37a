#include "operatorlock.h"

OperatorLock::OperatorLock(QObject* parent) : QObject(parent)
{
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, [this] { lock(QStringLiteral("the time was up")); });
}

void OperatorLock::lockForJob()
{
    m_expiry.stop();
    m_locked = true;
    m_engineer.clear();
    m_until = QDateTime();
}

void OperatorLock::unlock(const QString& engineer)
{
    m_locked = false;
    m_engineer = engineer;
    m_until = QDateTime::currentDateTime().addMSecs(m_duration.count());
    m_expiry.start(m_duration);
    emit unlocked(m_engineer, m_until);
}

void OperatorLock::lock(const QString& why)
{
    if (m_locked)
        return;
    m_expiry.stop();
    const QString was = std::exchange(m_engineer, QString());
    m_locked = true;
    m_until = QDateTime();
    emit locked(was, why);
}

void OperatorLock::release()
{
    m_expiry.stop();
    m_locked = false;
    m_engineer.clear();
    m_until = QDateTime();
}
