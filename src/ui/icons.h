#pragma once

#include <QIcon>
#include <QString>

// The program's pictures. They are drawn as SVG, which Qt reads through a
// plugin that no linker dependency brings along; where it is missing, the
// PNG renderings shipped beside them are used and standard error says which
// package would bring the SVG ones.
namespace Icons {

// "lamp-green", "lamp-red", "properties", "transmit" or "terminal".
QIcon load(const QString& name);
bool svgAvailable();

} // namespace Icons
