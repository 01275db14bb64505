// The two small dialogs of colour list editing: TOKBottomDlg ("choose color and value") and
// TOKBottomDlg2 ("change values"). Both show through the dialog service; "OK" closes them only
// when the typed number is usable, otherwise a message says why and the dialog stays open.
#pragma once

#include <QDialog>
#include <cstdint>

#include "colour/ColorList.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vantorel::gui {

class TShape;

class TOKBottomDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOKBottomDlg(QWidget* parent = nullptr);

  // Shows the dialog with a colour and a value; true when the user confirmed, and then Color and
  // Value hold the choice.
  bool execute(uint32_t color, double value);
  void OKBtnClick();
  void CancelBtnClick();
  // Opens the colour dialog preset with the shape's colour.
  void Shape1MouseDown();

  uint32_t Color = 0;
  double Value = 0.0;
  bool Result = false;

  QLabel* Label1 = nullptr;  // "color:"
  TShape* Shape1 = nullptr;
  QLabel* Label2 = nullptr;  // "value"
  QLineEdit* Edit1 = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

class TOKBottomDlg2 : public QDialog {
  Q_OBJECT
 public:
  explicit TOKBottomDlg2(QWidget* parent = nullptr);

  // The chosen operation with its number; valid after the dialog was accepted.
  ValueChange Change() const { return change_; }
  void OKBtnClick();

  QRadioButton* RadioButton1 = nullptr;  // "multiply with:"
  QRadioButton* RadioButton2 = nullptr;  // "add number:"
  QRadioButton* RadioButton3 = nullptr;  // "high (value^__):"
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 private:
  ValueChange change_;
};

}  // namespace vantorel::gui
