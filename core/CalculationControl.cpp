#include "core/CalculationControl.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/NumberText.h"

namespace vantorel {

namespace {
bool IsRunState(uint8_t s) { return s == StateRunning || s == StateDeriving; }
bool IsPauseState(uint8_t s) { return s == StatePaused || s == StateDerivingPaused; }
}  // namespace

bool CalculationControl::Initialise() {
  if (live_ || busy_) return false;
  state_ = StateInitialised;
  pictureInitialised_ = true;
  stopped_ = failed_ = selecting_ = false;
  resetAvailable_ = adjustAvailable_ = false;
  return true;
}

bool CalculationControl::Start() {
  if (!pictureInitialised_ || live_ || busy_) return false;
  if (state_ == StateInitialised)
    state_ = StateRunning;
  else if (state_ == StateFinished)
    state_ = StateDeriving;
  else
    return false;
  selecting_ = false;
  live_ = true;
  return true;
}

bool CalculationControl::StartSelectedArea() {
  if (!ChoosingArea() || !pictureInitialised_) return false;
  state_ = StateDeriving;
  live_ = true;
  return true;
}

bool CalculationControl::Pause() {
  if (!Running() || busy_) return false;
  state_ = state_ == StateRunning ? StatePaused : StateDerivingPaused;
  return true;
}

bool CalculationControl::Continue() {
  if (!pictureInitialised_ || busy_ || failed_) return false;
  if (IsPauseState(state_))
    state_ = state_ == StatePaused ? StateRunning : StateDeriving;
  else if (!(IsRunState(state_) && !live_))  // a loaded project interrupted while running
    return false;
  live_ = true;
  return true;
}

bool CalculationControl::Finish(bool& wasSelected) {
  wasSelected = false;
  if (!live_ || failed_ || !IsRunState(state_)) return false;
  wasSelected = selecting_;
  selecting_ = false;
  live_ = false;
  state_ = StateFinished;
  return true;
}

bool CalculationControl::Fail() {
  if (!live_) return false;
  failed_ = true;
  return true;
}

bool CalculationControl::Stop() {
  if (busy_ || (!pictureInitialised_ && !live_)) return false;
  live_ = failed_ = selecting_ = false;
  pictureInitialised_ = false;
  stopped_ = true;
  resetAvailable_ = adjustAvailable_ = false;
  return true;
}

void CalculationControl::Loaded(uint8_t state) {
  state_ = state <= StateDerivingPaused ? state : uint8_t(StateInitialised);
  live_ = failed_ = selecting_ = stopped_ = false;
  pictureInitialised_ = true;
  resetAvailable_ = adjustAvailable_ = false;
}

bool CalculationControl::SetSelecting(bool down) {
  if (down) {
    if (!pictureInitialised_ || live_ || busy_ || state_ != StateFinished) return false;
  } else if (live_) {
    return false;  // it stays down while its rectangle is computed
  }
  selecting_ = down;
  return true;
}

void CalculationControl::Changed() {
  if (pictureInitialised_) resetAvailable_ = adjustAvailable_ = true;
}

bool CalculationControl::SetBusy(bool busy) {
  if (busy && busy_) return false;
  busy_ = busy;
  return true;
}

CalcView CalculationControl::View() const {
  CalcView v;
  auto on = [&v](CalcControl c) { v.Enabled[static_cast<size_t>(c)] = true; };
  using C = CalcControl;
  v.AreaDown = selecting_;
  if (!live_) {
    // Changing the block under a run (paused or not) would mix two settings in one picture.
    on(C::Iterations);
    on(C::SmartIterLimit);
    on(C::ColorTransition);
  }
  if (!pictureInitialised_) {
    if (!busy_) on(C::ToolButton7);
    // The stopped run's picture stays shown and can still be recoloured and exported.
    if (stopped_ && !busy_) {
      on(C::Button6);
      on(C::ToolButton3);
    }
    return v;
  }
  if (resetAvailable_) on(C::ToolButton9);
  if (pagesDiffer_ && !failed_) on(C::ToolButton7);
  if (adjustAvailable_ && !busy_) on(C::ToolButton13);
  if (failed_) {
    on(C::ToolButton10);
    v.Image = IsPauseState(state_) ? 2 : 1;
    v.Hint = IsPauseState(state_) ? "continue" : "pause";
    return v;
  }
  switch (state_) {
    case StateInitialised:
      for (C c : {C::ToolButton10, C::ToolButton2, C::ToolButton4}) on(c);
      break;
    case StateRunning:
    case StateDeriving:
      if (live_) {
        on(C::ToolButton10);
        on(C::ToolButton2);
        v.Image = 1;
        v.Hint = "pause";
        break;
      }
      [[fallthrough]];  // a loaded project interrupted while running waits to be continued
    case StatePaused:
    case StateDerivingPaused:
      for (C c : {C::ToolButton10, C::ToolButton2, C::ToolButton12, C::ToolButton3, C::ToolButton4, C::Button6}) on(c);
      v.Image = 2;
      v.Hint = "continue";
      break;
    case StateFinished:
      for (C c : {C::ToolButton10, C::ToolButton2, C::ToolButton4, C::ToolButton3, C::ToolButton12, C::Button6,
                  C::ToolButton14})
        on(c);
      v.Hint = "derive more iterations";
      break;
  }
  if (busy_) {
    for (C c : {C::ToolButton7, C::ToolButton13, C::ToolButton4, C::ToolButton14, C::ToolButton2, C::ToolButton10,
                C::ToolButton3, C::ToolButton12, C::Button6})
      v.Enabled[static_cast<size_t>(c)] = false;
  }
  return v;
}

// ---------------------------------------------------------------------------------------------

void ProgressEstimate::Restart(bool keepLastProgress) {
  if (!keepLastProgress) lastProgress_ = 0;
  remainingSeconds_ = 0;
}

void ProgressEstimate::StartAt(double percent) {
  lastProgress_ = percent;
  remainingSeconds_ = 0;
}

std::string StateStatusText(uint8_t state, int32_t column, int32_t row, int32_t width, int32_t height) {
  if (state == StateFinished) return "progress: finished";
  return "progress: " + FixedPrecisionText(ProgressPercent(column, row, 0, 0, width, height), 4, 2) + "%";
}

std::string ProgressEstimate::Tick(int32_t column, int32_t row, int32_t left, int32_t top, int32_t right,
                                   int32_t bottom) {
  const double p = ProgressPercent(column, row, left, top, right, bottom);
  const double delta = p - lastProgress_;
  if (delta > 0) {
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    const double t = (100.0 - p) / delta;
    if (remainingSeconds_ == 0) remainingSeconds_ = static_cast<int32_t>(std::min(std::nearbyint(2 * t), kMax));
    remainingSeconds_ = static_cast<int32_t>(std::min(std::nearbyint(0.1 * 2 * t + 0.9 * remainingSeconds_), kMax));
    timeText_ = RemainingTimeText(remainingSeconds_);
  }
  lastProgress_ = p;
  barPosition_ = static_cast<int>(std::nearbyint(p * 100));
  return "progress: " + FixedPrecisionText(p, 4, 2) + "%  remaining time: " + timeText_;
}

double ProgressPercent(int32_t column, int32_t row, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const double w = double(right) - left, h = double(bottom) - top;
  if (w <= 0 || h <= 0) return 0;
  return ((double(row) - top) * w + (double(column) - left)) * 100.0 / (w * h);
}

std::string RemainingTimeText(int64_t seconds) {
  const int64_t d = seconds / 86400, h = (seconds / 3600) % 24, m = (seconds / 60) % 60, s = seconds % 60;
  std::string t;
  if (d > 0) t += std::to_string(d) + "d ";
  if (d > 0 || h > 0) t += std::to_string(h) + "h ";
  if (d > 0 || h > 0 || m > 0) t += std::to_string(m) + "m ";
  return t + std::to_string(s) + "s";
}

std::string FixedPrecisionText(double value, int precision, int decimals) {
  if (value != 0 && std::isfinite(value)) {
    const int integerDigits = static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 1;
    const int kept = std::min(decimals, precision - integerDigits);
    const double scale = std::pow(10.0, kept);
    value = std::round(value * scale) / scale;  // halves away from zero
  }
  return FixedText(value, decimals);
}

std::optional<PictureRegion> SelectedRegion(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pictureWidth,
                                            int32_t pictureHeight) {
  const int64_t left = std::min(x0, x1), top = std::min(y0, y1);
  // The outline's last column and row are not computed.
  const int64_t right = std::max(x0, x1) - int64_t(1), bottom = std::max(y0, y1) - int64_t(1);
  PictureRegion r;
  r.Left = static_cast<int32_t>(std::clamp<int64_t>(left, 0, pictureWidth));
  r.Top = static_cast<int32_t>(std::clamp<int64_t>(top, 0, pictureHeight));
  r.Right = static_cast<int32_t>(std::clamp<int64_t>(right, 0, pictureWidth));
  r.Bottom = static_cast<int32_t>(std::clamp<int64_t>(bottom, 0, pictureHeight));
  if (r.Right <= r.Left || r.Bottom <= r.Top) return std::nullopt;
  return r;
}

uint64_t PictureBytes(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  return ((uint64_t(width) * 3 + 3) & ~uint64_t(3)) * uint64_t(height);
}

}  // namespace vantorel
