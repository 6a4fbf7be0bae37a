#pragma once

#include "exitcode.h"

#include <QObject>
#include <QStringList>
#include <memory>

class Command;

// firmware-upload: its arguments taken apart into a verb and what the verb
// takes, old spellings said with their new forms, help answered; then the
// verb runs.
class UploadCommand : public QObject
{
    Q_OBJECT

public:
    explicit UploadCommand(QObject* parent = nullptr);
    ~UploadCommand() override;

    // Takes the program's whole argument list. Returns the exit code when
    // the program ends before the event loop (help, usage, a check), or -1
    // while the verb goes on and done() will say the code.
    int start(const QStringList& arguments);

signals:
    void done(int exitCode);

private:
    std::unique_ptr<Command> m_command;
};
