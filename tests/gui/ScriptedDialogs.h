// A dialog service for widget tests: it answers message boxes, file dialogs and colour
// dialogs from queues filled by the test, and records every request, so tests run headless
// and can check what the program asked. An unexpected dialog (empty queue) is recorded and
// answered with the safest reply: Cancel / No / the default button, or "cancelled".
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QDialog>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "gui/DialogService.h"

namespace vantorel::test {

class ScriptedDialogs final : public gui::DialogService {
 public:
  struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
  };

  // Installs itself for the lifetime of the object.
  ScriptedDialogs() { gui::DialogService::install(this); }
  ~ScriptedDialogs() override { gui::DialogService::install(nullptr); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  // Answers for the next dialogs of each kind, in order.
  void answerMessage(QMessageBox::StandardButton b) { buttonAnswers.push_back(b); }
  void answerFile(std::optional<QString> path) { fileAnswers.push_back(path.value_or(QString())); }
  void answerColor(std::optional<QColor> c) { colorAnswers.push_back(c); }
  // The program's own dialogs: the test's function fills in the controls and presses a button
  // (or leaves the dialog rejected), as a person would.
  void answerDialog(std::function<void(QDialog*)> act) { dialogAnswers.push_back(std::move(act)); }

  QMessageBox::StandardButton message(QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override {
    messages.push_back({icon, title, text, buttons});
    if (whileAsking) whileAsking(text);
    return Next(buttonAnswers, buttons.testFlag(QMessageBox::Cancel)    ? QMessageBox::Cancel
                               : buttons.testFlag(QMessageBox::No)      ? QMessageBox::No
                               : defaultButton != QMessageBox::NoButton ? defaultButton
                                                                        : QMessageBox::Ok);
  }

  std::optional<QString> fileName(QWidget*, const gui::FileDialogRequest& request) override {
    fileRequests.push_back(request);
    const QString path = Next(fileAnswers, QString());
    return path.isNull() ? std::nullopt : std::optional(path);
  }

  std::optional<QColor> color(QWidget*, const QColor& initial, const QString& title) override {
    colorRequests.push_back({initial, title});
    return Next(colorAnswers, std::optional<QColor>());
  }

  int execDialog(QDialog* dialog) override {
    dialogRequests.push_back(dialog->windowTitle());
    dialog->setResult(QDialog::Rejected);
    Next(dialogAnswers, std::function<void(QDialog*)>([](QDialog*) {}))(dialog);
    return dialog->result();
  }

  // Runs while a message box is open, before it is answered (the program waits for it).
  std::function<void(const QString& text)> whileAsking;

  QString lastMessage() const { return messages.empty() ? QString() : messages.back().text; }

  std::vector<Message> messages;
  std::vector<gui::FileDialogRequest> fileRequests;
  std::vector<std::pair<QColor, QString>> colorRequests;
  std::vector<QString> dialogRequests;  // window titles
  int unexpected = 0;                   // dialogs asked for without a scripted answer

 private:
  // The next answer of a queue, or the fallback for an unexpected dialog.
  template <typename T>
  T Next(std::deque<T>& answers, T fallback) {
    if (answers.empty()) return ++unexpected, fallback;
    T a = std::move(answers.front());
    answers.pop_front();
    return a;
  }

  std::deque<QMessageBox::StandardButton> buttonAnswers;
  std::deque<QString> fileAnswers;  // null: cancelled
  std::deque<std::optional<QColor>> colorAnswers;
  std::deque<std::function<void(QDialog*)>> dialogAnswers;
};

}  // namespace vantorel::test
