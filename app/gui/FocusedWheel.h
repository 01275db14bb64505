// Spin boxes and track bars take the mouse wheel only while they have the focus, so that
// turning the wheel over a window never changes a value by accident.
#pragma once

class QWidget;

namespace vantorel::gui {

void TakeWheelOnlyWhenFocused(QWidget* widget);

}  // namespace vantorel::gui
