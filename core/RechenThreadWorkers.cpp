// The worker threads: claim chunks of pixels in scan order and compute them, with the stored
// values of a continued run (see RechenThreadImpl.h).
#include <algorithm>
#include <cerrno>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "core/IoError.h"
#include "core/RechenThreadImpl.h"

namespace vantorel {

namespace {

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

void TRechenThread::Impl::WorkerMain() {
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
bool TRechenThread::Impl::Compute(Chunk& chunk, const PixelKernel& kernel) {
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

}  // namespace vantorel
