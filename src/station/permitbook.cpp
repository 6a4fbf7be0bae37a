#include "permitbook.h"

#include "../platform/atomicfile.h"
#include "statefile.h"
#include "unitnumbering.h"

#include <QStringList>
#include <QUuid>
#include <algorithm>

namespace {

QString rangesText(const QVector<PermitBook::Range>& ranges)
{
    QStringList parts;
    for (const PermitBook::Range& r : ranges)
        parts << (r.first == r.last ? QString::number(r.first)
                                    : QStringLiteral("%1-%2").arg(r.first).arg(r.last));
    return parts.join(QLatin1Char(','));
}

bool rangesOf(const QString& text, QVector<PermitBook::Range>* into)
{
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool a = false, b = true;
        const int dash = int(part.indexOf(QLatin1Char('-')));
        PermitBook::Range r;
        r.first = part.left(dash < 0 ? part.size() : dash).toULongLong(&a);
        r.last = dash < 0 ? r.first : part.mid(dash + 1).toULongLong(&b);
        if (!a || !b || r.last < r.first)
            return false;
        into->append(r);
    }
    return true;
}

} // namespace

bool PermitBook::open(const Options& options, QString* error)
{
    m_options = options;
    m_free.clear();
    m_taken.clear();
    m_spent = 0;
    m_holder.clear();
    if (!enabled())
        return true;
    QString order, machine;
    int units = 0;
    const auto take = [&](const QString& key, const QString& value) {
        bool ok = true;
        QVector<Range> taken;
        if (key == QLatin1String("order"))
            order = value;
        else if (key == QLatin1String("units"))
            units = value.toInt(&ok);
        else if (key == QLatin1String("machine"))
            machine = value;
        else if (key == QLatin1String("holder"))
            m_holder = value;
        else if (key == QLatin1String("free"))
            ok = rangesOf(value, &m_free);
        else if (key == QLatin1String("taken") && (ok = rangesOf(value, &taken)))
            for (const Range& r : taken)
                for (quint64 n = r.first; n <= r.last; ++n)
                    m_taken.append(n);
        else if (key == QLatin1String("spent"))
            m_spent = value.toULongLong(&ok);
        else
            ok = false;
        return ok;
    };
    const StateFile::Read read = StateFile::read(
        options.statePath, QStringLiteral("permits' state"),
        QStringLiteral("order=, units=, machine=, holder=, free=, taken= or spent="), take, error);
    if (read == StateFile::Read::Failed)
        return false;
    if (read == StateFile::Read::Read) {
        if (!order.isEmpty() && order != options.order && (!m_free.isEmpty() || !m_taken.isEmpty())) {
            *error = QStringLiteral("the permits' state %1 holds permits of the work order %2, "
                                    "not %3")
                         .arg(options.statePath, order, options.order);
            return false;
        }
        // A state copied from another computer adds no permit here.
        if (!machine.isEmpty() && machine != UnitNumbering::machineId() &&
            (!m_free.isEmpty() || !m_taken.isEmpty())) {
            *error = QStringLiteral("the permits' state %1 holds permits of %2 leased to another "
                                    "computer (machine %3): a state copied or restored from "
                                    "there. Remove its free= and taken= lines before this "
                                    "station runs; those permits stay that computer's")
                         .arg(options.statePath, order, machine);
            return false;
        }
    }
    if (order.isEmpty() && !options.shared) {
        // The order's count on this bench alone: every permit, from the first.
        m_free = {Range{1, quint64(options.units)}};
    } else if (!options.shared && units != options.units) {
        *error = QStringLiteral("%1 was released for %2 units, not the %3 this job says")
                     .arg(options.order)
                     .arg(units)
                     .arg(options.units);
        return false;
    }
    if (m_holder.isEmpty())
        m_holder = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Permits in units' hands when the station was killed: spent if the
    // record says so, and spent too if it does not (a unit may have had its
    // final line before its record): never one unit more than ordered.
    if (!options.shared)
        m_spent += quint64(m_taken.size());
    m_taken.clear();
    return save(error);
}

bool PermitBook::save(QString* error) const
{
    QByteArray text = "# The permits of a work order held here; written before each unit.\n";
    text += "order=" + m_options.order.toUtf8() + '\n';
    text += "units=" + QByteArray::number(m_options.units) + '\n';
    text += "machine=" + UnitNumbering::machineId().toUtf8() + '\n';
    text += "holder=" + m_holder.toUtf8() + '\n';
    text += "free=" + rangesText(m_free).toUtf8() + '\n';
    QVector<Range> taken;
    for (quint64 n : m_taken)
        taken.append({n, n});
    text += "taken=" + rangesText(taken).toUtf8() + '\n';
    text += "spent=" + QByteArray::number(m_spent) + '\n';
    QString why;
    if (AtomicFile::write(m_options.statePath, text, true, &why))
        return true;
    *error = QStringLiteral("the permits' state %1").arg(why);
    return false;
}

quint64 PermitBook::held() const
{
    quint64 n = 0;
    for (const Range& r : m_free)
        n += r.count();
    return n;
}

bool PermitBook::wantsBlock() const
{
    return enabled() && m_options.shared && held() <= quint64(qMax(1, m_options.block / 2));
}

PermitBook::Take PermitBook::take(quint64* permit, QString* why)
{
    if (m_free.isEmpty()) {
        if (m_options.shared) {
            *why = QStringLiteral("waiting for %1's permits from the database").arg(m_options.order);
            return Take::Waiting;
        }
        *why = QStringLiteral("%1: its %2 units are made").arg(m_options.order).arg(m_options.units);
        return Take::AllMade;
    }
    const QVector<Range> was = m_free;
    *permit = m_free.first().first;
    if (++m_free.first().first > m_free.first().last)
        m_free.removeFirst();
    m_taken.append(*permit);
    if (save(why))
        return Take::Taken;
    m_free = was;
    m_taken.removeLast();
    *why = QStringLiteral("new units are stopped: %1").arg(*why);
    return Take::Failed;
}

bool PermitBook::spend(quint64 permit, QString* error)
{
    m_taken.removeAll(permit);
    ++m_spent;
    return save(error);
}

bool PermitBook::giveBack(quint64 permit, QString* error)
{
    m_taken.removeAll(permit);
    m_free.prepend({permit, permit});
    return save(error);
}

bool PermitBook::addBlock(const Range& range, QString* error)
{
    m_free.append(range);
    if (save(error))
        return true;
    m_free.removeLast();
    return false;
}

QVector<PermitBook::Range> PermitBook::giveBackAll(QString* error)
{
    const QVector<Range> rest = m_free;
    m_free.clear();
    if (!save(error))
        return {};
    return rest;
}
