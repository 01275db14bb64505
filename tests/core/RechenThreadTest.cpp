#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "colour/ColorMapping.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/RechenThread.h"
#include "support/TestSupport.h"

using namespace vantorel;
using namespace std::chrono_literals;
using vantorel::test::ReadBytes;
using vantorel::test::TempDir;

namespace {

// A user-interface thread with a task queue, like the desktop program's event loop.
class TestUiThread final : public IUiDispatcher {
 public:
  TestUiThread() : thread_([this] { Loop(); }) {}
  ~TestUiThread() override {
    {
      std::lock_guard lk(mu_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Post(std::function<void()> fn) override {
    {
      std::lock_guard lk(mu_);
      queue_.push_back(std::move(fn));
    }
    cv_.notify_all();
  }
  // Runs fn on this thread and waits for it.
  void Run(const std::function<void()>& fn) {
    std::promise<void> done;
    Post([&] {
      fn();
      done.set_value();
    });
    done.get_future().get();
  }

 private:
  void Loop() {
    std::unique_lock lk(mu_);
    for (;;) {
      cv_.wait(lk, [&] { return quit_ || !queue_.empty(); });
      if (queue_.empty()) return;
      auto fn = std::move(queue_.front());
      queue_.pop_front();
      lk.unlock();
      fn();
      lk.lock();
    }
  }
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  bool quit_ = false;
  std::thread thread_;
};

// A project: block, picture and data files.
struct Project {
  TempDir dir;
  TCalcParams params = DefaultCalcParams();
  TPicture picture;
  PixelDataFile tmp1, tmp2;

  Project(int32_t width, int32_t height, int32_t formula = 1, int32_t calmDown = 24, int32_t iterations = 48) {
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
  std::vector<unsigned char> Bytes1() const { return ReadBytes(dir.file("p.TMP1")); }
  std::vector<unsigned char> Bytes2() const { return ReadBytes(dir.file("p.TMP2")); }
  std::vector<double> Records1() {
    std::vector<double> v(static_cast<size_t>(tmp1.RecordCount()));
    tmp1.ReadAt(0, v.data(), v.size());
    return v;
  }
  std::vector<double> Records2() {
    std::vector<double> v(static_cast<size_t>(tmp2.RecordCount()));
    tmp2.ReadAt(0, v.data(), v.size());
    return v;
  }
  void Prepare(TRechenThread& t, bool fresh = true) {
    t.Setup(params, picture);
    t.SetFresh(fresh);
    t.SetFiles(tmp1, tmp2);
  }
};

// Runs a whole scan with the renderer's dispatcher; returns whether it finished.
bool RunDirect(Project& p, int workers, bool fresh = true,
               const std::function<void(TRechenThread&)>& adjust = {}) {
  DirectDispatcher direct;
  TRechenThread t(direct, workers);
  p.Prepare(t, fresh);
  if (adjust) adjust(t);
  bool finished = false;
  t.SetFinishedHandler([&] { finished = true; });
  t.SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(t.Ended());
  return finished;
}

// Both data files and the picture are the same bytes.
void ExpectSameResults(const Project& a, const Project& b) {
  EXPECT_EQ(a.Bytes1(), b.Bytes1());
  EXPECT_EQ(a.Bytes2(), b.Bytes2());
  EXPECT_EQ(a.picture.Bits, b.picture.Bits);
}

// The exponent and final X of one pixel computed by the kernel alone.
PixelResult Expected(const TCalcParams& params, int32_t column, int32_t row, const PixelInput* stored = nullptr) {
  const KernelParams kp = KernelParamsFrom(params);
  PixelInput in;
  if (stored) in = *stored;
  PixelMapping(params).MapPixel(column, params.PictureHeight - row, in.A, in.B);
  PixelResult out;
  PixelKernel(kp, nullptr).Compute(in, out);
  return out;
}

}  // namespace

TEST(RechenThread, WritesEveryPixelAsTheKernelComputesIt) {
  Project p(10, 10);
  ASSERT_TRUE(RunDirect(p, 2));
  EXPECT_EQ(p.Bytes1().size(), 800u);
  EXPECT_EQ(p.Bytes2().size(), 800u);
  const std::vector<double> e = p.Records1(), x = p.Records2();
  // Record 23 is row 2, column 3.
  const PixelResult r23 = Expected(p.params, 3, 2);
  EXPECT_EQ(e[23], r23.E);
  EXPECT_EQ(x[23], r23.X);
  for (int32_t k = 0; k < 100; ++k) {
    const PixelResult r = Expected(p.params, k % 10, k / 10);
    ASSERT_EQ(e[size_t(k)], r.E) << k;
    ASSERT_EQ(x[size_t(k)], r.X) << k;
    EXPECT_EQ(p.picture.Pixel(k % 10, k / 10),
              ColorForExponent(p.params.ColorList, p.params.BelowColor, p.params.AboveColor, r.E));
  }
  // The stored progress points behind the last row's last pixel.
  EXPECT_EQ(p.params.ProgressRow, 9);
  EXPECT_EQ(p.params.ProgressColumn, 10);
}

namespace {

struct HandOvers {
  std::vector<int64_t> records;                       // TMP1's length after each hand-over
  std::vector<std::pair<int32_t, int32_t>> progress;  // ProgressRow, ProgressColumn
  std::vector<int> bar;
};

HandOvers RecordHandOvers(int32_t width, int32_t height) {
  Project p(width, height, 0, 12, 12);
  DirectDispatcher direct;
  TRechenThread t(direct, 3);
  p.Prepare(t);
  HandOvers h;
  t.SetRowHandler([&](int32_t) {
    h.records.push_back(p.tmp1.RecordCount());
    h.progress.emplace_back(p.params.ProgressRow, p.params.ProgressColumn);
  });
  t.SetProgressHandler([&](int value) { h.bar.push_back(value); });
  t.Resume();
  t.WaitFor();
  return h;
}

}  // namespace

TEST(RechenThread, HandsOverThousandPixelBatchesAndTheRestAtTheRowEnd) {
  const HandOvers h = RecordHandOvers(2500, 2);
  EXPECT_EQ(h.records, (std::vector<int64_t>{1000, 2000, 2500, 3500, 4500, 5000}));
  EXPECT_EQ(h.progress,
            (std::vector<std::pair<int32_t, int32_t>>{{0, 1000}, {0, 2000}, {0, 2500}, {1, 1000}, {1, 2000}, {1, 2500}}));
  EXPECT_EQ(h.bar, (std::vector<int>{2000, 4000, 5000, 7000, 9000, 10000}));

  // A row that fills its last batch exactly still ends with a (then empty) hand-over.
  const HandOvers full = RecordHandOvers(2000, 1);
  EXPECT_EQ(full.records, (std::vector<int64_t>{1000, 2000, 2000}));
  EXPECT_EQ(full.bar, (std::vector<int>{5000, 10000, 10000}));
}

TEST(RechenThread, ResultsAreTheSameBytesForEveryWorkerCount) {
  for (bool smart : {false, true}) {
    Project one(157, 61, 4, 120, 240), eight(157, 61, 4, 120, 240);
    one.params.SmartIterate = eight.params.SmartIterate = smart;
    one.params.CenterX = eight.params.CenterX = 3.2;
    one.params.Width = eight.params.Width = 1.5;
    one.params.Height = eight.params.Height = 1.2;
    ASSERT_TRUE(RunDirect(one, 1));
    ASSERT_TRUE(RunDirect(eight, 8));
    EXPECT_EQ(one.Bytes1().size(), 157u * 61 * 8);
    ExpectSameResults(one, eight);
  }
}

TEST(RechenThread, ContinuesAtTheStoredProgressPosition) {
  Project full(10, 10);
  ASSERT_TRUE(RunDirect(full, 2));

  Project p(10, 10);
  p.params.ProgressColumn = 5;
  p.params.ProgressRow = 3;
  std::vector<int64_t> firstRecord;
  DirectDispatcher direct;
  {
    TRechenThread t(direct, 2);
    p.Prepare(t);
    t.SetRowHandler([&](int32_t) {
      if (firstRecord.empty()) firstRecord.push_back(p.tmp1.RecordCount());
    });
    bool finished = false;
    t.SetFinishedHandler([&] { finished = true; });
    t.Resume();
    t.WaitFor();
    EXPECT_TRUE(finished);
  }
  EXPECT_EQ(firstRecord, std::vector<int64_t>{40});  // records 35..39 were the first batch
  const std::vector<double> e = p.Records1(), all = full.Records1();
  ASSERT_EQ(e.size(), 100u);
  for (size_t k = 0; k < 35; ++k) EXPECT_EQ(e[k], 0.0) << k;  // never written
  for (size_t k = 35; k < 100; ++k) EXPECT_EQ(e[k], all[k]) << k;
}

TEST(RechenThread, PositionBehindARowsEndContinuesWithTheNextRow) {
  Project p(10, 10);
  p.params.ProgressColumn = 10;  // stored right after row 3's end hand-over
  p.params.ProgressRow = 3;
  ASSERT_TRUE(RunDirect(p, 2));
  const std::vector<double> e = p.Records1();
  ASSERT_EQ(e.size(), 100u);
  for (size_t k = 0; k < 40; ++k) EXPECT_EQ(e[k], 0.0) << k;
  EXPECT_EQ(e[40], Expected(p.params, 0, 4).E);

  // Behind the last row: nothing is left, the run still finishes.
  Project done(10, 10);
  done.params.ProgressColumn = 10;
  done.params.ProgressRow = 9;
  EXPECT_TRUE(RunDirect(done, 2));
  EXPECT_EQ(done.tmp1.RecordCount(), 0);

  // A position outside the picture computes nothing outside it.
  Project outside(10, 10);
  outside.params.ProgressColumn = 25;
  outside.params.ProgressRow = 40;
  EXPECT_TRUE(RunDirect(outside, 2));
  EXPECT_EQ(outside.tmp1.RecordCount(), 0);
}

TEST(RechenThread, RectangleRunsDeriveMoreIterationsForTheirRecordsOnly) {
  Project p(10, 10);
  ASSERT_TRUE(RunDirect(p, 2));
  const std::vector<double> e0 = p.Records1(), x0 = p.Records2();
  // More iterations for columns 2..4 of rows 3..5, derived from the stored data.
  p.params.IterationsDone = p.params.Iterations;
  ASSERT_TRUE(RunDirect(p, 3, false, [](TRechenThread& t) { t.SetRegion(2, 3, 5, 6); }));
  const std::vector<double> e = p.Records1(), x = p.Records2();
  ASSERT_EQ(e.size(), 100u);
  for (int32_t k = 0; k < 100; ++k) {
    const int32_t c = k % 10, r = k / 10;
    if (c >= 2 && c < 5 && r >= 3 && r < 6) {
      const PixelInput stored{0, 0, false, x0[size_t(k)], e0[size_t(k)]};
      const PixelResult expected = Expected(p.params, c, r, &stored);
      EXPECT_EQ(e[size_t(k)], expected.E) << k;
      EXPECT_EQ(x[size_t(k)], expected.X) << k;
    } else {
      EXPECT_EQ(e[size_t(k)], e0[size_t(k)]) << k;
      EXPECT_EQ(x[size_t(k)], x0[size_t(k)]) << k;
    }
  }
}

TEST(RechenThread, DegenerateAndOversizedRegionsStayInsideThePicture) {
  Project p(10, 10);
  ASSERT_TRUE(RunDirect(p, 2));
  const std::vector<double> before = p.Records1();
  p.params.Iterations = 96;  // a different result for every pixel computed again

  // right == left and bottom == top: still column 4 of row 2.
  ASSERT_TRUE(RunDirect(p, 2, true, [](TRechenThread& t) {
    t.SetRegion(4, 2, 4, 2);
    EXPECT_EQ(t.Right(), 5);
    EXPECT_EQ(t.Bottom(), 3);
  }));
  std::vector<double> after = p.Records1();
  for (size_t k = 0; k < 100; ++k) EXPECT_EQ(after[k] != before[k], k == 24) << k;

  // A rectangle reaching beyond the picture is cut at its edges.
  ASSERT_TRUE(RunDirect(p, 2, true, [](TRechenThread& t) { t.SetRegion(8, 8, 50, 50); }));
  after = p.Records1();
  ASSERT_EQ(after.size(), 100u);
  for (size_t k = 0; k < 100; ++k) EXPECT_EQ(after[k] != before[k], k == 24 || (k % 10 >= 8 && k / 10 >= 8)) << k;
}

TEST(RechenThread, NonFreshRunTreatsPixelsWithoutStoredDataAsFresh) {
  Project p(10, 10);
  ASSERT_TRUE(RunDirect(p, 2));
  const std::vector<double> e0 = p.Records1(), x0 = p.Records2();
  p.tmp1.Seek(50);
  p.tmp1.Truncate();  // TMP1 lost its second half; TMP2 is complete
  p.params.ProgressColumn = p.params.ProgressRow = 0;
  p.params.IterationsDone = 48;
  ASSERT_TRUE(RunDirect(p, 3, false));
  const std::vector<double> e = p.Records1(), x = p.Records2();
  ASSERT_EQ(e.size(), 100u);
  for (int32_t k = 0; k < 100; ++k) {
    const PixelInput stored{0, 0, false, x0[size_t(k)], e0[size_t(k)]};
    const PixelResult r = Expected(p.params, k % 10, k / 10, k < 50 ? &stored : nullptr);
    EXPECT_EQ(e[size_t(k)], r.E) << k;
    EXPECT_EQ(x[size_t(k)], r.X) << k;
  }
}

TEST(RechenThread, SuspendIsABarrierAndResumeFinishesTheSamePicture) {
  Project reference(120, 80, 1, 600, 1200);
  ASSERT_TRUE(RunDirect(reference, 1));

  Project p(120, 80, 1, 600, 1200);
  TestUiThread ui;
  std::atomic<int> rows{0};
  std::promise<void> finished;
  auto t = std::make_unique<TRechenThread>(ui, 2);
  p.Prepare(*t);
  t->SetRowHandler([&](int32_t) { ++rows; });
  t->SetFinishedHandler([&] { finished.set_value(); });
  ui.Run([&] { t->Resume(); });
  while (rows < 5) std::this_thread::sleep_for(1ms);

  for (int pause = 0; pause < 3; ++pause) {
    ui.Run([&] { t->Suspend(); });
    EXPECT_TRUE(t->Suspended());
    const auto bytes1 = p.Bytes1(), bytes2 = p.Bytes2();
    const auto bits = p.picture.Bits;
    const int before = rows;
    const int32_t column = t->Column(), row = t->Row();
    std::this_thread::sleep_for(150ms);
    ui.Run([] {});  // let hand-overs that were on their way arrive
    EXPECT_EQ(p.Bytes1(), bytes1);
    EXPECT_EQ(p.Bytes2(), bytes2);
    EXPECT_EQ(p.picture.Bits, bits);
    EXPECT_EQ(rows, before);
    EXPECT_EQ(t->Column(), column);
    EXPECT_EQ(t->Row(), row);
    ui.Run([&] { t->Resume(); });
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_EQ(finished.get_future().wait_for(60s), std::future_status::ready);
  ui.Run([&] { t.reset(); });
  ExpectSameResults(p, reference);
}

TEST(RechenThread, ChangesMadeWhilePausedApplyToThePixelsNotYetHandedOver) {
  Project p(60, 40, 1, 120, 240);
  TestUiThread ui;
  std::atomic<int> rows{0};
  std::promise<void> finished;
  TRechenThread t(ui, 2);
  p.Prepare(t);
  t.SetRowHandler([&](int32_t) { ++rows; });
  t.SetFinishedHandler([&] { finished.set_value(); });
  ui.Run([&] { t.Resume(); });
  while (rows < 2) std::this_thread::sleep_for(1ms);
  int64_t handed = 0;
  ui.Run([&] {
    t.Suspend();
    handed = int64_t(p.params.ProgressRow) * 60 + p.params.ProgressColumn;
    p.params.Iterations = 480;                        // the "iterations" adjustment
    p.params.SetColors({{0x123456, -1000.0}});        // everything above: AboveColor
    p.params.AboveColor = 0x0000FF;
    t.Resume();
  });
  ASSERT_EQ(finished.get_future().wait_for(60s), std::future_status::ready);
  ui.Run([] {});
  const std::vector<double> e = p.Records1();
  ASSERT_EQ(e.size(), 2400u);
  TCalcParams before = p.params;
  before.Iterations = 240;
  // A hand-over on its way when the run paused is made at Resume: at most one more row of
  // pixels computed with the old values.
  const int64_t changed = (handed / 60 + 2) * 60;
  for (int64_t k = changed; k < 2400; k += 7) {
    const int32_t c = int32_t(k % 60), r = int32_t(k / 60);
    EXPECT_EQ(e[size_t(k)], Expected(p.params, c, r).E) << k;
    EXPECT_EQ(p.picture.Pixel(c, r), 0x0000FFu) << k;
  }
  for (int64_t k = 0; k < handed; k += 7) EXPECT_EQ(e[size_t(k)], Expected(before, int32_t(k % 60), int32_t(k / 60)).E) << k;
}

TEST(RechenThread, TerminateHandsNothingOverAfterwards) {
  Project p(200, 100, 1, 600, 1200);
  TestUiThread ui;
  std::atomic<int> rows{0};
  std::atomic<bool> terminated{false}, lateHandOver{false}, finished{false};
  auto t = std::make_unique<TRechenThread>(ui, 2);
  p.Prepare(*t);
  t->SetRowHandler([&](int32_t) {
    if (terminated) lateHandOver = true;
    ++rows;
  });
  t->SetFinishedHandler([&] { finished = true; });
  ui.Run([&] { t->Resume(); });
  while (rows < 3) std::this_thread::sleep_for(1ms);
  ui.Run([&] {
    t->Terminate();
    terminated = true;
  });
  ui.Run([&] { t->WaitFor(); });
  EXPECT_TRUE(t->Ended());
  const auto bytes = p.Bytes1();
  std::this_thread::sleep_for(50ms);
  ui.Run([] {});
  EXPECT_EQ(p.Bytes1(), bytes);
  EXPECT_FALSE(lateHandOver);
  EXPECT_FALSE(finished);
  EXPECT_LT(bytes.size(), 200u * 100 * 8);
  ui.Run([&] { t.reset(); });
}

TEST(RechenThread, TerminateReleasesAPausedRun) {
  Project p(200, 100, 1, 600, 1200);
  TestUiThread ui;
  std::atomic<int> rows{0};
  bool finished = false;
  auto t = std::make_unique<TRechenThread>(ui, 2);
  p.Prepare(*t);
  t->SetRowHandler([&](int32_t) { ++rows; });
  t->SetFinishedHandler([&] { finished = true; });
  ui.Run([&] { t->Resume(); });
  while (rows < 1) std::this_thread::sleep_for(1ms);
  ui.Run([&] {
    t->Suspend();
    t->Terminate();
    t->WaitFor();
  });
  EXPECT_TRUE(t->Ended());
  ui.Run([&] { t.reset(); });
  EXPECT_FALSE(finished);
}

TEST(RechenThread, DestroyingARunningThreadIsSafe) {
  Project p(200, 100, 1, 600, 1200);
  TestUiThread ui;
  std::atomic<int> rows{0};
  auto t = std::make_unique<TRechenThread>(ui, 3);
  p.Prepare(*t);
  t->SetRowHandler([&](int32_t) { ++rows; });
  ui.Run([&] { t->Resume(); });
  while (rows < 1) std::this_thread::sleep_for(1ms);
  const int seen = rows;
  ui.Run([&] { t.reset(); });
  std::this_thread::sleep_for(20ms);
  ui.Run([] {});  // closures still queued find the run gone
  EXPECT_LE(rows - seen, 1);
}

TEST(RechenThread, AFailingDataFileEndsTheRunWithTheSystemsMessage) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no full device";
  Project p(20, 10);
  p.tmp1.Open("/dev/full");
  TestUiThread ui;
  std::promise<std::string> error;
  bool finished = false;
  TRechenThread t(ui, 2);
  p.Prepare(t);
  t.SetErrorHandler([&](const std::string& message) { error.set_value(message); });
  t.SetFinishedHandler([&] { finished = true; });
  ui.Run([&] { t.Resume(); });
  auto message = error.get_future();
  ASSERT_EQ(message.wait_for(30s), std::future_status::ready);
  EXPECT_NE(message.get().find("No space left on device"), std::string::npos);
  ui.Run([&] { t.WaitFor(); });
  EXPECT_TRUE(t.Ended());
  EXPECT_FALSE(finished);
  EXPECT_EQ(p.params.ProgressColumn, 0);  // the failed batch is not recorded as done
}

TEST(RechenThread, SetupRefusesBlocksThatCannotBeComputed) {
  DirectDispatcher direct;
  Project p(10, 10);
  {
    TRechenThread t(direct, 1);
    p.params.SetSequence({});
    EXPECT_THROW(t.Setup(p.params, p.picture), FormatError);
  }
  p.params.SetSequence(ReadSequence("AB"));
  {
    TRechenThread t(direct, 1);
    p.params.FixedFormula = -1;
    p.params.SetFormula("sin((X+");  // a user formula that does not convert
    EXPECT_THROW(t.Setup(p.params, p.picture), FormatError);
    p.params.FixedFormula = 0;
  }
  {
    TRechenThread t(direct, 1);
    TPicture small;
    small.Resize(5, 5);
    EXPECT_THROW(t.Setup(p.params, small), FormatError);
  }
  {
    TRechenThread t(direct, 1);
    p.params.SetColors({});
    EXPECT_THROW(t.Setup(p.params, p.picture), FormatError);
  }
}

TEST(RechenThread, WorkerCountZeroMeansEveryHardwareThread) {
  DirectDispatcher direct;
  TRechenThread t(direct, 0);
  EXPECT_EQ(t.WorkerCount(), int(std::max(1u, std::thread::hardware_concurrency())));
  EXPECT_EQ(TRechenThread(direct, 3).WorkerCount(), 3);
}

TEST(RechenThread, UserFormulaRunsOnEveryWorkerWithItsOwnEvaluator) {
  auto prepare = [](Project& p, int32_t formula) {
    p.params.FixedFormula = formula;
    p.params.SetFormula("AB*X*(1-X)");
    p.params.CenterX = p.params.CenterY = 3.0;
    p.params.Width = p.params.Height = 1.0;  // A and B in 2.5 .. 3.5: bounded, periodic orbits
  };
  Project one(40, 30), four(40, 30), fixed(40, 30);
  prepare(one, -1);
  prepare(four, -1);
  prepare(fixed, 0);
  ASSERT_TRUE(RunDirect(one, 1));
  ASSERT_TRUE(RunDirect(four, 4));
  ASSERT_TRUE(RunDirect(fixed, 2));
  EXPECT_EQ(one.Bytes1(), four.Bytes1());
  EXPECT_EQ(one.Bytes2(), four.Bytes2());
  const std::vector<double> user = one.Records1(), builtIn = fixed.Records1();
  ASSERT_EQ(user.size(), builtIn.size());
  int close = 0;
  for (size_t k = 0; k < user.size(); ++k) close += std::fabs(user[k] - builtIn[k]) < 1e-6;
  EXPECT_GE(close, int(user.size() * 95 / 100));
}

TEST(RechenThread, ManyQuickPausesStillGiveTheUninterruptedPicture) {
  Project reference(90, 70, 4, 240, 480);
  ASSERT_TRUE(RunDirect(reference, 1));

  Project p(90, 70, 4, 240, 480);
  TestUiThread ui;
  std::atomic<bool> finished{false};
  TRechenThread t(ui, 3);
  p.Prepare(t);
  t.SetFinishedHandler([&] { finished = true; });
  ui.Run([&] { t.Resume(); });
  for (int i = 0; i < 200 && !finished; ++i) {
    ui.Run([&] { t.Suspend(); });
    if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 7)));
    ui.Run([&] { t.Resume(); });
    std::this_thread::sleep_for(std::chrono::microseconds(300 * (i % 5)));
  }
  while (!finished) std::this_thread::sleep_for(1ms);
  ui.Run([&] { t.WaitFor(); });
  ExpectSameResults(p, reference);
}

TEST(RechenThread, PausingFromInsideAHandOverHoldsTheRunUntilResume) {
  Project reference(70, 50, 1, 240, 480);
  ASSERT_TRUE(RunDirect(reference, 1));

  Project p(70, 50, 1, 240, 480);
  TestUiThread ui;
  std::atomic<bool> finished{false};
  std::atomic<int> rows{0};
  TRechenThread t(ui, 2);
  p.Prepare(t);
  t.SetRowHandler([&](int32_t row) {
    ++rows;
    if (row % 10 == 4) t.Suspend();  // the window pauses while a row is being drawn
  });
  t.SetFinishedHandler([&] { finished = true; });
  ui.Run([&] { t.Resume(); });
  for (int pauses = 0; !finished && pauses < 100; ++pauses) {
    bool suspended = false;
    for (int i = 0; i < 2000 && !suspended && !finished; ++i) {
      std::this_thread::sleep_for(1ms);
      ui.Run([&] { suspended = t.Suspended(); });
    }
    if (!suspended) break;
    const int seen = rows;
    const auto bytes = p.Bytes1();
    std::this_thread::sleep_for(30ms);
    ui.Run([] {});
    EXPECT_EQ(rows, seen);
    EXPECT_EQ(p.Bytes1(), bytes);
    ui.Run([&] { t.Resume(); });
  }
  ASSERT_TRUE(finished);
  ui.Run([&] { t.WaitFor(); });
  ExpectSameResults(p, reference);
}
