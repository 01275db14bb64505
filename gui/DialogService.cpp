#include "gui/DialogService.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "gui/Settings.h"

namespace vantorel::gui {

namespace {

class RealDialogs final : public DialogService {
 public:
  QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                      const QString& text, QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override {
    QMessageBox box(icon, title.isEmpty() ? QApplication::applicationName() : title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }

  std::optional<QString> fileName(QWidget* parent, const FileDialogRequest& r) override {
    QFileDialog dialog(parent, r.title);
    dialog.setNameFilter(r.filter);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (r.kind == FileDialogRequest::Save) {
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      if (!r.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::ExistingFile);
    }
    const QString start = StartPath(r);
    if (QFileInfo(start).isDir())
      dialog.setDirectory(start);
    else if (!start.isEmpty())
      dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    RememberFolder(FileKind(r.defaultSuffix, r.filter), chosen);
    return chosen;
  }

  std::optional<QColor> color(QWidget* parent, const QColor& initial, const QString& title) override {
    const QColor c = QColorDialog::getColor(initial, parent, title);
    if (!c.isValid()) return std::nullopt;
    return c;
  }
};

DialogService* g_installed = nullptr;

}  // namespace

int DialogService::execDialog(QDialog* dialog) { return dialog->exec(); }

void DialogService::information(QWidget* parent, const QString& text) {
  message(parent, QMessageBox::Information, QString(), text, QMessageBox::Ok, QMessageBox::Ok);
}

void DialogService::error(QWidget* parent, const QString& text) {
  message(parent, QMessageBox::Critical, QString(), text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton DialogService::question(QWidget* parent, const QString& text,
                                                    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
  return message(parent, icon, QString(), text, buttons, QMessageBox::NoButton);
}

DialogService& DialogService::instance() {
  static RealDialogs real;
  return g_installed ? *g_installed : real;
}

void DialogService::install(DialogService* service) { g_installed = service; }

}  // namespace vantorel::gui
