#pragma once

#include <QString>
#include <QVector>
#include <optional>

// The permits of a work order (a released job's order= and order-units=):
// a unit begins only with a permit in hand, spends it once its final line
// was sent (whatever its result) and gives it back if it ended before, for
// the next unit. What this bench holds is in a state file, written whole,
// flushed and renamed before a permit goes to a unit; after a kill, a
// permit that was in a unit's hands and is not in the record counts as
// spent, so no count of units ever passes the order's. With the factory's
// database the permits are numbers 1..N of the order's series, leased in
// blocks as serial numbers are; without one the order is this bench's own.
class PermitBook
{
public:
    struct Options {
        QString order;
        int units = 0;
        QString statePath;
        bool shared = false; // from the factory's database
        int block = 10;      // permits leased at a time
    };
    struct Range {
        quint64 first = 1, last = 0;
        quint64 count() const { return last < first ? 0 : last - first + 1; }
    };

    bool enabled() const { return !m_options.order.isEmpty(); }
    const Options& options() const { return m_options; }
    // Reads the state; false, with why: a state that cannot be kept, or
    // of another order or another computer.
    [[nodiscard]] bool open(const Options& options, QString* error);

    enum class Take { Taken, Waiting, AllMade, Failed };
    // A permit for the next unit, on the disk before it begins. Waiting:
    // none held here yet (the database's next block); AllMade: the order's
    // units are all made.
    Take take(quint64* permit, QString* why);
    // The unit's final line was sent: the permit is spent.
    [[nodiscard]] bool spend(quint64 permit, QString* error);
    // The unit ended before its final line: the permit goes to the next one.
    [[nodiscard]] bool giveBack(quint64 permit, QString* error);

    // In hand here and not handed out.
    quint64 held() const;
    // Spent here; without a database, all the order's units made.
    quint64 spent() const { return m_spent; }
    // Another block should be leased now (half a block ahead).
    bool wantsBlock() const;
    [[nodiscard]] bool addBlock(const Range& range, QString* error);
    // What is held, for the ledger's settling and a clean stop's return.
    QVector<Range> heldRanges() const { return m_free; }
    QString holder() const { return m_holder; }
    // A clean stop: the permits held go back, taken from the state.
    QVector<Range> giveBackAll(QString* error);

private:
    [[nodiscard]] bool save(QString* error) const;

    Options m_options;
    QVector<Range> m_free;   // in hand, in order
    QVector<quint64> m_taken; // in units' hands
    quint64 m_spent = 0;
    QString m_holder;
};
