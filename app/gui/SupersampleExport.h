// "save supersampled picture…" of the project window's picture popup: the picture of the
// project's block coloured from N x N sub-pixels a pixel (colour/Supersample.h), computed in the
// background with the computation thread on every core. The run works on its own copy of the
// block and never touches the project's data or picture; it writes its file only once the
// picture is complete, so a cancelled run writes nothing.
#pragma once

#include <QDialog>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>

#include "app/PictureFile.h"
#include "colour/Supersample.h"
#include "core/CalcParams.h"
#include "core/Picture.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vantorel {
class TRechenThread;
}

namespace vantorel::gui {

class QtDispatcher;

// The choice before the run: N (2, 3, 4, 6, 8) and the format, with the sizes and the estimated
// time shown for the choice.
class TSupersampleDialog : public QDialog {
  Q_OBJECT
 public:
  // secondsPerPlainPicture: the estimated time of the plain picture on every core.
  TSupersampleDialog(QWidget* parent, const TCalcParams& params, double secondsPerPlainPicture);

  int Factor() const;
  PictureType Type() const;

  QComboBox* ComboBoxFactor = nullptr;
  QComboBox* ComboBoxFormat = nullptr;
  QLabel* LabelSize = nullptr;
  QLabel* LabelTime = nullptr;
  QPushButton* ButtonStart = nullptr;
  QPushButton* ButtonCancel = nullptr;

 private:
  void ShowChoice();

  int32_t width_, height_;
  double seconds_;
};

// One supersampled picture being computed, with its progress window ("progress", remaining
// time, "cancel"). Lives until it has finished, failed or been cancelled.
class TSupersampleRun : public QDialog {
  Q_OBJECT
 public:
  // params: a copy of the project's block; the file gets the picture, a PNG also the block.
  TSupersampleRun(QWidget* parent, const TCalcParams& params, int n, bool fastTrig, const QString& path,
                  PictureType type);
  ~TSupersampleRun() override;

  // Starts the computation; false (with the reason shown) when the block cannot be computed.
  bool Start();
  // Ends the computation; nothing is written.
  void Cancel();
  bool Running() const;

  QProgressBar* ProgressBar1 = nullptr;  // 0-100
  QLabel* LabelRemaining = nullptr;
  QPushButton* ButtonCancel = nullptr;

 signals:
  // The run has ended: written says whether the file was written.
  void Ended(bool written);

 private:
  void Progress(int tenThousandths);
  void Finish();
  void Fail(const QString& problem);
  void closeEvent(QCloseEvent* event) override;

  TCalcParams params_;  // the block of the picture, as the project had it
  TCalcParams sub_;     // the block of the sub-pixel picture, which the engine computes
  int n_;
  bool fastTrig_;
  QString path_;
  PictureType type_;
  TPicture picture_, noPicture_;
  std::optional<SupersampleRows> rows_;
  std::unique_ptr<QtDispatcher> ui_;
  std::unique_ptr<TRechenThread> engine_;
  std::chrono::steady_clock::time_point started_;
  bool running_ = false;
};

}  // namespace vantorel::gui
