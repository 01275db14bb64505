// The mouse wheel over a page that scrolls: spin boxes, combo boxes and radio groups take it
// only when they have the focus; otherwise it scrolls the page around them, so that a page
// scrolled past a spin box does not change its value on the way.
#pragma once

class QWidget;

namespace vantorel::gui {

// Guards every spin box, combo box and radio group among root's children (and root itself):
// they no longer take the focus from the wheel, and an unfocused one passes the wheel on to
// the scroll areas around it, innermost first (a scroll area that only holds the guarded
// control is passed over). Call it once a window's controls exist; calling it again is
// harmless.
void GuardWheel(QWidget* root);

}  // namespace vantorel::gui
