#include "app/ExplorerPasses.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/UserMap.h"

namespace vantorel {

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kChunk = 64;

// 0x00BBGGRR to 0xFFRRGGBB.
uint32_t Argb(uint32_t bgr) { return 0xFF000000u | ((bgr & 0xFFu) << 16) | (bgr & 0xFF00u) | ((bgr >> 16) & 0xFFu); }

// The channel-wise mean of four colours.
uint32_t Mean(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t sum = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + ((c >> shift) & 0xFF) + ((d >> shift) & 0xFF);
    out |= ((sum + 2) / 4) << shift;
  }
  return out;
}

// The helpers compute ten steps below the coordinator, which hands the passes over, and the
// user-interface thread, which draws them.
void LowerThisThread() {
#ifdef __linux__
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, tid);
  if (errno == 0) setpriority(PRIO_PROCESS, tid, std::min(nice + 10, 19));
#endif
}

struct Job {
  uint64_t generation = 0;
  ExplorerView view;
  bool supersample = false;
  std::atomic<bool> cancel{false};
  Clock::time_point start;
};

// The project as the computing threads use it; replaced only while they are idle.
struct Project {
  std::shared_ptr<const KernelParams> kernel;
  std::shared_ptr<const UserProgram> program;
  std::vector<std::unique_ptr<IUserMap>> userMaps;  // one per thread
  std::vector<TColorEntry> colours;
  uint32_t below = 0, above = 0;
};

}  // namespace

struct ExplorerPasses::Impl {
  std::mutex mu;
  std::condition_variable jobCv, workCv, doneCv, idleCv;
  bool stop = false;
  std::shared_ptr<Job> job;
  uint64_t generation = 0, startedGeneration = 0;
  bool busy = false;
  std::function<void(std::shared_ptr<const ExplorerPass>)> handler;
  std::atomic<int64_t> cancelledPasses{0};
  Project project;
  std::vector<std::thread> threads;

  // The task of the pool: items 0..items-1, each run once by some thread.
  std::function<void(int thread, int item)> task;
  int items = 0, active = 0;
  uint64_t taskId = 0;
  std::atomic<int> nextItem{0};

  // The buffers of the view being computed (coordinator and pool only).
  std::vector<uint32_t> colour, sub;
  std::vector<float> exponent;

  int ThreadCount() const { return static_cast<int>(threads.size()); }

  void Pull(int thread, const std::function<void(int, int)>& fn, int n) {
    for (int i; (i = nextItem.fetch_add(1, std::memory_order_relaxed)) < n;) fn(thread, i);
  }

  void RunItems(int n, const std::function<void(int, int)>& fn) {
    {
      std::lock_guard lk(mu);
      task = fn;
      items = n;
      nextItem.store(0);
      ++taskId;
    }
    workCv.notify_all();
    Pull(0, fn, n);
    std::unique_lock lk(mu);
    doneCv.wait(lk, [&] { return active == 0 && nextItem.load() >= n; });
    task = nullptr;
  }

  void WorkerMain(int index) {
    LowerThisThread();
    uint64_t seen = 0;
    std::unique_lock lk(mu);
    for (;;) {
      workCv.wait(lk, [&] { return stop || (task && taskId != seen); });
      if (stop) return;
      seen = taskId;
      const auto fn = task;
      const int n = items;
      ++active;
      lk.unlock();
      Pull(index, fn, n);
      lk.lock();
      if (--active == 0) doneCv.notify_all();
    }
  }

  void CoordinatorMain() {
    std::unique_lock lk(mu);
    for (;;) {
      jobCv.wait(lk, [&] { return stop || (job && !job->cancel.load() && job->generation != startedGeneration); });
      if (stop) return;
      std::shared_ptr<Job> j = job;
      startedGeneration = j->generation;
      busy = true;
      lk.unlock();
      RunJob(*j);
      lk.lock();
      busy = false;
      idleCv.notify_all();
    }
  }

  // Computes the pixels of one row of a pass (none once the view is cancelled).
  void ComputeRow(int thread, const Job& j, int step, int y) {
    if (j.cancel.load(std::memory_order_relaxed)) return;
    const ExplorerView& v = j.view;
    const int w = v.PixelWidth();
    const PixelKernel kernel(*project.kernel, project.userMaps[thread].get(), project.program.get());
    PixelInput in[kChunk];
    PixelResult out[kChunk];
    size_t where[kChunk];
    size_t n = 0;
    auto flush = [&] {
      if (n == 0) return;
      if (kernel.ComputeMany(in, out, n, &j.cancel)) {
        for (size_t k = 0; k < n; ++k) {
          const uint32_t c = Argb(ColorForExponent(project.colours, project.below, project.above, out[k].E));
          if (step == kSupersampleStep) {
            sub[where[k]] = c;
          } else {
            colour[where[k]] = c;
            exponent[where[k]] = static_cast<float>(out[k].E);
          }
        }
      }
      n = 0;
    };
    auto add = [&](double px, double py, size_t index) {
      const ABPoint p = v.ToAB({px, py});
      in[n] = PixelInput{p.A, p.B, true, 0.0, 0.0};
      where[n++] = index;
      if (n == kChunk) flush();
    };
    if (step == kSupersampleStep) {
      static constexpr double kOffsets[3][2] = {{0.5, 0}, {0, 0.5}, {0.5, 0.5}};
      for (int x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k) add(x + kOffsets[k][0], y + kOffsets[k][1], 3 * (size_t(y) * w + x) + k);
    } else {
      const bool coarsest = step == kExplorerSteps[0];
      const int stride = (coarsest || y % (2 * step) != 0) ? step : 2 * step;
      const int first = (coarsest || y % (2 * step) != 0) ? 0 : step;
      for (int x = first; x < w; x += stride) add(x, y, size_t(y) * w + x);
    }
    flush();
  }

  // The picture after a pass of spacing step, made row by row on the pool.
  void Assemble(const Job& j, int step, ExplorerPass& pass) {
    const int w = j.view.PixelWidth(), h = j.view.PixelHeight();
    pass.Pixels.resize(size_t(w) * h);
    pass.Exponents.resize(size_t(w) * h);
    RunItems(h, [&](int, int y) {
      uint32_t* row = pass.Pixels.data() + size_t(y) * w;
      float* erow = pass.Exponents.data() + size_t(y) * w;
      const int s = std::max(step, 1);
      const size_t source = size_t(y - y % s) * w;
      for (int x = 0; x < w; ++x) {
        const size_t i = source + (x - x % s);
        erow[x] = exponent[i];
        if (step == kSupersampleStep) {
          const uint32_t* q = sub.data() + 3 * i;
          row[x] = Mean(colour[i], q[0], q[1], q[2]);
        } else {
          row[x] = colour[i];
        }
      }
    });
  }

  void RunJob(const Job& j) {
    const int w = j.view.PixelWidth(), h = j.view.PixelHeight();
    const size_t count = size_t(w) * h;
    colour.assign(count, 0xFF000000u);
    exponent.assign(count, 0.0f);
    std::vector<int> steps(std::begin(kExplorerSteps), std::end(kExplorerSteps));
    if (j.supersample) {
      sub.assign(3 * count, 0xFF000000u);
      steps.push_back(kSupersampleStep);
    }
    for (size_t p = 0; p < steps.size(); ++p) {
      const int step = steps[p];
      const int rowStep = std::max(step, 1);
      const int rows = (h + rowStep - 1) / rowStep;
      RunItems(rows, [&](int thread, int item) { ComputeRow(thread, j, step, item * rowStep); });
      if (j.cancel.load()) {
        cancelledPasses.fetch_add(1);
        return;
      }
      auto pass = std::make_shared<ExplorerPass>();
      pass->Generation = j.generation;
      pass->Step = step;
      pass->Last = p + 1 == steps.size();
      pass->Width = w;
      pass->Height = h;
      Assemble(j, step, *pass);
      pass->Milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - j.start).count();
      std::lock_guard lk(mu);
      if (j.cancel.load()) {
        cancelledPasses.fetch_add(1);
        return;
      }
      if (handler) handler(std::move(pass));
    }
  }

  // Cancels the newest job and waits until the threads are idle. Holds lk.
  void CancelAndWait(std::unique_lock<std::mutex>& lk) {
    if (job) job->cancel.store(true);
    job.reset();
    idleCv.wait(lk, [&] { return !busy; });
  }
};

ExplorerPasses::ExplorerPasses(int workers) : impl_(std::make_unique<Impl>()) {
  int n = workers > 0 ? workers : static_cast<int>(std::thread::hardware_concurrency());
  n = std::max(n, 1);
  for (int i = 1; i < n; ++i) impl_->threads.emplace_back([this, i] { impl_->WorkerMain(i); });
  impl_->threads.emplace_back([this] { impl_->CoordinatorMain(); });
}

ExplorerPasses::~ExplorerPasses() {
  {
    std::unique_lock lk(impl_->mu);
    impl_->CancelAndWait(lk);
    impl_->stop = true;
  }
  impl_->jobCv.notify_all();
  impl_->workCv.notify_all();
  for (std::thread& t : impl_->threads) t.join();
}

void ExplorerPasses::SetProject(const TCalcParams& params, bool fast) {
  if (params.ColorList.empty()) throw FormatError("The colour list is empty.");
  Project p;
  KernelParams kernel = KernelParamsFrom(params);
  kernel.FastTrig = fast;
  p.kernel = std::make_shared<const KernelParams>(std::move(kernel));
  // The coordinator computes as thread 0 beside the workers.
  const int threads = static_cast<int>(impl_->threads.size());
  if (params.FixedFormula == -1) {
    const std::shared_ptr<const UserMapFactory> factory = PrepareUserMap(params);
    if (fast) p.program = factory->VectorProgram();
    for (int i = 0; i < threads; ++i) p.userMaps.push_back(factory->Create());
  } else {
    p.userMaps.resize(threads);
  }
  p.colours = params.ColorList;
  std::stable_sort(p.colours.begin(), p.colours.end(),
                   [](const TColorEntry& a, const TColorEntry& b) { return a.Value < b.Value; });
  p.below = static_cast<uint32_t>(params.BelowColor);
  p.above = static_cast<uint32_t>(params.AboveColor);
  std::unique_lock lk(impl_->mu);
  impl_->CancelAndWait(lk);
  impl_->project = std::move(p);
}

void ExplorerPasses::SetPassHandler(std::function<void(std::shared_ptr<const ExplorerPass>)> handler) {
  std::lock_guard lk(impl_->mu);
  impl_->handler = std::move(handler);
}

uint64_t ExplorerPasses::Start(const ExplorerView& view, bool supersample) {
  auto j = std::make_shared<Job>();
  j->view = view;
  j->supersample = supersample;
  j->start = Clock::now();
  uint64_t generation;
  {
    std::lock_guard lk(impl_->mu);
    if (!impl_->project.kernel) throw FormatError("No project to explore.");
    if (impl_->job) impl_->job->cancel.store(true);
    generation = j->generation = ++impl_->generation;
    impl_->job = std::move(j);
  }
  impl_->jobCv.notify_all();
  return generation;
}

void ExplorerPasses::Cancel() {
  std::lock_guard lk(impl_->mu);
  if (impl_->job) impl_->job->cancel.store(true);
  ++impl_->generation;
}

uint64_t ExplorerPasses::Generation() const {
  std::lock_guard lk(impl_->mu);
  return impl_->generation;
}

int64_t ExplorerPasses::CancelledPasses() const { return impl_->cancelledPasses.load(); }

int ExplorerPasses::WorkerCount() const { return impl_->ThreadCount(); }

bool ExplorerPasses::Busy() const {
  std::lock_guard lk(impl_->mu);
  return impl_->busy ||
         (impl_->job && !impl_->job->cancel.load() && impl_->job->generation != impl_->startedGeneration);
}

}  // namespace vantorel
