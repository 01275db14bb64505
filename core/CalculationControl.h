// Calculation control of a project window, without any window: the calculation state 0-5 and
// its transitions, which controls of the "calculation" page (and the few outside it) are
// enabled in each situation and what the main button shows, the progress display's
// arithmetic and the selected rectangle. The window drives it and copies View() onto its
// controls after every event.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/CalcParams.h"

namespace vantorel {

// The controls whose state the calculation decides.
enum class CalcControl : int {
  ToolButton7,   // initialise
  ToolButton13,  // apply selected adjustments
  ToolButton9,   // reset adjustments
  ToolButton4,   // change coordinates
  ToolButton14,  // continue iteration in selected area
  ToolButton2,   // start / pause / continue / derive more
  ToolButton10,  // stop
  ToolButton3,   // save picture
  ToolButton12,  // histogram
  Button6,       // apply to picture
  Iterations,    // the adjustments dialog's check boxes
  SmartIterLimit,
  ColorTransition,
  Count
};

struct CalcView {
  std::array<bool, static_cast<size_t>(CalcControl::Count)> Enabled{};
  int Image = 0;               // ToolButton2's image: 0 start, 1 pause, 2 continue
  std::string Hint = "start";  // ToolButton2's hint
  bool AreaDown = false;       // ToolButton14 stays down

  bool operator[](CalcControl c) const { return Enabled[static_cast<size_t>(c)]; }
};

class CalculationControl {
 public:
  // At window creation only "initialise" is available.
  CalculationControl() = default;

  uint8_t State() const { return state_; }
  // A computation run exists (running or paused, also one that failed and awaits "stop").
  bool Live() const { return live_; }
  bool Paused() const { return live_ && (state_ == StatePaused || state_ == StateDerivingPaused); }
  // Running and not paused: the worker may touch the block and the files at any moment.
  bool Running() const { return live_ && !failed_ && (state_ == StateRunning || state_ == StateDeriving); }
  bool PictureInitialised() const { return pictureInitialised_; }
  // ToolButton14 is down: a rectangle is being chosen or computed.
  bool Selecting() const { return selecting_; }
  // The mouse chooses a rectangle: ToolButton14 down in state 3 with no run.
  bool ChoosingArea() const { return selecting_ && !live_ && state_ == StateFinished && !busy_; }
  // Recolouring or saving: commands that change the picture, the block or the files wait.
  bool Busy() const { return busy_; }

  // Transitions. Each returns false, changing nothing, when the event does not apply.
  bool Initialise();         // any state without a run -> 0
  bool Start();              // 0 -> 1, 3 -> 4 (derive more iterations)
  bool StartSelectedArea();  // 3 with ToolButton14 down -> 4
  bool Pause();              // 1 -> 2, 4 -> 5
  bool Continue();           // 2 -> 1, 5 -> 4
  // The run completed: 1 or 4 -> 3. Sets wasSelected when it covered a selected rectangle
  // (ToolButton14 is released).
  bool Finish(bool& wasSelected);
  // A data file failed inside the run: the run has ended, only "stop" remains.
  bool Fail();
  // Stop: the run (if any) is ended; "initialise" must come again. The state is kept.
  bool Stop();
  // Takes over a state without a run (a loaded project).
  void Loaded(uint8_t state);

  // ToolButton14 pressed (true) or released; pressing only in state 3 with no run.
  bool SetSelecting(bool down);
  // setChanged: with an initialised picture, ToolButton9 and ToolButton13 become available.
  void Changed();
  // ToolButton9: the controls show the block again.
  void AdjustmentsReset() { resetAvailable_ = false; }
  // The pages show other values than the block of the picture: "initialise" is offered again.
  void SetPagesDiffer(bool differ) { pagesDiffer_ = differ; }
  bool SetBusy(bool busy);

  CalcView View() const;

 private:
  uint8_t state_ = StateInitialised;
  bool live_ = false;
  bool failed_ = false;
  bool pictureInitialised_ = false;
  bool stopped_ = false;
  bool selecting_ = false;
  bool busy_ = false;
  bool resetAvailable_ = false;   // ToolButton9
  bool adjustAvailable_ = false;  // ToolButton13
  bool pagesDiffer_ = false;
};

// The progress display of a run, updated every timer period.
class ProgressEstimate {
 public:
  // Zeroes the last progress and the remaining seconds (a run starts or continues); the time
  // text stays.
  void Restart(bool keepLastProgress = false);
  // A run that starts at `percent` of its region (a continued one): the first tick measures the
  // speed from there.
  void StartAt(double percent);
  // One timer tick at pixel (column, row) of the region (right and bottom exclusive).
  // Returns the status text "progress: 25,00%  remaining time: 6s".
  std::string Tick(int32_t column, int32_t row, int32_t left, int32_t top, int32_t right, int32_t bottom);

  double LastProgress() const { return lastProgress_; }
  int32_t RemainingSeconds() const { return remainingSeconds_; }
  const std::string& TimeText() const { return timeText_; }
  // ProgressBar1's position (0-10000) at the last tick.
  int BarPosition() const { return barPosition_; }

 private:
  double lastProgress_ = 0;
  int32_t remainingSeconds_ = 0;
  std::string timeText_;
  int barPosition_ = 0;
};

// The percentage done of a region: ((row - top)(right - left) + column - left) * 100 /
// ((right - left)(bottom - top)).
double ProgressPercent(int32_t column, int32_t row, int32_t left, int32_t top, int32_t right, int32_t bottom);

// The status text of a calculation that is not running: "progress: finished" in state 3,
// otherwise how much of the picture the run has done ("progress: 45,00%").
std::string StateStatusText(uint8_t state, int32_t column, int32_t row, int32_t width, int32_t height);

// "1d 1h 1m 1s", "1h 0m 0s", "59s".
std::string RemainingTimeText(int64_t seconds);

// A number rounded to the smaller of `precision` significant digits and `decimals` decimals,
// written with `decimals` decimals and the decimal comma ("25,00").
std::string FixedPrecisionText(double value, int precision, int decimals);

// A rectangle of the picture to compute; right and bottom exclusive.
struct PictureRegion {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const PictureRegion&) const = default;
};

// The region a drag on the picture selects, from the press point to the release point in
// picture coordinates, in any direction: the outline spans |dx| x |dy| pixels and, as the
// outline's last column and row are not computed, the region covers |dx| - 1 columns and
// |dy| - 1 rows. Cut to the picture. Nothing when the region would compute nothing.
std::optional<PictureRegion> SelectedRegion(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pictureWidth,
                                            int32_t pictureHeight);

// Bytes of a 24-bit picture with rows padded to 4 bytes, in 64 bits.
uint64_t PictureBytes(int32_t width, int32_t height);

}  // namespace vantorel
