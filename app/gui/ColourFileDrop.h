// A colour file (*.Pal) dropped onto a project window's "colors" page loads into its colour
// list as the page's "load" button would; other files pass on to the frame.
#pragma once

#include <QObject>

class QWidget;

namespace vantorel::gui {

class TColorListDisplay;

// Makes `page` take colour files for `colours` (both must live as long as each other).
void AcceptColourFileDrops(QWidget* page, TColorListDisplay* colours);

}  // namespace vantorel::gui
