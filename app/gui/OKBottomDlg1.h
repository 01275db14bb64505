// The adjustments dialog "change settings": which changed settings a computed picture takes
// over without starting from scratch.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace vantorel::gui {

class TOKBottomDlg1 : public QDialog {
  Q_OBJECT
 public:
  explicit TOKBottomDlg1(QWidget* parent = nullptr);

  QCheckBox* CheckBox1 = nullptr;  // "iterations"
  QCheckBox* CheckBox2 = nullptr;  // "smart-iter limit"
  QCheckBox* CheckBox3 = nullptr;  // "color transition"
  QCheckBox* CheckBox4 = nullptr;  // "all parameters", checked at first
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace vantorel::gui
