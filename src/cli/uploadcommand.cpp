#include "uploadcommand.h"

#include "progresslines.h"
#include "verbs.h"

#include <cstdio>

UploadCommand::UploadCommand(QObject* parent) : QObject(parent) {}

UploadCommand::~UploadCommand() = default;

int UploadCommand::start(const QStringList& arguments)
{
    Verbs::Invocation call = Verbs::prepare(arguments.mid(1));
    for (const QString& note : call.notes)
        ProgressLines::say(QStringLiteral("firmware-upload: ") + note, Journal::Level::Warning);
    if (call.usage) {
        const QString help = call.verb.isEmpty() || call.verb == QLatin1String("help") ||
                                     call.verb == QLatin1String("completion")
                                 ? QStringLiteral("firmware-upload --help")
                                 : QStringLiteral("firmware-upload %1 --help").arg(call.verb);
        ProgressLines::complain(QStringLiteral("%1\nTry %2.").arg(call.usage->why, help));
        return ExitCodes::value(ExitCode::Usage);
    }
    if (!call.answer.isEmpty()) {
        std::fputs(qPrintable(call.answer), stdout);
        return ExitCodes::value(ExitCode::Success);
    }
    m_command = std::move(call.command);
    if (const std::optional<ExitCode> code = m_command->start())
        return ExitCodes::value(*code);
    connect(m_command.get(), &Command::done, this,
            [this](ExitCode code) { emit done(ExitCodes::value(code)); });
    return -1;
}
