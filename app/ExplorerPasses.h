// The explorer's progressive computation: every view is computed in passes of increasing
// resolution (every 8th, 4th, 2nd pixel, then every pixel, then optionally 2 x 2 sub-pixels),
// each pass computing only the pixels no coarser pass computed, on all cores with the fast
// kernels and the project's formula, sequence, iteration counts and colours.
//
// A new view cancels the running pass at once. Every view has a generation number; a pass is
// handed over with the generation of its view, and none is handed over once a newer view was
// started, so a receiver that draws only passes of the generation it asked for never draws an
// abandoned view.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/ExplorerView.h"
#include "core/CalcParams.h"

namespace vantorel {

// The pixel spacing of the passes, coarsest first; 0 stands for the supersampled pass.
constexpr int kExplorerSteps[] = {8, 4, 2, 1};
constexpr int kSupersampleStep = 0;

// Whether the pass of spacing step computes pixel (x, y): it lies on the pass's grid and on
// no coarser grid.
inline bool PassComputes(int step, int x, int y) {
  if (step == kSupersampleStep) return false;
  if (x % step != 0 || y % step != 0) return false;
  return step == kExplorerSteps[0] || x % (2 * step) != 0 || y % (2 * step) != 0;
}

// A finished pass: the whole window's picture as far as computed (every pixel shows its
// nearest computed pixel up and to the left) and the exponents behind it.
struct ExplorerPass {
  uint64_t Generation = 0;
  int Step = 8;       // spacing of this pass (kSupersampleStep: supersampled)
  bool Last = false;  // no further pass follows for this view
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;  // 0xFFRRGGBB, row by row from the top
  std::vector<float> Exponents;  // the exponent shown at each pixel
  double Milliseconds = 0;       // from the start of the view to the end of this pass
};

class ExplorerPasses {
 public:
  // workers: computing threads, 0 for every hardware thread.
  explicit ExplorerPasses(int workers = 0);
  // Cancels the running view and waits for the threads.
  ~ExplorerPasses();
  ExplorerPasses(const ExplorerPasses&) = delete;
  ExplorerPasses& operator=(const ExplorerPasses&) = delete;

  // The project to explore (its region and picture size are ignored). Cancels the running
  // view. Throws FormatError for a block that cannot be computed (as a calculation would).
  void SetProject(const TCalcParams& params, bool fast);
  // Receives every finished pass, on a computing thread; it must not block long (post it on).
  void SetPassHandler(std::function<void(std::shared_ptr<const ExplorerPass>)> handler);

  // Cancels the running view and starts computing view; returns its generation.
  uint64_t Start(const ExplorerView& view, bool supersample);
  // Cancels the running view; nothing more is handed over until the next Start.
  void Cancel();
  uint64_t Generation() const;
  // Passes begun and abandoned because their view was cancelled.
  int64_t CancelledPasses() const;
  int WorkerCount() const;
  // Whether a view is being computed.
  bool Busy() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantorel
