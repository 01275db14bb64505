#include "formula/gui/FormulaTools.h"

#include <QPlainTextEdit>
#include <QStringList>
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
  // Everything the test says comes in one box, one paragraph after the other.
  QStringList said;
  FunctionMessageSink sink([&said](const std::string& m) { said << MessageText(m); });
  FormulaVerdict verdict = FormulaVerdict::NotConverted;
  try {
    verdict = TestFormula(text.toStdString(), sink);
  } catch (const std::exception& e) {  // out of memory and the like: said, and the program goes on
    said << QString::fromLocal8Bit(e.what());
  }
  const QString message = said.join(QStringLiteral("\n\n"));
  if (verdict == FormulaVerdict::Success)
    DialogService::instance().information(parent, message);
  else if (!message.isEmpty())
    DialogService::instance().error(parent, message);
  return verdict;
}

void ShowFormulaHelp(QWidget* parent) { DialogService::instance().information(parent, MessageText(FormulaHelpText())); }

}  // namespace vantorel::gui
