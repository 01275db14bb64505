// The "progress" window: a small always-on-top window that file commands show while they
// load, save or recover, with the step being done and a bar from 0 to 100.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace vantorel::gui {

class TForm7 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm7(QWidget* parent = nullptr);

  QProgressBar* ProgressBar1 = nullptr;  // 0-100
  QLabel* Label1 = nullptr;              // the step being done
};

}  // namespace vantorel::gui
