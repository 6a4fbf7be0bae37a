#include "serial/applicationtitle.h"
#include "terminal/frmterminal.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Qt's own event loop needs fewer system calls per port event than
    // GLib's, which an upload makes about two hundred times a second.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    // The program ends through its main window's unload step alone.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/terminal.svg")));

    frmTerminal window;
    QObject::connect(&window, &frmTerminal::ended, &app, [] { QCoreApplication::exit(0); });
    window.show();
    return app.exec();
}
