#include "cli/uploadcommand.h"
#include "platform/eventloop.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    preferQtEventLoop();
    QCoreApplication app(argc, argv);
    UploadCommand command;
    const int code = command.start(app.arguments());
    if (code >= 0)
        return code;
    QObject::connect(&command, &UploadCommand::done, &app,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    return app.exec();
}
