#pragma once

#include <QDateTime>

// Time as the program sees it. Tests install their own to drive deadlines
// and the elapsed-time display without waiting.
class Clock
{
public:
    virtual ~Clock() = default;

    // Seconds on a steady clock, for deadlines (no jump at midnight).
    virtual double seconds() const;
    // The current date and time.
    virtual QDateTime now() const;
    // Blocks for `ms` without handling any event.
    virtual void pause(int ms);

    static Clock& instance();
    // nullptr restores the system clock; the caller keeps ownership.
    static void setInstance(Clock* clock);
};
