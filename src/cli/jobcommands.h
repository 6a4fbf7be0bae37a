#pragma once

#include "../station/stationpolicy.h"
#include "command.h"

// firmware-upload job verify|show FILE: a released job's verdict (its
// signature, its signer, the firmware on disk), and with show the bench it
// fixes.
class JobCommand : public Command
{
    Q_OBJECT

public:
    JobCommand();
    std::optional<ExitCode> start() override;

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    QCommandLineOption m_allowedSigners;
    QString m_action;
    QString m_path;
    QString m_signers;
    StationPolicy m_policy;
};

// firmware-upload audit verify FILE: whether an audit trail's chain holds,
// or the first line that breaks it.
class AuditCommand : public Command
{
    Q_OBJECT

public:
    AuditCommand();
    std::optional<ExitCode> start() override;

protected:
    void declare(QCommandLineParser& parser) override;
    std::optional<Usage> read(const QCommandLineParser& parser) override;

private:
    QString m_path;
};
