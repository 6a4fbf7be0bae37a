#include "platform/eventloop.h"
#include "platform/helpbeforedisplay.h"
#include "platform/terminationsignals.h"
#include "serial/applicationtitle.h"
#include "terminal/frmterminal.h"
#include "ui/icons.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QThread>
#include <cstdlib>

namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Sends firmware to a handheld unit through an infra-red adaptor on a serial port.\n"
        "Open the port (CommPort > Port Open), set the unit to Code Upload, then choose\n"
        "File > Load Firmware File. For scripts and several units at once, see\n"
        "firmware-upload(1)."));
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace

int main(int argc, char* argv[])
{
    answerHelpBeforeDisplay(argc, argv, describe);

    preferQtEventLoop();
    QApplication app(argc, argv);
    app.setApplicationVersion(QStringLiteral(LOADER_VERSION));
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    // The window's class and desktop file name, so that the menu entry and
    // the running window are one to the desktop.
    QCoreApplication::setApplicationName(applicationTitle());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarvellabs.FirmwareLoader"));
    // The program ends through its main window's unload step alone.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(Icons::load(QStringLiteral("terminal")));

    frmTerminal window;
    QObject::connect(&window, &frmTerminal::ended, &app, [] {
        // From inside a modal box or dialog the code around it would go on
        // after its loop ends; the port is closed by now, so end here.
        if (QThread::currentThread()->loopLevel() > 1)
            std::exit(0);
        QCoreApplication::exit(0);
    });
    TerminationSignals endings;
    QObject::connect(&endings, &TerminationSignals::received, &window,
                     &frmTerminal::endWithoutQuestions);
    window.show();
    return app.exec();
}
