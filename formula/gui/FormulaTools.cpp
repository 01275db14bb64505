#include "formula/gui/FormulaTools.h"

#include <QPlainTextEdit>
#include <exception>

#include "gui/DialogService.h"
#include "formula/FormulaPage.h"
#include "formula/MessageSink.h"

namespace vantorel::gui {

QString FormulaTextOf(const QPlainTextEdit& memo) { return memo.toPlainText().remove(QLatin1Char('\n')); }

QString MessageText(const std::string& message) {
  return QString::fromStdString(message).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

FormulaVerdict TestFormulaShowingMessages(QWidget* parent, const QString& text) {
  FunctionMessageSink sink([parent](const std::string& m) { DialogService::instance().information(parent, MessageText(m)); });
  try {
    return TestFormula(text.toStdString(), sink);
  } catch (const std::exception& e) {  // out of memory and the like: said, and the program goes on
    DialogService::instance().error(parent, QString::fromLocal8Bit(e.what()));
    return FormulaVerdict::NotConverted;
  }
}

void ShowFormulaHelp(QWidget* parent) { DialogService::instance().information(parent, MessageText(FormulaHelpText())); }

}  // namespace vantorel::gui
