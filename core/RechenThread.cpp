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
#include "core/RechenThread.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/UserMap.h"

namespace vantorel {

namespace {
constexpr int32_t kBatchSize = 1000;
constexpr int32_t kChunkSize = 32;
constexpr int kMinRingChunks = 64;  // at least two batches of look-ahead

// The workers compute below the priority of the thread that started them (the user-interface
// thread), so that the window stays responsive with every core busy. The driver keeps the
// normal priority: it mostly waits for hand-overs, and on a busy machine a lowered driver
// would wait for the scheduler after every one of them.
void LowerThreadPriority() {
#ifdef __linux__
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, tid);
  if (errno == 0) setpriority(PRIO_PROCESS, tid, std::min(nice + 10, 19));
#endif
}
}  // namespace

struct TRechenThread::Impl : std::enable_shared_from_this<Impl> {
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
      : ui(dispatcher),
        workerCount(workers > 0 ? workers : std::max(1u, std::thread::hardware_concurrency())) {}

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
  bool stopping = false;             // terminated or failed: every thread ends
  bool terminateRequested = false;   // Terminate was called
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
  int64_t nextChunk = 0;       // next chunk to claim
  int64_t consumedChunks = 0;  // chunks the driver has finished with
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
  void RestartLookAhead() {
    ++generation;
    nextChunk = consumedChunks = 0;
    for (Chunk& c : ring) c.ready = false;
    cursorRow = row.load();
    cursorColumn = column.load();
    Normalize(cursorRow, cursorColumn);
  }

  // --- user-interface side -----------------------------------------------------------------

  void Start(std::unique_lock<std::mutex>& lk) {
    int32_t r = row.load(), c = column.load();
    Normalize(r, c);
    row = r;
    column = c;
    if (!fresh && tmp1 && tmp2) {
      try {
        storedRecords = std::min(tmp1->RecordCount(), tmp2->RecordCount());
      } catch (const IoError& e) {
        Stop();
        lk.unlock();
        ReportError(e.what());
        lk.lock();
        return;
      }
    }
    ring.resize(std::max<size_t>(kMinRingChunks, size_t(8) * workerCount));
    RestartLookAhead();
    started = true;
    running = workerCount + 1;
    auto self = shared_from_this();
    driver = std::thread([self] { self->DriverMain(); });
    for (int i = 0; i < workerCount; ++i) workers.emplace_back([self] { self->WorkerMain(); });
  }

  // Runs the pending hand-over on the calling (user-interface) thread.
  void RunPending(std::unique_lock<std::mutex>& lk) {
    std::function<void()> work = std::move(pendingWork);
    pendingWork = nullptr;
    lk.unlock();
    work();
    lk.lock();
    pendingDone = true;
    driverCv.notify_all();
  }

  // A posted hand-over arrives on the user-interface thread.
  void Deliver(uint64_t seq) {
    std::unique_lock lk(mu);
    if (seq != pendingSeq || !pendingWork) return;  // already run, or dropped by Terminate
    if (paused) return;                             // Resume runs it
    RunPending(lk);
  }

  // Ends the run: every thread leaves at its next pixel, nothing is handed over any more.
  void Stop() {
    if (stopping) return;
    stopping = true;
    interrupt = true;
    pendingWork = nullptr;
    if (driverDone || !started) ended = true;
    WakeAll();
  }

  // Tells the window about a file error that ended the run (on the user-interface thread);
  // not after the window itself has terminated the run.
  void ReportError(const std::string& message) {
    std::function<void(const std::string&)> handler;
    {
      std::lock_guard lk(mu);
      if (terminateRequested) return;
      handler = onError;
    }
    if (handler) handler(message);
  }

  void FlushBatch() {
    const int32_t r = batchRow, c = batchColumn, n = batchCount;
    const int32_t first = c - n;
    for (int32_t i = 0; i < n && target->Width > 0; ++i) {  // a 0 x 0 target draws nothing
      const uint32_t colour = ColorForExponent(params->ColorList, static_cast<uint32_t>(params->BelowColor),
                                               static_cast<uint32_t>(params->AboveColor), batchE[i]);
      if (r < target->Height && first + i < target->Width) target->SetPixel(first + i, r, colour);
    }
    try {
      const int64_t record = int64_t(r) * pictureWidth + first;
      if (onBatch) {
        onBatch(record, batchE, batchX, n);
      } else if (tmp1 && tmp2) {
        tmp1->Seek(record);
        tmp2->Seek(record);
        tmp1->Write(batchE, static_cast<size_t>(n));
        tmp2->Write(batchX, static_cast<size_t>(n));
      }
    } catch (const IoError& e) {
      {
        std::lock_guard lk(mu);
        Stop();
      }
      ReportError(e.what());
      return;
    }
    params->ProgressRow = r;
    params->ProgressColumn = c;
    const double width = right - left, height = bottom - top;
    const double done = double(r - top) * width + (c - left);
    if (onRow) onRow(r);
    if (onProgress) onProgress(static_cast<int>(std::nearbyint(done * 10000.0 / (width * height))));
  }

  // --- engine threads ------------------------------------------------------------------------

  // Hands work to the user-interface thread. With wait, blocks until it has run; false when
  // the run stopped instead.
  bool HandOver(std::function<void()> work, bool wait) {
    uint64_t seq;
    {
      std::lock_guard lk(mu);
      if (stopping) return false;
      seq = ++pendingSeq;
      pendingWork = std::move(work);
      pendingDone = false;
      driverCv.notify_all();  // WaitFor may be waiting for it
    }
    ui.Post([self = shared_from_this(), seq] { self->Deliver(seq); });
    if (!wait) return true;
    std::unique_lock lk(mu);
    Park(lk, driverCv, [&] { return stopping || (pendingSeq == seq && pendingDone); });
    return !stopping;
  }

  void DriverMain() {
    RunDriver();
    std::lock_guard lk(mu);
    driverDone = true;
    if (stopping || !pendingWork) ended = true;
    if (--running == 0) idleCv.notify_all();
    driverCv.notify_all();
  }

  void RunDriver() {
    const int32_t l = left, re = right, be = bottom;
    int32_t r = row, c = column;
    uint64_t gen;
    {
      std::lock_guard lk(mu);
      gen = generation;
    }
    int64_t k = 0;            // chunk being consumed
    const Chunk* chunk = nullptr;
    int32_t offset = 0;       // next pixel within it
    batchCount = 0;
    // After any wait: a resumed run has restarted the look-ahead at this position.
    auto checkGeneration = [&] {
      if (gen != generation) {
        gen = generation;
        k = 0;
        chunk = nullptr;
        offset = 0;
      }
    };
    auto handOverBatch = [&] {
      batchRow = r;
      batchColumn = c;
      if (!HandOver([this] { FlushBatch(); }, true)) return false;
      std::lock_guard lk(mu);
      batchCount = 0;
      checkGeneration();
      return true;
    };

    while (r < be) {
      while (c < re) {
        if (interrupt.load(std::memory_order_relaxed)) {
          std::unique_lock lk(mu);
          Park(lk, driverCv, [&] { return stopping || !paused; });
          if (stopping) return;
          checkGeneration();
        }
        if (!chunk) {
          std::unique_lock lk(mu);
          driverWaitsFor = k;
          driverNeeds = std::min(kBatchSize - batchCount, re - c);
          Park(lk, driverCv, [&] {
            if (stopping) return true;
            if (paused) return false;
            return gen != generation || PixelsReady(k, driverNeeds);
          });
          driverWaitsFor = -1;
          if (stopping) return;
          if (gen != generation) {
            checkGeneration();
            continue;
          }
          chunk = &ring[k % ring.size()];
          offset = 0;
          if (chunk->failed) {
            const std::string message = chunk->error;
            Stop();
            lk.unlock();
            ui.Post([self = shared_from_this(), message] { self->ReportError(message); });
            return;
          }
        }
        batchE[batchCount] = chunk->E[offset];
        batchX[batchCount] = chunk->X[offset];
        ++batchCount;
        ++offset;
        ++c;
        column.store(c, std::memory_order_relaxed);
        if (offset == chunk->count) {
          std::lock_guard lk(mu);
          chunk = nullptr;
          consumedChunks = ++k;
          // Workers waiting for room are woken once half the ring is free again.
          if (workersWaiting > 0 && nextChunk - consumedChunks <= int64_t(ring.size() / 2)) workCv.notify_all();
        }
        if (batchCount == kBatchSize && !handOverBatch()) return;
      }
      if (!handOverBatch()) return;
      ++r;
      c = l;
      row.store(r, std::memory_order_relaxed);
      column.store(c, std::memory_order_relaxed);
    }
    {
      std::lock_guard lk(mu);
      scanDone = true;
      workCv.notify_all();
    }
    HandOver([this] { Finished(); }, false);
  }

  // Runs on the user-interface thread once the scan is complete.
  void Finished() {
    {
      std::lock_guard lk(mu);
      if (stopping) return;
      ended = true;
    }
    if (onFinished) onFinished();
  }

  void WorkerMain() {
    LowerThreadPriority();
    std::unique_ptr<IUserMap> user;
    std::shared_ptr<const UserProgram> program;
    if (userFactory) {
      user = userFactory->Create();
      program = userFactory->VectorProgram();
    }
    uint64_t gen = ~uint64_t(0);
    std::shared_ptr<const KernelParams> kp;
    std::optional<PixelKernel> kernel;
    std::unique_lock lk(mu);
    for (;;) {
      ++workersWaiting;
      Park(lk, workCv, [&] {
        return stopping || scanDone ||
               (!paused && cursorRow < bottom && nextChunk < consumedChunks + int64_t(ring.size()));
      });
      --workersWaiting;
      if (stopping || scanDone) break;
      if (gen != generation) {
        gen = generation;
        kp = kernelParams;
        kernel.emplace(*kp, user.get(), program.get());
      }
      Chunk& chunk = ring[nextChunk % ring.size()];
      chunk.index = nextChunk++;
      chunk.row = cursorRow;
      chunk.column = cursorColumn;
      chunk.count = std::min(kChunkSize, right - cursorColumn);
      chunk.ready = false;
      chunk.failed = false;
      cursorColumn += chunk.count;
      if (cursorColumn >= right) {
        ++cursorRow;
        cursorColumn = left;
      }
      lk.unlock();
      const bool complete = Compute(chunk, *kernel);
      lk.lock();
      if (complete && gen == generation) {
        chunk.ready = true;
        if (driverWaitsFor >= 0 && PixelsReady(driverWaitsFor, driverNeeds)) driverCv.notify_all();
      }
    }
    if (--running == 0) idleCv.notify_all();
  }

  // Computes the chunk's pixels; false when interrupted (the chunk is then computed again).
  bool Compute(Chunk& chunk, const PixelKernel& kernel) {
    double storedX[kChunkSize], storedE[kChunkSize];
    size_t stored = 0;
    const int64_t first = int64_t(chunk.row) * pictureWidth + chunk.column;
    if (!fresh && first < storedRecords) {
      stored = static_cast<size_t>(std::min<int64_t>(chunk.count, storedRecords - first));
      try {
        const size_t xs = tmp2->ReadAt(first, storedX, stored);
        const size_t es = tmp1->ReadAt(first, storedE, stored);
        stored = std::min(xs, es);
      } catch (const IoError& e) {
        chunk.failed = true;
        chunk.error = e.what();
        return true;
      }
    }
    const int32_t j = pictureHeight - chunk.row;
    PixelInput in[kChunkSize];
    PixelResult result[kChunkSize];
    for (int32_t i = 0; i < chunk.count; ++i) {
      mapping->MapPixel(chunk.column + i, j, in[i].A, in[i].B);
      in[i].Fresh = size_t(i) >= stored;
      if (!in[i].Fresh) {
        in[i].StoredX = storedX[i];
        in[i].StoredE = storedE[i];
      }
    }
    // Fixed formulas, and a user formula in fast mode, compute the chunk's pixels several at a time.
    if (!kernel.ComputeMany(in, result, size_t(chunk.count), &interrupt)) return false;
    for (int32_t i = 0; i < chunk.count; ++i) {
      chunk.E[i] = result[i].E;
      chunk.X[i] = result[i].X;
    }
    return true;
  }

  void Join() {
    for (std::thread* t : Threads()) {
      if (!t->joinable()) continue;
      if (t->get_id() == std::this_thread::get_id())
        t->detach();  // a handler run on the driver itself dropped the run
      else
        t->join();
    }
  }

  std::vector<std::thread*> Threads() {
    std::vector<std::thread*> all{&driver};
    for (std::thread& t : workers) all.push_back(&t);
    return all;
  }
};

TRechenThread::TRechenThread(IUiDispatcher& ui, int workers) : impl_(std::make_shared<Impl>(ui, workers)) {}

TRechenThread::~TRechenThread() {
  Terminate();
  impl_->Join();
}

void TRechenThread::Setup(TCalcParams& params, TPicture& target) {
  if (params.PictureWidth <= 0 || params.PictureHeight <= 0)
    throw FormatError("The picture size must be at least 1 x 1 pixels.");
  if ((target.Width != 0 || target.Height != 0) &&
      (target.Width != params.PictureWidth || target.Height != params.PictureHeight))
    throw FormatError("The picture is " + std::to_string(target.Width) + " x " + std::to_string(target.Height) +
                      " pixels, the parameters ask for " + std::to_string(params.PictureWidth) + " x " +
                      std::to_string(params.PictureHeight) + ".");
  if (params.ColorList.empty()) throw FormatError("The colour list is empty.");
  KernelParams kernel = KernelParamsFrom(params);
  kernel.FastTrig = impl_->fastTrig;
  std::shared_ptr<const UserMapFactory> factory;
  if (params.FixedFormula == -1) factory = PrepareUserMap(params);

  Impl& m = *impl_;
  std::lock_guard lk(m.mu);
  if (m.started) return;
  m.params = &params;
  m.target = &target;
  m.pictureWidth = params.PictureWidth;
  m.pictureHeight = params.PictureHeight;
  m.mapping.emplace(params);
  m.fixedFormula = params.FixedFormula;
  m.userFactory = std::move(factory);
  m.kernelParams = std::make_shared<const KernelParams>(std::move(kernel));
  m.left = 0;
  m.top = 0;
  m.right = params.PictureWidth;
  m.bottom = params.PictureHeight;
  m.column = params.ProgressColumn;
  m.row = params.ProgressRow;
}

void TRechenThread::SetFresh(bool fresh) {
  std::lock_guard lk(impl_->mu);
  if (!impl_->started) impl_->fresh = fresh;
}

void TRechenThread::SetFastTrig(bool fast) {
  Impl& m = *impl_;
  std::lock_guard lk(m.mu);
  if (m.started) return;
  m.fastTrig = fast;
  if (m.kernelParams) {
    KernelParams kernel = *m.kernelParams;
    kernel.FastTrig = fast;
    m.kernelParams = std::make_shared<const KernelParams>(std::move(kernel));
  }
}

void TRechenThread::SetFiles(PixelDataFile& tmp1, PixelDataFile& tmp2) {
  std::lock_guard lk(impl_->mu);
  if (impl_->started) return;
  impl_->tmp1 = &tmp1;
  impl_->tmp2 = &tmp2;
}

void TRechenThread::SetRegion(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Impl& m = *impl_;
  std::lock_guard lk(m.mu);
  if (m.started) return;
  // Like the scan's loops, a region covers at least one column and one row; it never leaves
  // the picture.
  const int32_t w = std::max(m.pictureWidth, 1), h = std::max(m.pictureHeight, 1);
  const int32_t l = std::clamp(left, 0, w - 1), t = std::clamp(top, 0, h - 1);
  m.left = l;
  m.top = t;
  m.right = std::min(std::max(right, l + 1), w);
  m.bottom = std::min(std::max(bottom, t + 1), h);
  m.column = l;
  m.row = t;
}

void TRechenThread::SetFinishedHandler(std::function<void()> handler) {
  std::lock_guard lk(impl_->mu);
  impl_->onFinished = std::move(handler);
}
void TRechenThread::SetErrorHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard lk(impl_->mu);
  impl_->onError = std::move(handler);
}
void TRechenThread::SetProgressHandler(std::function<void(int)> handler) {
  std::lock_guard lk(impl_->mu);
  impl_->onProgress = std::move(handler);
}
void TRechenThread::SetRowHandler(std::function<void(int32_t row)> handler) {
  std::lock_guard lk(impl_->mu);
  impl_->onRow = std::move(handler);
}

void TRechenThread::SetBatchHandler(BatchHandler handler) {
  std::lock_guard lk(impl_->mu);
  if (!impl_->started) impl_->onBatch = std::move(handler);
}

void TRechenThread::Resume() {
  Impl& m = *impl_;
  std::unique_lock lk(m.mu);
  if (m.stopping || m.ended) return;
  if (!m.started) {
    if (!m.params) return;  // not set up
    m.paused = false;
    m.Start(lk);
    return;
  }
  if (!m.paused) return;
  // The window may have changed the block while paused; the map stays the one of the run.
  try {
    KernelParams kernel = KernelParamsFrom(*m.params);
    kernel.FixedFormula = m.fixedFormula;
    kernel.FastTrig = m.fastTrig;
    m.kernelParams = std::make_shared<const KernelParams>(std::move(kernel));
  } catch (const FormatError&) {
    // keep the previous values
  }
  if (m.pendingWork) m.RunPending(lk);  // the hand-over that arrived while paused
  if (m.stopping) return;
  // A driver released by that hand-over parks again at its next pixel.
  m.idleCv.wait(lk, [&] { return m.running == 0; });
  m.RestartLookAhead();
  m.paused = false;
  m.interrupt = false;
  m.WakeAll();
}

void TRechenThread::Suspend() {
  Impl& m = *impl_;
  std::unique_lock lk(m.mu);
  if (m.stopping || m.ended) return;
  m.paused = true;
  if (!m.started) return;
  m.interrupt = true;
  m.idleCv.wait(lk, [&] { return m.running == 0; });
}

bool TRechenThread::Suspended() const {
  std::lock_guard lk(impl_->mu);
  return impl_->paused && !impl_->stopping;
}

void TRechenThread::Terminate() {
  Impl& m = *impl_;
  std::lock_guard lk(m.mu);
  m.terminateRequested = true;
  m.Stop();
}

void TRechenThread::WaitFor() {
  Impl& m = *impl_;
  {
    std::unique_lock lk(m.mu);
    while (m.started && !m.driverDone) {
      // A driver waiting for its hand-over would wait for this very thread: run it here.
      if (m.pendingWork && !m.paused)
        m.RunPending(lk);
      else
        m.driverCv.wait(lk);
    }
  }
  m.Join();
}

bool TRechenThread::Ended() const { return impl_->ended.load(); }

int32_t TRechenThread::Column() const { return impl_->column.load(std::memory_order_relaxed); }
int32_t TRechenThread::Row() const { return impl_->row.load(std::memory_order_relaxed); }
int32_t TRechenThread::Left() const { return impl_->left.load(); }
int32_t TRechenThread::Top() const { return impl_->top.load(); }
int32_t TRechenThread::Right() const { return impl_->right.load(); }
int32_t TRechenThread::Bottom() const { return impl_->bottom.load(); }

int TRechenThread::WorkerCount() const { return impl_->workerCount; }

}  // namespace vantorel
