#pragma once

#include "stationpolicy.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

// The station window's lock while it runs a released job: the operator may
// start and stop it and look at what it did, nothing that changes the
// bench. An engineer, authenticated by the system, unlocks it for the
// policy's minutes, after which it locks again by itself.
class OperatorLock : public QObject
{
    Q_OBJECT

public:
    explicit OperatorLock(QObject* parent = nullptr);

    void setMinutes(int minutes) { m_duration = std::chrono::minutes(minutes); }
    // How long an unlock lasts, to the millisecond (the policy's minutes).
    void setDuration(std::chrono::milliseconds duration) { m_duration = duration; }
    bool isLocked() const { return m_locked; }
    // The engineer while unlocked; empty otherwise.
    QString engineer() const { return m_engineer; }
    QDateTime until() const { return m_until; }

    // A released job is opened: locked, for no one.
    void lockForJob();
    // An authenticated engineer, for the policy's minutes.
    void unlock(const QString& engineer);
    // By hand, or as the job is left; `why` for the audit trail.
    void lock(const QString& why);
    // The job is left altogether: nothing to lock.
    void release();

signals:
    void unlocked(const QString& engineer, const QDateTime& until);
    void locked(const QString& engineer, const QString& why);

private:
    QTimer m_expiry;
    std::chrono::milliseconds m_duration = std::chrono::minutes(15);
    bool m_locked = false;
    QString m_engineer;
    QDateTime m_until;
};
