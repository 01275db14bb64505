// The plot window: the graph of a formula and of its derivative over a range of X, and the
// bifurcation ("Feigenbaum") graph of the formula while one variable runs through a range. A
// dragged rectangle zooms into either. Its formula memo is linked both ways with the formula
// memo of the project window that opened it.
#pragma once

#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "formula/Plot.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTimer;

namespace vantorel::gui {

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kImageSize = 400;

  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;

  // The window of the program, made on first use.
  static TForm2& Instance();

  // Links the window to a project's formula memo, shows that formula and plots it (FormShow).
  // A running graph is stopped first.
  void ShowFor(QPlainTextEdit* projectMemo);
  // The project memo the window is linked to; null when none (or its project closed).
  QPlainTextEdit* LinkedMemo() const { return link_; }

  void Button2Click();  // new plot
  void Button3Click();  // test formula
  void Button4Click();  // help on formula
  void Button5Click();  // start or stop the bifurcation graph
  void SpinEdit1Change();
  void Image1MouseDown(Qt::MouseButton button, int x, int y);
  void Image1MouseMove(int x, int y);
  void Image1MouseUp(int x, int y);

  bool Running() const { return graph_ != nullptr; }
  bool LastWasBifurcation() const { return lastWasBifurcation_; }
  const QImage& Picture() const { return image_; }
  // The ranges the picture shows: horizontal, and values from bottom to top.
  PlotRange ShownXs() const { return shownXs_; }
  PlotRange ShownYs() const { return shownYs_; }

  // --- controls ---
  QWidget* Image1 = nullptr;
  QFrame* Shape1 = nullptr;
  QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
  QLabel *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
  QLabel* Label20 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit8 = nullptr;  // A, B, AB, BA
  QLineEdit *Edit4 = nullptr, *Edit5 = nullptr;                                      // X from, to
  QLineEdit *Edit6 = nullptr, *Edit7 = nullptr;                                      // F(X) from, to
  QCheckBox* CheckBox1 = nullptr;                                                    // adjust F(X)
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr, *Button5 = nullptr;
  QSpinBox* SpinEdit1 = nullptr;                   // iterations
  QLineEdit* Edit9 = nullptr;                      // running variable
  QLineEdit *Edit10 = nullptr, *Edit11 = nullptr;  // its range
  QLineEdit *Edit14 = nullptr, *Edit15 = nullptr;  // start values of X
  QLineEdit *Edit12 = nullptr, *Edit13 = nullptr;  // Y range
  QStatusBar* StatusBar1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildControls();
  void Memo1Change();
  void ProjectMemoChange();
  void Unlink();
  void FunctionPlot();
  void StartBifurcation();
  void StopBifurcation();
  void BifurcationSlice();
  void FinishBifurcation();
  // Reads an edit as a number; says so and returns nothing when it is none.
  std::optional<double> Number(const QLineEdit* edit, const QString& name);
  // Loads a formula with its messages shown; false when it cannot be used.
  bool LoadFormula(TFormula& f, bool derive);
  void SetVariables(TFormula& f);
  void ClearImage();

  QImage image_;
  QPointer<QPlainTextEdit> link_;
  QMetaObject::Connection linkChanged_, linkDestroyed_;
  bool syncing_ = false;
  bool selecting_ = false;
  bool lastWasBifurcation_ = false;
  int anchorX_ = 0, anchorY_ = 0;
  PlotRange shownXs_{-5, 5}, shownYs_{-5, 5};
  std::unique_ptr<BifurcationGraph> graph_;
  QTimer* sliceTimer_ = nullptr;
};

}  // namespace vantorel::gui
