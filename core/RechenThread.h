// The computation thread: computes a picture, or a rectangle of it, row by row in the
// background. Pixels are computed on several worker threads ahead of the hand-over; the
// hand-over itself (drawing the row, writing the data files, storing the progress) happens
// in pixel order, in batches of at most 1000 pixels and at every row end, on the
// user-interface thread through an IUiDispatcher.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/CalcParams.h"
#include "core/Picture.h"
#include "core/PixelDataFile.h"

namespace vantorel {

// Runs work on the user-interface thread. The desktop program posts it to its event loop;
// the renderer (which has no separate user-interface thread) runs it at once.
class IUiDispatcher {
 public:
  virtual ~IUiDispatcher() = default;
  // Queue fn to run on the user-interface thread; may run it before returning.
  virtual void Post(std::function<void()> fn) = 0;
};

class DirectDispatcher final : public IUiDispatcher {
 public:
  void Post(std::function<void()> fn) override { fn(); }
};

class TRechenThread {
 public:
  // workers: threads that compute pixels; 0 = all hardware threads.
  explicit TRechenThread(IUiDispatcher& ui, int workers = 0);
  // Terminates the run and waits for its threads.
  ~TRechenThread();
  TRechenThread(const TRechenThread&) = delete;
  TRechenThread& operator=(const TRechenThread&) = delete;

  // Keeps the reference to the block and the target picture, computes the mapping constants,
  // sets the region to the whole picture and the position to the block's progress position,
  // and prepares the map to iterate. Throws FormatError with a clear message for a block that
  // cannot be computed (empty AB-sequence, empty colour list, bad picture size, a user formula
  // in use that does not convert). A target of 0 x 0 pixels draws nothing.
  void Setup(TCalcParams& params, TPicture& target);

  // Set around Setup, before the first Resume.
  void SetFresh(bool fresh);
  void SetFiles(PixelDataFile& tmp1, PixelDataFile& tmp2);
  // Fast mode (not stored in the block): fixed formulas 2-6 take sine and cosine from a vector
  // library, a user formula runs in vector lanes in double precision. Before the first Resume;
  // a run keeps the mode it started with.
  void SetFastTrig(bool fast);
  // A rectangle of the picture; right and bottom are exclusive. Also moves the position
  // to (left, top). Call after Setup. Like the scan's loops, a region covers at least one
  // column and one row (right == left still computes column left); it is cut at the
  // picture's edges. A start position behind a row's right edge continues at the left edge
  // of the next row.
  void SetRegion(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Called once on the user-interface thread when the scan is complete (also when the
  // position left nothing to compute). Handlers may Terminate or destroy the run.
  void SetFinishedHandler(std::function<void()> handler);
  // Called on the user-interface thread when a data file fails; the run has ended.
  void SetErrorHandler(std::function<void(const std::string&)> handler);
  // Called on the user-interface thread at every hand-over with 0..10000.
  void SetProgressHandler(std::function<void(int)> handler);
  // Called on the user-interface thread after a hand-over drew picture row `row`.
  void SetRowHandler(std::function<void(int32_t row)> handler);
  // Receives every handed-over batch (first record index, exponents, final X values, count) on
  // the user-interface thread instead of the data files, which then only supply the stored
  // values; an IoError it throws ends the run like a failed write. Set before the first Resume.
  using BatchHandler = std::function<void(int64_t record, const double* e, const double* x, int32_t n)>;
  void SetBatchHandler(BatchHandler handler);

  // The first call starts the run; later calls continue a suspended run.
  // Suspend, Resume and Terminate are called on the user-interface thread.
  void Resume();
  // Once it returns, nothing of the run computes or touches the data files, picture or
  // block until Resume.
  void Suspend();
  bool Suspended() const;
  // Ends the run at the next pixel; nothing is handed over after it.
  void Terminate();
  // Waits until the run's threads have ended. Call it on the user-interface thread (it runs a
  // hand-over that is waiting for that thread) and not on a paused run unless it was
  // terminated: a paused run waits for Resume.
  void WaitFor();
  // True once the run has ended (finished, terminated or failed).
  bool Ended() const;

  // The current pixel (the next one to hand over) and the region as cut to the picture, for
  // the progress display (may be slightly stale; Right() > Left() and Bottom() > Top()).
  int32_t Column() const;
  int32_t Row() const;
  int32_t Left() const;
  int32_t Top() const;
  int32_t Right() const;
  int32_t Bottom() const;

  int WorkerCount() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vantorel
