#include "cli/uploadcommand.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    // Qt's own event loop: fewer system calls per port event than GLib's.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    UploadCommand command;
    const int code = command.start(app.arguments());
    if (code >= 0)
        return code;
    QObject::connect(&command, &UploadCommand::done, &app,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    return app.exec();
}
