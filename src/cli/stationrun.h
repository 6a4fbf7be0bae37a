#pragma once

#include "../platform/journal.h"
#include "../station/slotview.h"
#include "exitcode.h"
#include "progresslines.h"

#include <QObject>
#include <QString>
#include <QTimer>

class Station;
struct UnitRecord;

// firmware-upload station: a station's slots on a terminal, one progress
// line each, redrawn in place; in a pipe or with --quiet, each slot's
// changes of state and every unit's result, once each.
class StationRun : public QObject
{
    Q_OBJECT

public:
    StationRun(Station& station, bool quiet, QObject* parent = nullptr);

    void start();
    // A termination signal: uploads are cancelled and recorded as
    // interrupted, the ports released.
    void interrupt(int signalNumber);
    // The next stop is for another job: held() instead of done().
    void holdAtStop(bool hold) { m_hold = hold; }

signals:
    void done(ExitCode exitCode);
    void held();

private:
    void onChanged(int slot);
    void onUnit(int slot, const UnitRecord& record);
    void onRefused(const QString& why);
    void onStopped();
    void draw();
    void say(const QString& text, Journal::Level level = Journal::Level::Info);
    QString progressLine(const SlotView& slot) const;

    Station& m_station;
    bool m_live; // progress lines on a terminal
    ProgressLines m_progress;
    QTimer m_redraw;
    int m_signal = 0;
    ExitCode m_ownCode = ExitCode::Success; // the file changed, or the record failed
    bool m_anyFailed = false;
    bool m_hold = false;
};
