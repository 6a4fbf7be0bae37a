#include "stationrun.h"

#include "../platform/terminationsignals.h"
#include "../station/station.h"

#include <csignal>
#include <unistd.h>

StationRun::StationRun(Station& station, bool quiet, QObject* parent)
    : QObject(parent), m_station(station), m_live(!quiet && ::isatty(STDERR_FILENO))
{
    m_redraw.setInterval(250);
    connect(&m_redraw, &QTimer::timeout, this, &StationRun::draw);
    connect(&m_station, &Station::slotChanged, this, &StationRun::onChanged);
    connect(&m_station, &Station::unitRecorded, this, &StationRun::onUnit);
    connect(&m_station, &Station::newUnitsRefused, this, &StationRun::onRefused);
    connect(&m_station, &Station::stopped, this, &StationRun::onStopped);
    connect(&m_station, &Station::databaseChanged, this, [this](const QString& state) {
        say(state, state.endsWith(QLatin1String("up to date")) ? Journal::Level::Info
                                                               : Journal::Level::Warning);
    });
}

void StationRun::start()
{
    const int count = int(m_station.allSlots().size());
    say(QStringLiteral("station %1: %2 (%3 lines, sha256 %4) on %5; Ctrl+C ends it")
            .arg(m_station.settings().stationName, m_station.firmwareFile().path)
            .arg(m_station.firmwareFile().facts.lines)
            .arg(m_station.firmwareFile().sha256.left(12))
            .arg(count == 1 ? QStringLiteral("1 slot") : QStringLiteral("%1 slots").arg(count)));
    if (m_live)
        m_redraw.start();
    m_station.start();
}

void StationRun::interrupt(int signalNumber)
{
    if (m_signal)
        return;
    m_signal = signalNumber;
    m_station.interrupt(TerminationSignals::name(signalNumber));
}

void StationRun::say(const QString& text, Journal::Level level)
{
    if (m_live)
        m_progress.draw({});
    ProgressLines::say(text, level);
    if (m_live)
        draw();
}

void StationRun::onChanged(StationSlot* slot)
{
    // Each change of state or reason once; a terminal shows it in the slot's line.
    if (m_live)
        return;
    const QString reason = slot->reason();
    say(QStringLiteral("%1: %2%3")
            .arg(slot->port(), StationSlot::stateName(slot->state()),
                 reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
}

void StationRun::onUnit(StationSlot* slot, const UnitRecord& r)
{
    QString line;
    if (r.result == QLatin1String("pass")) {
        line = QStringLiteral("%1: pass, %2 lines in %3 s (%4 lines/s)")
                   .arg(slot->port())
                   .arg(r.linesSent)
                   .arg(r.seconds, 0, 'f', 1)
                   .arg(r.seconds > 0 ? r.linesSent / r.seconds : 0.0, 0, 'f', 1);
        if (r.resends > 0)
            line += QStringLiteral(", %1 sent again (%2%)")
                        .arg(r.resends)
                        .arg(r.resendPercent(), 0, 'f', 1);
        if (!r.warning.isEmpty())
            line += QStringLiteral(": ") + r.warning;
    } else if (r.result == QLatin1String("fail")) {
        m_anyFailed = true;
        line = QStringLiteral("%1: FAIL at line %2 of %3: %4")
                   .arg(slot->port())
                   .arg(r.linesSent)
                   .arg(r.lines)
                   .arg(r.reason);
    } else {
        line = QStringLiteral("%1: interrupted at line %2 of %3")
                   .arg(slot->port())
                   .arg(r.linesSent)
                   .arg(r.lines);
    }
    const bool warn = r.result == QLatin1String("fail") || !r.warning.isEmpty();
    say(line, warn ? Journal::Level::Warning : Journal::Level::Info);
}

void StationRun::onRefused(const QString& why)
{
    say(QStringLiteral("firmware-upload: %1").arg(why),
        m_station.stopReason() == Station::Stop::NumbersUsedUp ? Journal::Level::Warning
                                                               : Journal::Level::Error);
    // Nothing more can happen here: the run ends once uploads under way are
    // done. Numbers used up end a batch as it should end.
    switch (m_station.stopReason()) {
    case Station::Stop::RecordFailed:
        m_ownCode = 2;
        break;
    case Station::Stop::FileChanged:
        m_ownCode = 3;
        break;
    case Station::Stop::NumbersUsedUp:
    case Station::Stop::None:
        m_ownCode = 0;
        break;
    }
    m_station.stopAfterUploads();
}

void StationRun::onStopped()
{
    m_redraw.stop();
    if (m_live)
        m_progress.draw({});
    say(QStringLiteral("station %1: %2 passed, %3 failed")
            .arg(m_station.settings().stationName)
            .arg(m_station.passed())
            .arg(m_station.failed()));
    m_live = false;
    int code = m_anyFailed ? 1 : 0;
    code = qMax(code, m_ownCode);
    if (m_signal && code == 0)
        code = m_signal == SIGINT ? 130 : 128 + m_signal;
    emit done(code);
}

QString StationRun::progressLine(const StationSlot* slot) const
{
    QString text = StationSlot::stateName(slot->state());
    if (slot->state() == StationSlot::State::Flashing) {
        const UploadProgress& p = slot->progress();
        const double t = slot->elapsed();
        const double rate = t > 0.5 ? p.linesSent / t : 0.0;
        text = QStringLiteral("flashing line %1 of %2  %3%")
                   .arg(p.linesSent)
                   .arg(p.totalLines)
                   .arg(p.totalLines ? 100 * p.linesSent / p.totalLines : 0);
        if (p.linesSent > 0)
            text += QStringLiteral("  %1% resent").arg(100.0 * p.resends / p.linesSent, 0, 'f', 1);
        if (rate > 0)
            text += QStringLiteral("  %1 left")
                        .arg(ProgressLines::minutes((p.totalLines - p.linesSent) / rate));
    } else if (!slot->reason().isEmpty()) {
        text += QStringLiteral(": ") + slot->reason();
    }
    return QStringLiteral("%1  [%2 pass, %3 fail]  %4")
        .arg(slot->port())
        .arg(slot->passed())
        .arg(slot->failed())
        .arg(text);
}

void StationRun::draw()
{
    if (!m_live)
        return;
    QStringList lines;
    for (const StationSlot* slot : m_station.allSlots())
        lines << progressLine(slot);
    m_progress.draw(lines);
}
