// Where the program's windows appear.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace vantorel::gui {

// Moves the window so that its frame is centred on the primary screen's free area.
void CentreOnScreen(QWidget* window);

// The wanted rectangle where it fits into the area; otherwise a side longer than the area's
// shrinks to it and the rectangle moves just far enough to lie inside.
QRect FitIntoArea(const QRect& wanted, const QRect& area);

// Gives a window its stated place (the frame's top-left corner) and client size, where they
// fit into the free area of the screen there; where they do not (a small screen, a large
// scale factor) they are clamped to it, decorations included (estimated before the window
// manager has framed the window).
void PlaceWithinScreen(QWidget* window, QPoint framePosition, QSize clientSize);

}  // namespace vantorel::gui
