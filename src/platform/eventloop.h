#pragma once

#include <QByteArray>
#include <QtGlobal>

// Qt's own event loop needs fewer system calls per port event than GLib's,
// which an upload makes about two hundred times a second. Call it before the
// application object is made; a QT_NO_GLIB set by the user is kept.
inline void preferQtEventLoop()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}
