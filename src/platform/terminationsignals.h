#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP (Ctrl+C, a shutdown, a logout) as an ordinary
// event on the event loop, so the program can close its ports and release
// their locks before it ends instead of being cut off.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // "SIGTERM", for what a record says stopped a unit.
    static QString name(int signalNumber);

signals:
    void received(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};
