#pragma once

#include <QRect>

class QWidget;

// Layout sizes are given in twips (1/1440 inch); 15 twips are one pixel at
// 96 dots per inch. Converting through the screen's logical DPI keeps the
// windows right on a high-DPI screen.
namespace Twips {

double logicalDpi(const QWidget* widget);
int toPixels(int twips, const QWidget* widget);
QRect rect(int left, int top, int width, int height, const QWidget* widget);

// The dialogs were drawn for an 8-point font.
void useDialogFont(QWidget* dialog);
// Centres a window of the given outer size on its screen.
void centreOnScreen(QWidget* window, const QSize& outerSize);

} // namespace Twips
