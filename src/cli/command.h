#pragma once

#include "../station/benchconfig.h"
#include "exitcode.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// One verb of firmware-upload: the options it takes (and no others), a
// parse that fills what the verb works from or names the option refused,
// and a start.
class Command : public QObject
{
    Q_OBJECT

public:
    struct Usage {
        QString option; // "--timeout"; empty when no one option is to blame
        QString why;    // "--timeout takes whole seconds from 1 to 86400"
    };

    explicit Command(const QString& verb, QObject* parent = nullptr);

    QString verb() const { return m_verb; }
    // The verb's arguments, the verb itself left out.
    std::optional<Usage> parse(const QStringList& arguments);
    bool helpAsked() const { return m_helpAsked; }
    QString helpText();
    // Every option the verb takes, as typed: "-p", "--port", ...
    QStringList optionNames();

    // After parse(): the exit code when the work is over at once, or none
    // while it goes on and done() will tell.
    virtual std::optional<ExitCode> start() = 0;
    // The bench the arguments make, for the verbs that take one.
    virtual const BenchConfig* bench() const { return nullptr; }

signals:
    void done(ExitCode code);

protected:
    virtual void declare(QCommandLineParser& parser) = 0;
    virtual std::optional<Usage> read(const QCommandLineParser& parser) = 0;
    // The one firmware file a verb takes, into `bench`.
    static std::optional<Usage> oneFile(const QCommandLineParser& parser, BenchConfig* bench);
    // A refusal of the bench, with its field's option named.
    static Usage usage(const BenchRefusal& refusal);
    // The loader window's saved Properties, where the bench says nothing of
    // the line settings; a usage error, said, when they are refused.
    static std::optional<ExitCode> fillSavedProperties(BenchConfig* bench);

private:
    void build();

    QString m_verb;
    QCommandLineParser m_parser;
    bool m_built = false;
    bool m_helpAsked = false;
};

// Options that several verbs share, each made from the bench's own table:
// its names, its value's name, its help and its default.
class BenchOptions
{
public:
    using Group = QList<BenchField>;
    static const Group& line();      // the ports and how they are opened
    static const Group& timing();    // when a unit is given up on
    static const Group& fileCheck(); // what the file must be
    static const Group& serials();   // a number and data of its own in each unit
    static const Group& station();  // what only a station has
    static const Group& factory();  // the factory's series, labels and rework
   // what only a station has

    explicit BenchOptions(const QList<Group>& groups);
    void addTo(QCommandLineParser& parser) const;
    // The fields the command line gives, in the table's order.
    QList<BenchField> given(const QCommandLineParser& parser) const;
    // Those fields into `bench`; the first refused value is named.
    std::optional<Command::Usage> read(const QCommandLineParser& parser, BenchConfig* bench) const;
    // The same in two steps, for values put on a bench read later.
    using Values = QList<QPair<BenchField, QString>>;
    Values values(const QCommandLineParser& parser) const;
    static std::optional<Command::Usage> apply(const Values& values, BenchConfig* bench);

private:
    QList<QPair<BenchField, QCommandLineOption>> m_options;
};
