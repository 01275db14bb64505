// The explorer's keyframe editor: a panel beside the picture that gathers views as the keys of
// a film (KeyframeList), edits their frame numbers and order, plays a low-resolution preview
// computed in the background, and saves the animation file the renderer makes the film from.
//
// The preview computes its frames one after the other with a pass runner of its own
// (ExplorerPasses, the explorer's machinery) over a snapshot of the path taken when it starts;
// each finished frame comes to this thread through the dispatcher and is played at the film's
// pace. Stopping it cancels the computation; frames of a stopped run are dropped.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/Animation.h"
#include "app/ExplorerPasses.h"
#include "app/KeyframeList.h"
#include "gui/QtDispatcher.h"

class QLabel;
class QListWidget;
class QSpinBox;
class QTimer;
class QToolButton;

namespace vantorel::gui {

class TExplorer;

class TKeyframeEditor : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPreviewWidth = 80;   // pixels; the height follows the film's ratio
  static constexpr int kPreviewFrames = 60;  // at most, every k-th frame of a longer film
  static constexpr int kPreviewScale = 2;    // the label shows every pixel 2 x 2

  explicit TKeyframeEditor(TExplorer& explorer);
  ~TKeyframeEditor() override;

  const KeyframeList& Keys() const { return keys_; }
  // "add keyframe": the explorer's current view, or a view of its history.
  void AddCurrentView();
  void AddView(const RegionFrame& view);
  // The selected key (-1: none).
  int Selected() const;
  void Select(int row);
  // The actions on the selected key; false (a message told why, or nothing to do) when refused.
  bool SetSelectedFrame(int frame);
  bool MoveSelectedUp();
  bool MoveSelectedDown();
  bool RemoveSelected();
  // Shows the selected key's view in the explorer.
  bool GoToSelected();
  bool SetFilmSize(int width, int height);

  // "save animation…": asks for the file, then SaveAnimationTo.
  bool SaveAnimation();
  // Writes the animation and, unless the explorer's block is the default one, its base block as
  // NAME.base.Par beside it (named relative to the animation), both or neither.
  bool SaveAnimationTo(const QString& path);

  // "preview": starts (false with a message when the keys make no film) or stops.
  bool StartPreview();
  void StopPreview();
  // Whether the preview plays (its frames may still be computed).
  bool Previewing() const;
  // Whether preview frames are being computed.
  bool Computing() const { return passes_ != nullptr; }
  // The frames of the film the preview computes and those computed so far, in order.
  const std::vector<int32_t>& PreviewFrameNumbers() const { return previewFrames_; }
  const std::vector<QImage>& PreviewImages() const { return images_; }
  // Called after each preview frame arrived (tests).
  std::function<void(int index)> PreviewFrameArrived;

  // --- controls ---
  QToolButton* AddButton = nullptr;      // "add keyframe"
  QListWidget* List = nullptr;           // "keyframes"
  QSpinBox* FrameSpin = nullptr;         // "frame"
  QToolButton* UpButton = nullptr;       // "up"
  QToolButton* DownButton = nullptr;     // "down"
  QToolButton* DeleteButton = nullptr;   // "delete"
  QToolButton* GoToButton = nullptr;     // "go to"
  QSpinBox* FilmWidthSpin = nullptr;     // "film width"
  QSpinBox* FilmHeightSpin = nullptr;    // "film height"
  QLabel* FramesLabel = nullptr;         // "frames"
  QToolButton* PreviewButton = nullptr;  // "preview" / "stop preview"
  QLabel* PreviewLabel = nullptr;        // "preview picture"
  QToolButton* SaveButton = nullptr;     // "save animation…"

 private:
  void Refill(int select);
  void SelectionChanged();
  void ComputeNext();
  void PassArrived(uint64_t run, std::shared_ptr<const ExplorerPass> pass);
  void ShowNextImage();
  void Refuse(const std::string& problem);

  TExplorer& explorer_;
  KeyframeList keys_;
  bool filling_ = false;
  // The preview run.
  QtDispatcher dispatcher_;
  std::optional<AnimationPath> path_;
  std::vector<int32_t> previewFrames_;
  std::vector<QImage> images_;
  int previewHeight_ = 60;
  uint64_t run_ = 0, expected_ = 0;
  size_t playing_ = 0;
  QTimer* timer_ = nullptr;
  std::unique_ptr<ExplorerPasses> passes_;  // after dispatcher_: its threads end first
};

}  // namespace vantorel::gui
