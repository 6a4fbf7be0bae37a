#pragma once

#include "version.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>

// --help and --version are answered before any window or display is needed
// (a terminal over ssh, a packaging check). Ends the program when one of
// them is asked for; returns otherwise.
template <typename Describe> void answerHelpBeforeDisplay(int argc, char* argv[], Describe describe)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-h" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version") {
            QCoreApplication app(argc, argv);
            app.setApplicationVersion(QStringLiteral(LOADER_VERSION));
            QCommandLineParser parser;
            describe(parser);
            parser.process(app); // prints and exits
            return;
        }
    }
}
