#include "core/RechenThread.h"

#include <algorithm>
#include <cmath>

#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "core/RechenThreadImpl.h"

namespace vantorel {

// --- user-interface side of the run ------------------------------------------------------

// Starts a new look-ahead generation at the driver's position. All threads are parked.
void TRechenThread::Impl::RestartLookAhead() {
  ++generation;
  nextChunk = consumedChunks = 0;
  for (Chunk& c : ring) c.ready = false;
  cursorRow = row.load();
  cursorColumn = column.load();
  Normalize(cursorRow, cursorColumn);
}

void TRechenThread::Impl::Start(std::unique_lock<std::mutex>& lk) {
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
void TRechenThread::Impl::RunPending(std::unique_lock<std::mutex>& lk) {
  std::function<void()> work = std::move(pendingWork);
  pendingWork = nullptr;
  lk.unlock();
  work();
  lk.lock();
  pendingDone = true;
  driverCv.notify_all();
}

// A posted hand-over arrives on the user-interface thread.
void TRechenThread::Impl::Deliver(uint64_t seq) {
  std::unique_lock lk(mu);
  if (seq != pendingSeq || !pendingWork) return;  // already run, or dropped by Terminate
  if (paused) return;                             // Resume runs it
  RunPending(lk);
}

// Ends the run: every thread leaves at its next pixel, nothing is handed over any more.
void TRechenThread::Impl::Stop() {
  if (stopping) return;
  stopping = true;
  interrupt = true;
  pendingWork = nullptr;
  if (driverDone || !started) ended = true;
  WakeAll();
}

// Tells the window about a file error that ended the run (on the user-interface thread);
// not after the window itself has terminated the run.
void TRechenThread::Impl::ReportError(const std::string& message) {
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard lk(mu);
    if (terminateRequested) return;
    handler = onError;
  }
  if (handler) handler(message);
}

void TRechenThread::Impl::FlushBatch() {
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

void TRechenThread::Impl::Join() {
  for (std::thread* t : Threads()) {
    if (!t->joinable()) continue;
    if (t->get_id() == std::this_thread::get_id())
      t->detach();  // a handler run on the driver itself dropped the run
    else
      t->join();
  }
}

std::vector<std::thread*> TRechenThread::Impl::Threads() {
  std::vector<std::thread*> all{&driver};
  for (std::thread& t : workers) all.push_back(&t);
  return all;
}

// --- the public interface ----------------------------------------------------------------

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
