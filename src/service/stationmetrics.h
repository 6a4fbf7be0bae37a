#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class Station;
struct UnitRecord;

// The station as Prometheus reads it through node_exporter's textfile
// collector: a .prom file rewritten every 5 s and after each result, into
// a temporary file in the same folder and renamed, so a reader never sees
// half a file. Names after Prometheus' conventions, prefix
// firmware_station_, base units, _total on counters, HELP and TYPE for each.
class StationMetrics : public QObject
{
    Q_OBJECT

public:
    StationMetrics(Station& station, const QString& path, QObject* parent = nullptr);

    // Written now; false, with `error`, when the file cannot be.
    [[nodiscard]] bool write(QString* error);
    QByteArray text() const;

    // Upper bounds of the duration histogram's buckets, in seconds.
    static const QVector<double>& buckets();

signals:
    // A write that failed, said once until one succeeds again.
    void failed(const QString& why);

private:
    struct PerSlot {
        int pass = 0, fail = 0, interrupted = 0;
        qint64 linesSent = 0, resends = 0;
    };
    void onUnit(int slot, const UnitRecord& record);
    void writeQuietly();

    Station& m_station;
    QString m_path;
    QTimer m_timer;
    QDateTime m_started;
    QHash<QString, PerSlot> m_slots; // by the slot's port as given
    QVector<qint64> m_bucketCounts;  // cumulative counts per bucket, +Inf last
    double m_durationSum = 0;
    qint64 m_durationCount = 0;
    bool m_failing = false;
};
