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

// Where a tool window of the given frame size goes beside a window (both as frames on the
// screen): right of it, else left of it, top edges level, else over it; always fitted into
// the area.
QPoint PlaceBeside(const QRect& anchor, QSize frameSize, const QRect& area);
// Moves a tool window beside the window that contains `owner` (its project window when it
// sits in the work space), unless the tool window is already showing.
void ShowBeside(QWidget* window, const QWidget* owner);

// A dialog at least as wide as its title needs, so that the title bar does not cut it.
void FitTitle(QWidget* dialog);

}  // namespace vantorel::gui
