// Accessible names: screen readers and UI automation (through the desktop's accessibility bus)
// find and press a control by its name, which is its caption or, where it has no caption, its
// hint.
#pragma once

#include <QString>

class QWidget;

namespace vantorel::gui {

// Names every control among root's children (and root itself) that would otherwise have no
// accessible name: after its own caption (button text, which the toolkit reads itself), the
// label that names it (a label's buddy, the label before it in its layout row or above it in
// its grid column), then its hint (tool tip, followed when the hint changes later), then its
// placeholder text. Call it at the end of building a window, and again after adding controls.
void NameControls(QWidget* root);

// Whether a widget is a control a user acts on or reads (buttons, fields, lists, tab bars,
// progress bars, ...) rather than a container, a label or a toolkit part of another control.
bool IsControl(const QWidget* widget);
// The name assistive technology reads for the widget (empty when it has none).
QString AccessibleNameOf(QWidget* widget);

}  // namespace vantorel::gui
