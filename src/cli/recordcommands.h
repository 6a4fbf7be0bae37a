#pragma once

#include "command.h"

#include <QDateTime>

// firmware-upload summary RECORD|URL: pass, fail and yield per station,
// slot and build, from a record file or the factory's database.
class SummaryCommand : public Command
{
    Q_OBJECT

public:
    SummaryCommand();
    std::optional<ExitCode> start() override;

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    QCommandLineOption m_since, m_station;
    QString m_source;
    QDateTime m_sinceTime;
    QString m_stationName;
};

// firmware-upload forward RECORD... --database URL: the record lines the
// database lacks, sent; for a bench that kept files only, or after an outage.
class ForwardCommand : public Command
{
    Q_OBJECT

public:
    ForwardCommand();
    std::optional<ExitCode> start() override;

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    QCommandLineOption m_database;
    QString m_url;
    QStringList m_records;
};
