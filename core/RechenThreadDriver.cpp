// The driver thread: walks the region in scan order, takes the workers' chunks, hands each
// batch over to the user-interface thread and waits for it (see RechenThreadImpl.h).
#include <algorithm>

#include "core/RechenThreadImpl.h"

namespace vantorel {

// Hands work to the user-interface thread. With wait, blocks until it has run; false when
// the run stopped instead.
bool TRechenThread::Impl::HandOver(std::function<void()> work, bool wait) {
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

void TRechenThread::Impl::DriverMain() {
  RunDriver();
  std::lock_guard lk(mu);
  driverDone = true;
  if (stopping || !pendingWork) ended = true;
  if (--running == 0) idleCv.notify_all();
  driverCv.notify_all();
}

void TRechenThread::Impl::RunDriver() {
  const int32_t l = left, re = right, be = bottom;
  int32_t r = row, c = column;
  uint64_t gen;
  {
    std::lock_guard lk(mu);
    gen = generation;
  }
  int64_t k = 0;  // chunk being consumed
  const Chunk* chunk = nullptr;
  int32_t offset = 0;  // next pixel within it
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
void TRechenThread::Impl::Finished() {
  {
    std::lock_guard lk(mu);
    if (stopping) return;
    ended = true;
  }
  if (onFinished) onFinished();
}

}  // namespace vantorel
