#include "stationrun.h"

#include "../platform/terminationsignals.h"
#include "../station/station.h"

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
    connect(&m_station, &Station::recordWriteFailed, this,
            [this](const QString& error, const QByteArray& line) {
                // Standard error, and so the journal, keeps what the disk could not.
                say(QStringLiteral("%1; the unit's record, whole:\n%2")
                        .arg(error, QString::fromUtf8(line.trimmed())),
                    Journal::Level::Error);
            });
    connect(&m_station, &Station::noticed, this,
            [this](const QString& port, const QString& text, bool problem) {
                say(port.isEmpty() ? text : QStringLiteral("%1: %2").arg(port, text),
                    problem ? Journal::Level::Warning : Journal::Level::Info);
            });
    connect(&m_station, &Station::databaseChanged, this,
            [this](RecordForwarder::Health health, const QString& state) {
                say(state, health == RecordForwarder::Health::Failing ? Journal::Level::Warning
                                                                      : Journal::Level::Info);
            });
}

void StationRun::start()
{
    const int count = m_station.slotCount();
    const FirmwareFile& file = m_station.firmwareFile();
    say(QStringLiteral("station %1: %2 (%3 lines, sha256 %4) on %5; Ctrl+C ends it")
            .arg(m_station.bench().name, file.path)
            .arg(file.facts.lines)
            .arg(file.sha256.left(12))
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

void StationRun::onChanged(int index)
{
    // Each change of state or reason once; a terminal shows it in the slot's line.
    if (m_live)
        return;
    const SlotView slot = m_station.view(index);
    say(QStringLiteral("%1: %2%3")
            .arg(slot.port, SlotView::stateName(slot.state),
                 slot.reason.isEmpty() ? QString() : QStringLiteral(": ") + slot.reason));
}

void StationRun::onUnit(int, const UnitRecord& r)
{
    QString line;
    switch (r.result) {
    case UnitResult::Pass:
        line = QStringLiteral("%1: pass, %2 lines in %3 s (%4 lines/s)")
                   .arg(r.slot)
                   .arg(r.linesSent)
                   .arg(r.seconds, 0, 'f', 1)
                   .arg(r.seconds > 0 ? r.linesSent / r.seconds : 0.0, 0, 'f', 1);
        if (r.resends > 0)
            line += QStringLiteral(", %1 sent again (%2%)")
                        .arg(r.resends)
                        .arg(r.resendPercent(), 0, 'f', 1);
        if (!r.warning.isEmpty())
            line += QStringLiteral(": ") + r.warning;
        break;
    case UnitResult::Fail:
        m_anyFailed = true;
        line = QStringLiteral("%1: FAIL at line %2 of %3: %4")
                   .arg(r.slot)
                   .arg(r.linesSent)
                   .arg(r.lines)
                   .arg(r.reason);
        break;
    case UnitResult::Interrupted:
        line = QStringLiteral("%1: interrupted at line %2 of %3")
                   .arg(r.slot)
                   .arg(r.linesSent)
                   .arg(r.lines);
        break;
    }
    const bool warn = r.result == UnitResult::Fail || !r.warning.isEmpty();
    say(line, warn ? Journal::Level::Warning : Journal::Level::Info);
}

void StationRun::onRefused(const QString& why)
{
    // Nothing more can happen here: the run ends once uploads under way are
    // done. Numbers used up end a batch as it should end.
    Journal::Level level = Journal::Level::Error;
    switch (m_station.stopReason()) {
    case Station::Stop::RecordFailed:
        m_ownCode = ExitCode::Usage;
        break;
    case Station::Stop::FileChanged:
        m_ownCode = ExitCode::File;
        break;
    case Station::Stop::NumbersUsedUp:
    case Station::Stop::None:
        level = Journal::Level::Warning;
        break;
    }
    say(QStringLiteral("firmware-upload: %1").arg(why), level);
    m_station.stopAfterUploads();
}

void StationRun::onStopped()
{
    m_redraw.stop();
    if (m_live)
        m_progress.draw({});
    say(QStringLiteral("station %1: %2 passed, %3 failed")
            .arg(m_station.bench().name)
            .arg(m_station.passed())
            .arg(m_station.failed()));
    if (m_hold && !m_signal && m_ownCode == ExitCode::Success) {
        emit held();
        return;
    }
    m_live = false;
    ExitCode code =
        ExitCodes::worse(m_anyFailed ? ExitCode::UnitFailed : ExitCode::Success, m_ownCode);
    if (m_signal && code == ExitCode::Success)
        code = ExitCodes::ofSignal(m_signal);
    emit done(code);
}

QString StationRun::progressLine(const SlotView& slot) const
{
    QString text = SlotView::stateName(slot.state);
    if (slot.state == SlotState::Flashing) {
        const UploadProgress& p = slot.progress;
        const double t = slot.elapsed();
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
    } else if (!slot.reason.isEmpty()) {
        text += QStringLiteral(": ") + slot.reason;
    }
    return QStringLiteral("%1  [%2 pass, %3 fail]  %4")
        .arg(slot.port)
        .arg(slot.passed)
        .arg(slot.failed)
        .arg(text);
}

void StationRun::draw()
{
    if (!m_live)
        return;
    QStringList lines;
    for (const SlotView& slot : m_station.views())
        lines << progressLine(slot);
    m_progress.draw(lines);
}
