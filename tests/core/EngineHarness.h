// Shared by the engine tests: the desktop program's event loop, a project of block, picture and
// data files, and a whole run with the renderer's dispatcher.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <tuple>
#include <vector>

#include "core/Kernels.h"
#include "core/RechenThread.h"
#include "support/TestSupport.h"

namespace vantorel::test {

// The test thread is the user-interface thread and runs the posted hand-overs while it pumps.
class EventLoop final : public IUiDispatcher {
 public:
  void Post(std::function<void()> fn) override {
    std::lock_guard lk(mu_);
    queue_.push_back(std::move(fn));
    cv_.notify_all();
  }
  // Runs posted work until done() holds or the time is up; returns done().
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::steady_clock::duration limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      std::unique_lock lk(mu_);
      if (!cv_.wait_until(lk, end, [&] { return !queue_.empty(); })) return done();
      const std::function<void()> fn = std::move(queue_.front());
      queue_.pop_front();
      lk.unlock();
      fn();
    }
    return true;
  }
  void PumpFor(std::chrono::steady_clock::duration time) {
    PumpUntil([] { return false; }, time);
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

inline std::vector<double> Records(const PixelDataFile& file) {
  std::vector<double> v(static_cast<size_t>(file.RecordCount()));
  file.ReadAt(0, v.data(), v.size());
  return v;
}

// The exponent and final X of one pixel computed by the kernel alone, fresh or from its stored
// records: by the scalar kernel, or by the engine's own several-pixel kernel (which gives a pixel
// the same bits whatever its neighbours).
inline PixelResult KernelPixel(const TCalcParams& params, int32_t column, int32_t row,
                               const PixelInput* stored = nullptr, bool scalar = false) {
  PixelInput in;
  if (stored) in = *stored;
  PixelMapping(params).MapPixel(column, params.PictureHeight - row, in.A, in.B);
  PixelResult out;
  const KernelParams k = KernelParamsFrom(params);  // the kernel keeps a reference
  const PixelKernel kernel(k, nullptr);
  scalar ? kernel.Compute(in, out) : kernel.ComputeMany(&in, &out, 1);
  return out;
}

// Runs the engine over the block from its progress position (a white picture unless given);
// returns whether the run finished.
inline bool RunEngine(TCalcParams& params, PixelDataFile& tmp1, PixelDataFile& tmp2, int workers, bool fresh = true,
                      const std::function<void(TRechenThread&)>& adjust = {}, TPicture* target = nullptr) {
  TPicture own;
  own.Resize(params.PictureWidth, params.PictureHeight);
  own.Fill(0xFFFFFF);
  DirectDispatcher direct;
  TRechenThread t(direct, workers);
  t.Setup(params, target ? *target : own);
  t.SetFresh(fresh);
  t.SetFiles(tmp1, tmp2);
  bool finished = false;
  t.SetFinishedHandler([&] { finished = true; });
  t.SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
  if (adjust) adjust(t);
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(t.Ended());
  return finished;
}

// A project: block, picture and data files.
struct EngineProject {
  TempDir dir;
  TCalcParams params = DefaultCalcParams();
  TPicture picture;
  PixelDataFile tmp1, tmp2;

  EngineProject(int32_t width, int32_t height, int32_t formula = 1, int32_t calmDown = 24, int32_t iterations = 48) {
    params.FixedFormula = formula;
    params.CalmDownIterations = calmDown;
    params.Iterations = iterations;
    params.PictureWidth = width;
    params.PictureHeight = height;
    picture.Resize(width, height);
    picture.Fill(0xFFFFFF);
    tmp1.Create(dir.file("p.TMP1"));
    tmp2.Create(dir.file("p.TMP2"));
  }
  // The bytes of both data files and the picture.
  auto Snapshot() const {
    return std::tuple(ReadBytes(dir.file("p.TMP1")), ReadBytes(dir.file("p.TMP2")), picture.Bits);
  }
  void Prepare(TRechenThread& t, bool fresh = true) {
    t.Setup(params, picture);
    t.SetFresh(fresh);
    t.SetFiles(tmp1, tmp2);
  }
  bool Run(int workers, bool fresh = true, const std::function<void(TRechenThread&)>& adjust = {}) {
    return RunEngine(params, tmp1, tmp2, workers, fresh, adjust, &picture);
  }
};

// Compares every record of TMP1 and TMP2 with expected(column, row, record): X to the bit, the
// exponent to the bit or within the tolerance.
inline void ExpectRecords(const EngineProject& p, const std::function<PixelResult(int32_t, int32_t, size_t)>& expected,
                          double tolerance = 0) {
  const std::vector<double> e = Records(p.tmp1), x = Records(p.tmp2);
  const int32_t w = p.params.PictureWidth;
  ASSERT_EQ(e.size(), size_t(w * p.params.PictureHeight));
  ASSERT_EQ(x.size(), e.size());
  for (size_t k = 0; k < e.size(); ++k) {
    const PixelResult r = expected(int32_t(k % w), int32_t(k / w), k);
    if (tolerance > 0) {
      EXPECT_NEAR(e[k], r.E, tolerance) << "record " << k;
    } else {
      EXPECT_EQ(e[k], r.E) << "record " << k;
    }
    EXPECT_EQ(x[k], r.X) << "record " << k;
  }
}

}  // namespace vantorel::test
