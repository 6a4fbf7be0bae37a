#pragma once

#include "../records/databaseurl.h"
#include "benchconfig.h"
#include "unitrecord.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QRegularExpression>
#include <QString>
#include <optional>

// The labels scanned for the units in the operators' hands. A scanned
// slot's name (as the bench names it) picks the slot the next label is for;
// with one slot every label is its. A label must match the bench's pattern,
// and is refused when it is the one already waiting for that slot or on the
// unit under way there (scanned twice). A label whose unit passed before
// (in the database when there is one, else in the local record) is a
// rework; it is looked up away from the slots' lines and is ready once known.
class LabelDesk : public QObject
{
    Q_OBJECT

public:
    struct Earlier {
        QString id; // the record's
        QString station;
        QDateTime ended;
        std::optional<quint64> serial;
    };
    struct Label {
        QString text;
        bool checked = false; // looked up: `earlier` is known
        std::optional<Earlier> earlier;
    };

    explicit LabelDesk(QObject* parent = nullptr);

    // The bench's names, pattern and record; `database` where earlier
    // passes are looked up first.
    void configure(const BenchConfig& bench, const std::optional<DatabaseUrl>& database);
    bool enabled() const { return m_enabled; }

    // A scanned line; what it did is said (the port it concerns, if any).
    void scan(const QString& text);
    // The label waiting for the next unit at `port`, once it is checked.
    const Label* ready(const QString& port) const;
    bool checking(const QString& port) const;
    // The unit has begun with its label (or has been refused it).
    void take(const QString& port);
    void drop(const QString& port);
    // A unit's result: a pass is an earlier pass for its label from now on.
    void unitDone(const UnitRecord& record);

signals:
    // For the host to show: `port` empty when no slot is concerned.
    void said(const QString& port, const QString& text, bool refused);
    // A label's check came back: the slot may go on.
    void labelReady(const QString& port);

private:
    void lookUp(const QString& port, const QString& label);
    void indexRecord(const QString& path);

    bool m_enabled = false;
    BenchConfig m_bench;
    std::optional<DatabaseUrl> m_database;
    QRegularExpression m_pattern;
    QString m_nextFor;                  // the port a slot's name picked
    QHash<QString, Label> m_waiting;    // by port
    QHash<QString, QString> m_underWay; // by port: the label of the unit being flashed
    QHash<QString, Earlier> m_passes;   // by label: the last pass in the local record
};
