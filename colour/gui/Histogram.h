// The histogram window TForm4: how the exponents of a project are distributed, each bar in the
// colour that the project's stored colour list gives to its lower edge, with "optimize" and
// "clear left" / "clear right" to narrow the range and a readout under the mouse.
#pragma once

#include <QDialog>
#include <QImage>
#include <QWidget>

#include "colour/Histogram.h"
#include "core/CalcParams.h"
#include "core/PixelDataFile.h"

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTimer;

namespace vantorel::gui {

// Image1: the bars, with the cursor line drawn over them by exclusive-or.
class THistogramImage : public QWidget {
  Q_OBJECT
 public:
  explicit THistogramImage(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }
  void SetCursorColumn(int x);
  int CursorColumn() const { return cursor_; }

 signals:
  void mouseMoved(int x);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
  int cursor_ = 0;
};

class TForm4 : public QDialog {
  Q_OBJECT
 public:
  static constexpr int BarHeight = 400;

  // exponents: the project's TMP1; params: its parameter block, whose stored list colours the bars.
  TForm4(const PixelDataFile& exponents, const TCalcParams& params, QWidget* parent = nullptr);

  // "show histogram" of a project window: shows the project window's histogram window (made on
  // first use, then reused with its number of bins) modally and puts the exponent file's
  // position back afterwards, where a paused computation goes on from.
  static void ToolButton12Click(PixelDataFile& exponents, const TCalcParams& params, QWidget* parent);

  void Button1Click();         // "calculate"
  void Button3Click();         // "optimize"
  void linksloeschenClick();   // "clear left"
  void rechtsloeschenClick();  // "clear right "
  void Image1MouseMove(int x);
  void ScrollBox1Click();  // the edge labels for the scroll position

  const HistogramCounts& Counts() const { return counts_; }
  const QImage& Picture() const;

  QPushButton* Button2 = nullptr;  // "close"
  QLabel* Label1 = nullptr;        // "points"
  QSpinBox* SpinEdit1 = nullptr;   // number of bins
  QPushButton* Button1 = nullptr;  // "calculate"
  QPushButton* Button3 = nullptr;  // "optimize"
  QProgressBar* ProgressBar1 = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  THistogramImage* Image1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QLabel* Label2 = nullptr;  // value at the left edge of the view
  QLabel* Label3 = nullptr;  // value at the right edge
  QLabel* Label4 = nullptr;  // value at the cursor
  QLabel* Label5 = nullptr;  // "count: "
  QLabel* Label6 = nullptr;  // exponents left out because they are not finite
  QTimer* Timer1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Counts the range [lo, hi] with the spin edit's number of bins (or the full range).
  void Recount(bool fullRange, double lo, double hi);
  void DrawBars();
  void Cut(bool left);

  const PixelDataFile& exponents_;
  const TCalcParams& params_;
  HistogramCounts counts_;
};

}  // namespace vantorel::gui
