// The dialog that asks which values the colours of an imported gradient or palette span.
#pragma once

#include <QDialog>
#include <QImage>

#include "colour/ColourStops.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantorel::gui {

// A thumbnail of a list: its colours from its first value to its last, `width` x `height`.
QImage ColourStripImage(const ColorListState& list, int width, int height);

class TImportRangeDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TImportRangeDlg(QWidget* parent = nullptr);

  // Shows the colours with a proposed range; true when the user confirmed, and then Lo and Hi
  // hold a usable range (lo < hi).
  bool execute(const ColourStops& stops, const QString& description, double lo, double hi);
  // Takes the range from the edits; a text that is no number, or lo >= hi, is shown in a
  // message and the dialog stays open.
  void OKBtnClick();

  double Lo = -1.0, Hi = 0.1;

  QLabel* Label1 = nullptr;  // what is imported
  QLabel* Image1 = nullptr;  // the colours
  QLabel* Label2 = nullptr;  // "from:"
  QLineEdit* Edit1 = nullptr;
  QLabel* Label3 = nullptr;  // "to:"
  QLineEdit* Edit2 = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace vantorel::gui
