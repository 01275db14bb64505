// How a run is organised:
//
// - Worker threads claim chunks of consecutive pixels (never spanning a row) in scan order and
//   compute exponent and final X into a ring of chunk slots. A worker may run at most one ring
//   ahead of the driver, so memory does not depend on the picture size.
// - The driver thread walks the pixels in scan order exactly like the single-threaded scan:
//   it collects the results into batches of at most 1000 pixels, hands each batch over at
//   1000 pixels and at every row end, keeps the current position, and calls the finished
//   handler at the end.
// - A hand-over (FlushBatch) runs on the user-interface thread: the driver posts a closure
//   through IUiDispatcher and waits until it has run. The closure colours the batch with the
//   colour list in force at that moment, draws it into the picture, writes it to the data
//   files and stores the progress in the block.
// - Suspend sets the pause flag and waits until every engine thread is parked. A hand-over
//   that arrives while paused is kept and run by Resume. Resume takes a fresh snapshot of the
//   kernel fields (the window may have changed them) and restarts the look-ahead at the
//   driver's position, so pixels computed ahead are computed again with the new values.
// - Terminate stops every thread at the next pixel (a long pixel is left between two passes);
//   closures that arrive afterwards do nothing.
//
// The run's shared state and the declarations of its parts: the user-interface side
// (RechenThread.cpp), the driver (RechenThreadDriver.cpp) and the workers
// (RechenThreadWorkers.cpp). Private to those files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/Kernels.h"
#include "core/RechenThread.h"
#include "core/UserMap.h"

namespace vantorel {

struct TRechenThread::Impl : std::enable_shared_from_this<Impl> {
  static constexpr int32_t kBatchSize = 1000;
  static constexpr int32_t kChunkSize = 32;
  static constexpr int kMinRingChunks = 64;  // at least two batches of look-ahead

  struct Chunk {
    int64_t index = -1;  // chunk number within the current look-ahead generation
    int32_t row = 0, column = 0, count = 0;
    bool ready = false;
    bool failed = false;  // reading the stored values failed
    std::string error;
    double E[kChunkSize];
    double X[kChunkSize];
  };

  Impl(IUiDispatcher& dispatcher, int workers)
      : ui(dispatcher), workerCount(workers > 0 ? workers : std::max(1u, std::thread::hardware_concurrency())) {}

  IUiDispatcher& ui;
  const int workerCount;

  // Set up on the user-interface thread before the run starts.
  TCalcParams* params = nullptr;
  TPicture* target = nullptr;
  PixelDataFile* tmp1 = nullptr;
  PixelDataFile* tmp2 = nullptr;
  bool fresh = true;
  bool fastTrig = false;
  std::optional<PixelMapping> mapping;
  int32_t fixedFormula = 0;
  std::shared_ptr<const UserMapFactory> userFactory;
  std::function<void()> onFinished;
  std::function<void(const std::string&)> onError;
  std::function<void(int)> onProgress;
  std::function<void(int32_t)> onRow;
  BatchHandler onBatch;
  int32_t pictureWidth = 0, pictureHeight = 0;
  int64_t storedRecords = 0;  // pixels below this record index have stored data

  // The region (right and bottom exclusive, at least one column and row, inside the picture)
  // and the position of the next pixel to hand over.
  std::atomic<int32_t> left{0}, top{0}, right{0}, bottom{0};
  // Written by the driver at every pixel: on a cache line of their own.
  alignas(64) std::atomic<int32_t> column{0};
  std::atomic<int32_t> row{0};

  alignas(64) std::mutex mu;
  std::condition_variable workCv, driverCv, idleCv;
  bool started = false;
  bool paused = false;
  bool stopping = false;            // terminated or failed: every thread ends
  bool terminateRequested = false;  // Terminate was called
  bool scanDone = false;
  bool driverDone = false;
  int running = 0;  // engine threads that are not parked
  int workersWaiting = 0;
  // The driver waits until the chunks from driverWaitsFor on hold driverNeeds pixels: the
  // rest of its batch. Waking it once per batch rather than per chunk keeps switches rare.
  int64_t driverWaitsFor = -1;
  int32_t driverNeeds = 0;
  // Read by the workers between every two passes: on a cache line of its own.
  alignas(64) std::atomic<bool> interrupt{false};  // paused or stopping: leave the current pixel
  alignas(64) std::atomic<bool> ended{false};

  uint64_t generation = 0;
  std::shared_ptr<const KernelParams> kernelParams;
  std::vector<Chunk> ring;
  int64_t nextChunk = 0;                    // next chunk to claim
  int64_t consumedChunks = 0;               // chunks the driver has finished with
  int32_t cursorRow = 0, cursorColumn = 0;  // first pixel of the next chunk

  // The hand-over waiting for the user-interface thread.
  std::function<void()> pendingWork;
  uint64_t pendingSeq = 0;
  bool pendingDone = false;

  // The current batch: written by the driver, read by FlushBatch while the driver waits.
  int32_t batchCount = 0;
  int32_t batchRow = 0, batchColumn = 0;
  double batchE[kBatchSize];
  double batchX[kBatchSize];

  std::thread driver;
  std::vector<std::thread> workers;

  // --- waiting ---------------------------------------------------------------------------

  // Waits until pred holds; meanwhile the thread counts as parked for Suspend.
  template <class Pred>
  void Park(std::unique_lock<std::mutex>& lk, std::condition_variable& cv, Pred pred) {
    if (pred()) return;
    if (--running == 0) idleCv.notify_all();
    cv.wait(lk, pred);
    ++running;
  }

  void WakeAll() {
    workCv.notify_all();
    driverCv.notify_all();
    idleCv.notify_all();
  }

  // Moves a position that lies behind the region's right edge to the next row's left edge.
  void Normalize(int32_t& r, int32_t& c) const {
    if (r < top) {
      r = top;
      c = left;
    }
    if (c < left) c = left;
    if (c >= right) {
      ++r;
      c = left;
    }
  }

  // True when the chunks from k on hold at least `pixels` computed pixels in a row, or a chunk
  // that failed on the way (the driver has to see it). Called with mu held.
  bool PixelsReady(int64_t k, int32_t pixels) const {
    for (int64_t j = k; j < nextChunk; ++j) {
      const Chunk& slot = ring[j % ring.size()];
      if (!slot.ready || slot.index != j) return false;
      if (slot.failed) return true;
      pixels -= slot.count;
      if (pixels <= 0) return true;
    }
    return false;
  }

  // Starts a new look-ahead generation at the driver's position. All threads are parked.
  void RestartLookAhead();

  // --- user-interface side (RechenThread.cpp) ----------------------------------------------

  void Start(std::unique_lock<std::mutex>& lk);
  // Runs the pending hand-over on the calling (user-interface) thread.
  void RunPending(std::unique_lock<std::mutex>& lk);
  // A posted hand-over arrives on the user-interface thread.
  void Deliver(uint64_t seq);
  // Ends the run: every thread leaves at its next pixel, nothing is handed over any more.
  void Stop();
  // Tells the window about a file error that ended the run (on the user-interface thread);
  // not after the window itself has terminated the run.
  void ReportError(const std::string& message);
  // Colours, draws and writes the current batch and stores the progress.
  void FlushBatch();
  void Join();
  std::vector<std::thread*> Threads();

  // --- the driver (RechenThreadDriver.cpp) -------------------------------------------------

  // Hands work to the user-interface thread. With wait, blocks until it has run; false when
  // the run stopped instead.
  bool HandOver(std::function<void()> work, bool wait);
  void DriverMain();
  // Walks the region in scan order, collects the batches and hands them over.
  void RunDriver();
  // Runs on the user-interface thread once the scan is complete.
  void Finished();

  // --- the workers (RechenThreadWorkers.cpp) -----------------------------------------------

  void WorkerMain();
  // Computes the chunk's pixels; false when interrupted (the chunk is then computed again).
  bool Compute(Chunk& chunk, const PixelKernel& kernel);
};

}  // namespace vantorel
