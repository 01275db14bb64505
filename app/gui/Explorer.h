// The explorer: a project's formula, sequence, colours and iteration counts shown live over the
// AB-plane, in a work-space window of its own. The wheel zooms about the cursor, a drag pans, a
// rubber band (Shift+drag or the right button) zooms to a rectangle, Ctrl+wheel turns the region
// about the cursor; keys + - arrows Home; back and forward through the views. Every change of
// view cancels the computation and starts passes of increasing resolution (ExplorerPasses);
// until the first pass arrives the last picture is drawn moved and scaled to the new view.
// "use this region" hands the region to its project window, "open as new project" opens one.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "app/ExplorerPasses.h"
#include "app/ExplorerView.h"
#include "gui/QtDispatcher.h"
#include "core/CalcParams.h"

class QCheckBox;
class QLabel;
class QToolButton;
class QMenu;

namespace vantorel::gui {

class TMDIChild;
class TMainForm;
class TExplorerCanvas;
class TKeyframeEditor;

class TExplorer : public QWidget {
  Q_OBJECT
 public:
  // project: the project window whose parameters are explored (may be null: params alone).
  // Throws FormatError when the parameters cannot be computed.
  TExplorer(TMainForm& host, TMDIChild* project, const TCalcParams& params, bool fast, QWidget* parent = nullptr);
  ~TExplorer() override;

  // The navigation, as the mouse and the keys do it (pixel positions in device pixels).
  void ZoomAt(PixelPoint at, double factor);
  void TurnAt(PixelPoint at, double radians);
  void PanBy(double dx, double dy, bool finished);
  void ZoomToRectangle(PixelPoint from, PixelPoint to);
  void GoHome();
  // Starts afresh on the project's region fitted into the window (after it is shown).
  void Begin();
  void GoBack();
  void GoForward();
  // Shows a region fitted into the window as a new view.
  void ShowRegion(const RegionFrame& region);

  // "use this region": writes the view into the project window's coordinates page (a picture
  // of about its old pixel count with the view's ratio) and initialises it, asking first when
  // computed data would be lost. False when nothing changed.
  bool UseThisRegion();
  // "open as new project": a new project window with the view and the other parameters.
  TMDIChild* OpenAsNewProject();

  const ExplorerView& View() const { return history_->Current(); }
  const ExplorerHistory& History() const { return *history_; }
  ExplorerPasses& Passes() { return passes_; }
  TMDIChild* Project() const;
  // The block explored (its region is the home view) and whether it uses the fast kernels.
  const TCalcParams& Params() const { return params_; }
  bool Fast() const { return fast_; }
  // The generation whose passes are drawn; passes of others are dropped.
  uint64_t ExpectedGeneration() const { return expected_; }
  // The last pass drawn (null before the first).
  const ExplorerPass* ShownPass() const { return shown_.get(); }
  // Passes that arrived for an abandoned view and were dropped.
  int64_t DroppedPasses() const { return dropped_; }
  // Called after a pass was drawn (tests and the benchmark).
  std::function<void(const ExplorerPass&)> PassShown;

  // --- controls ---
  QToolButton* BackButton = nullptr;        // "back"
  QToolButton* ForwardButton = nullptr;     // "forward"
  QToolButton* RecentButton = nullptr;      // "recent views"
  QToolButton* HomeButton = nullptr;        // "home"
  QToolButton* ZoomInButton = nullptr;      // "zoom in"
  QToolButton* ZoomOutButton = nullptr;     // "zoom out"
  QCheckBox* SupersampleBox = nullptr;      // "supersample when still"
  QToolButton* UseRegionButton = nullptr;   // "use this region"
  QToolButton* NewProjectButton = nullptr;  // "open as new project"
  QToolButton* KeyframesButton = nullptr;   // "keyframes": shows the keyframe editor
  TKeyframeEditor* Keyframes = nullptr;
  TExplorerCanvas* Canvas = nullptr;
  QLabel* CursorLabel = nullptr;  // A, B and the exponent under the cursor
  QLabel* ViewLabel = nullptr;    // centre, size, angle and the pass being computed

 private:
  friend class TExplorerCanvas;
  void Show(const ExplorerView& view, bool remember);
  void Compute();
  void PassArrived(std::shared_ptr<const ExplorerPass> pass);
  void CanvasResized(int width, int height);
  void CursorAt(std::optional<PixelPoint> at);
  void UpdateTexts();
  void FillRecentMenu();

  TMainForm& host_;
  QPointer<TMDIChild> project_;
  TCalcParams params_;
  bool fast_ = true;
  RegionFrame homeRegion_;
  std::unique_ptr<ExplorerHistory> history_;
  // The view being dragged (not yet in the history).
  std::optional<ExplorerView> live_;
  QtDispatcher dispatcher_;
  ExplorerPasses passes_;  // after dispatcher_: its threads end first
  uint64_t expected_ = 0;
  int computingStep_ = -1;  // the pass being computed, -1: none
  std::shared_ptr<const ExplorerPass> shown_;
  QImage image_;            // the picture of shown_
  ExplorerView imageView_;  // the view shown_ was computed for
  int64_t dropped_ = 0;
  QMenu* recentMenu_ = nullptr;
  std::optional<PixelPoint> cursor_;

 public:
  // The view being shown: the live drag view or the history's current one.
  const ExplorerView& ShownView() const { return live_ ? *live_ : history_->Current(); }
  const QImage& Image() const { return image_; }
  const ExplorerView& ImageView() const { return imageView_; }
};

// The picture area: draws the last pass mapped onto the current view at device pixels, and
// turns mouse and wheel into navigation.
class TExplorerCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit TExplorerCanvas(TExplorer& explorer);
  QSize sizeHint() const override { return {600, 450}; }
  // Device pixels of a point in widget coordinates.
  PixelPoint DevicePoint(QPointF p) const;
  // The size in device pixels.
  QSize DeviceSize() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TExplorer& explorer_;
  enum class Drag { None, Pan, Band } drag_ = Drag::None;
  QPointF pressed_, last_;
};

// Opens an explorer window in the host's work space on the parameters of project (or, when it
// is null, of a new project). Reports a project that cannot be computed and gives null.
TExplorer* OpenExplorer(TMainForm& host, TMDIChild* project);
// Adds "explore this region" to a project window's calculation toolbar.
void AddExploreButton(TMainForm& host, TMDIChild& project);

}  // namespace vantorel::gui
