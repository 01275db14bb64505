// The formula tools shared by the project window's formula page and the plot window: the test
// of a formula with its message boxes, and the help on formulas.
#pragma once

#include <QString>

#include "formula/FormulaCheck.h"

class QPlainTextEdit;
class QWidget;

namespace vantorel::gui {

// The formula text of a memo: its lines joined without a separator.
QString FormulaTextOf(const QPlainTextEdit& memo);

// Tests the formula and shows what the test says in one message box (an error box when the
// formula cannot be used). Never throws.
FormulaVerdict TestFormulaShowingMessages(QWidget* parent, const QString& text);

// Shows the help on formulas.
void ShowFormulaHelp(QWidget* parent);

// A formula's message (lines separated by carriage returns) as a message box text.
QString MessageText(const std::string& message);

}  // namespace vantorel::gui
