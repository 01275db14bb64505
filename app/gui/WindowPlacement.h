// Where the program's small windows appear.
#pragma once

class QWidget;

namespace vantorel::gui {

// Moves the window so that its frame is centred on the primary screen's free area.
void CentreOnScreen(QWidget* window);

}  // namespace vantorel::gui
