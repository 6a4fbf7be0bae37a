#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace Twips {

double logicalDpi(const QWidget* widget)
{
    if (widget)
        return widget->logicalDpiX();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchX();
    return 96.0;
}

int toPixels(int twips, const QWidget* widget)
{
    return int(std::lround(twips * logicalDpi(widget) / 1440.0));
}

void useDialogFont(QWidget* dialog)
{
    QFont font = dialog->font();
    font.setPointSizeF(8.0);
    dialog->setFont(font);
}

void centreOnScreen(QWidget* window, const QSize& outerSize)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.left() + (area.width() - outerSize.width()) / 2,
                 area.top() + (area.height() - outerSize.height()) / 2);
}

QRect rect(int left, int top, int width, int height, const QWidget* widget)
{
    return QRect(toPixels(left, widget), toPixels(top, widget), toPixels(width, widget),
                 toPixels(height, widget));
}

} // namespace Twips
