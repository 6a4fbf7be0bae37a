#include "platform/eventloop.h"
#include "platform/helpbeforedisplay.h"
#include "platform/terminationsignals.h"
#include "stationwindow/language.h"
#include "stationwindow/slottile.h"
#include "stationwindow/stationwindow.h"
#include "ui/icons.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

struct Options {
    QCommandLineOption port{{"p", "port"},
                            "Add a slot for PORT (a stable name such as "
                            "/dev/serial/by-id/..., a device or a Com number); repeat it.",
                            "PORT"};
    QCommandLineOption record{"record", "Record every unit in FILE (JSON Lines).", "FILE"};
    QCommandLineOption start{"start", "Start the station at once."};
    QCommandLineOption bench{"bench",
                             "Attach to the station service of bench NAME on the system bus: "
                             "the window shows and drives it, polkit deciding what it may do "
                             "(see firmware-upload status).",
                             "NAME"};
    QCommandLineOption language{"language",
                                "The window's language, such as de, es, vi or zh_CN (en: "
                                "English), over the one View > Language keeps; a released job "
                                "that names one is shown in its own.",
                                "CODE"};
    QCommandLineOption job{"job",
                           "Run the released job FILE in operator mode: a bench signed by an "
                           "engineer, locked until one unlocks it (see firmware-station(1)).",
                           "FILE"};
};

void describe(QCommandLineParser& parser, const Options& o)
{
    parser.setApplicationDescription(QStringLiteral(
        "A production bench at a glance: one tile per infra-red adaptor, each flashing unit "
        "after unit\nwith the firmware FILE and recording every unit. See firmware-station(1)."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The firmware file."),
                                 QStringLiteral("[FILE]"));
    parser.addOptions({o.port, o.record, o.start, o.job, o.bench, o.language});
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace

int main(int argc, char* argv[])
{
    answerHelpBeforeDisplay(argc, argv, [](QCommandLineParser& parser) {
        const Options options;
        describe(parser, options);
    });

    preferQtEventLoop();
    QApplication app(argc, argv);
    app.setApplicationVersion(QStringLiteral(LOADER_VERSION));
    QCoreApplication::setApplicationName(QStringLiteral("Tarvel Labs Firmware Station"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarvellabs.FirmwareStation"));
    app.setWindowIcon(Icons::load(QStringLiteral("station")));
    app.setQuitOnLastWindowClosed(false);
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    parser.process(app);
    if (parser.positionalArguments().size() > 1) {
        std::fputs("firmware-station: give one firmware file only\n", stderr);
        return 2;
    }
    if (parser.isSet(options.job) && (!parser.positionalArguments().isEmpty() ||
                                      parser.isSet(options.port) || parser.isSet(options.record))) {
        std::fputs("firmware-station: a job fixes its file, ports and record: give none beside "
                   "--job\n",
                   stderr);
        return 2;
    }

    if (parser.isSet(options.bench) &&
        (!parser.positionalArguments().isEmpty() || parser.isSet(options.port) ||
         parser.isSet(options.record) || parser.isSet(options.job))) {
        std::fputs("firmware-station: a bench's service has its own file, ports, record and job: "
                   "give none beside --bench\n",
                   stderr);
        return 2;
    }

    if (parser.isSet(options.language) && !StationLanguage::has(parser.value(options.language))) {
        std::fprintf(stderr, "firmware-station: the window has no words in \"%s\"; it has %s\n",
                     qPrintable(parser.value(options.language)),
                     qPrintable(StationLanguage::available().join(QStringLiteral(", "))));
        return 2;
    }
    StationWindow window;
    if (parser.isSet(options.language))
        window.setLanguage(parser.value(options.language));
    if (parser.isSet(options.bench)) {
        QString why;
        if (!window.attach(parser.value(options.bench), &why)) {
            std::fprintf(stderr, "firmware-station: %s\n", qPrintable(why));
            return 2;
        }
    }
    QObject::connect(&window, &StationWindow::ended, &app, [] {
        // From inside a modal box the code around it would go on after its
        // loop ends; the ports are released by now, so end here.
        if (QThread::currentThread()->loopLevel() > 1)
            std::exit(0);
        QCoreApplication::exit(0);
    });
    TerminationSignals endings;
    QObject::connect(&endings, &TerminationSignals::received, &window, [&window](int signal) {
        window.endWithoutQuestions(TerminationSignals::name(signal));
    });
    for (const QString& port : parser.values(options.port))
        window.addSlot(port, QString());
    if (parser.isSet(options.record))
        window.setRecordPath(parser.value(options.record));
    if (!parser.positionalArguments().isEmpty())
        window.openFirmware(parser.positionalArguments().first());
    window.show();
    if (parser.isSet(options.job) && !window.openJob(parser.value(options.job)))
        return 3;
    if (parser.isSet(options.start))
        window.start();
    return app.exec();
}
