// The startup note "important note": a borderless black window on top of the program with
// the product name, the logo, a short note on use and a button image that closes it.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace vantorel::gui {

class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);

  // The mouse over the button image shows the highlighted image in its place; the mouse
  // anywhere else on the window hides it again.
  void Image1MouseMove();
  void FormMouseMove();
  // A click on the logo moves it to the right, wrapping round: left = (left + 280) mod 560.
  void Image3Click();
  // A click on either button image closes the note.
  void ImageClick();

  QLabel* Label1 = nullptr;         // "Vantorel V2.1"
  QLabel* Image3 = nullptr;         // the 64 x 64 logo
  QPlainTextEdit* Memo1 = nullptr;  // the note
  QLabel* Image1 = nullptr;         // the button image
  QLabel* Image2 = nullptr;         // the highlighted button image

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
};

// The text of the note.
QString StartupNoteText();

}  // namespace vantorel::gui
