// The "common information" box: program icon, name, version and date.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vantorel::gui {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;  // "Vantorel"
  QLabel* Version = nullptr;      // "Version 2.1"
  QLabel* Copyright = nullptr;    // the date
  QPushButton* OKButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace vantorel::gui
