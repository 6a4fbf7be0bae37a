#include "icons.h"

#include <QImageReader>

namespace Icons {

bool svgAvailable()
{
    static const bool available = [] {
        const bool found = QImageReader::supportedImageFormats().contains("svg");
        if (!found) {
            qWarning("Qt's SVG image plugin is missing (Debian package libqt6svg6); the icons are "
                     "drawn from bitmaps.");
        }
        return found;
    }();
    return available;
}

QIcon load(const QString& name)
{
    return QIcon(QStringLiteral(":/icons/%1.%2").arg(name, svgAvailable() ? "svg" : "png"));
}

} // namespace Icons
