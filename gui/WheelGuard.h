// The mouse wheel over a page that scrolls: spin boxes, combo boxes, radio groups and track bars take it
// only when they have the focus; otherwise it scrolls the page around them, so that a page
// scrolled past a spin box does not change its value on the way.
#pragma once

class QWidget;

namespace vantorel::gui {

// Guards every spin box, combo box, radio group and track bar among root's children (and root itself):
// they no longer take the focus from the wheel, and an unfocused one passes the wheel on to
// the scroll areas around it, innermost first (a scroll area that only holds the guarded
// control is passed over). Call it once a window's controls exist; calling it again is
// harmless.
void GuardWheel(QWidget* root);

}  // namespace vantorel::gui
