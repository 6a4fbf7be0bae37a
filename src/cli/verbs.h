#pragma once

#include "command.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

// firmware-upload's verbs, in one table: what each is called, what it
// takes, and the command that does it.
namespace Verbs {

struct Verb {
    QString name;
    QString synopsis; // "send FILE -p PORT..."
    QString summary;
    std::function<std::unique_ptr<Command>()> make;
};
const QVector<Verb>& all();
const Verb* find(const QString& name);

// An argument list taken apart: the verb's command with its arguments
// parsed, the old spellings met on the way, or the usage error.
struct Invocation {
    QString verb;
    std::unique_ptr<Command> command;
    QStringList notes; // "--check is now: firmware-upload check FILE"
    std::optional<Command::Usage> usage;
    QString answer; // help or version, for standard output: nothing to run
};
// `arguments` without the program's name.
Invocation prepare(const QStringList& arguments);

QString helpText();
// The bash completion of every verb and its options.
QString bashCompletion();

} // namespace Verbs
