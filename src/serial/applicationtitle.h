#pragma once

#include <QString>

// The program's title: window captions, message boxes, the settings store and
// the per-user folder for port links are all keyed by it.
inline QString applicationTitle()
{
    return QStringLiteral("Tarvel Labs Firmware Loader");
}
