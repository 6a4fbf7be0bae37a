#pragma once

#include <QTimer>

// A timer switched on and off like a form's timer: enabling a running timer
// keeps its countdown; a restart is a disable followed by an enable.
class FormTimer : public QTimer
{
    Q_OBJECT

public:
    FormTimer(const QString& name, int intervalMs, QObject* parent,
              Qt::TimerType type = Qt::CoarseTimer)
        : QTimer(parent)
    {
        setObjectName(name);
        setInterval(intervalMs);
        setTimerType(type);
    }

    bool Enabled() const { return isActive(); }
    void setEnabled(bool enabled)
    {
        if (!enabled)
            stop();
        else if (!isActive())
            start();
    }
    void restart()
    {
        setEnabled(false);
        setEnabled(true);
    }
};
