// Every modal dialog of the program (message boxes, file dialogs, colour dialogs) goes
// through this one service, so that tests can answer them without a display.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace vantorel::gui {

struct FileDialogRequest {
  enum Kind { Open, Save } kind = Open;
  QString title;
  QString filter;          // "parameter - file (*.Par);;all files (*)"
  QString defaultSuffix;   // "Par"
  QString presetFileName;  // file name shown at first
  bool confirmOverwrite = true;
};

class DialogService {
 public:
  virtual ~DialogService() = default;

  // A message box; returns the button pressed.
  virtual QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                              const QString& text, QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) = 0;
  // A file dialog; returns the chosen path, or nothing when cancelled.
  virtual std::optional<QString> fileName(QWidget* parent, const FileDialogRequest& request) = 0;
  // A colour dialog; returns the chosen colour, or nothing when cancelled.
  virtual std::optional<QColor> color(QWidget* parent, const QColor& initial, const QString& title) = 0;

  // Shows one of the program's own modal dialogs; returns its result (QDialog::Accepted or
  // Rejected). The dialog's buttons set its fields as usual.
  virtual int execDialog(QDialog* dialog);

  // Short forms.
  void information(QWidget* parent, const QString& text);
  void error(QWidget* parent, const QString& text);
  QMessageBox::StandardButton question(QWidget* parent, const QString& text,
                                       QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::Icon icon = QMessageBox::Question);

  // The service in use; the program's real dialogs unless a test installed another.
  static DialogService& instance();
  // Installs a service (tests); nullptr restores the real dialogs.
  static void install(DialogService* service);
};

}  // namespace vantorel::gui
