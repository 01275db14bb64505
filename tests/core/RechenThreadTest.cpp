// The computation thread: what it writes and draws, where it continues, pauses and changes made
// while paused, failing files, batches handed to a handler instead of the files (how the
// multi-process renderer computes a band of rows), and random interrupted runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/EngineHarness.h"

using namespace vantorel;
using namespace std::chrono_literals;
using test::Records;
using Project = test::EngineProject;

namespace {

using test::ExpectRecords;
using test::KernelPixel;

// A run driven from the test's event loop, as in the desktop program.
struct LiveRun {
  Project p;
  test::EventLoop ui;
  std::unique_ptr<TRechenThread> t;
  int rows = 0;  // drawn so far
  bool finished = false;
  std::function<void(int32_t)> onRow;  // runs after each drawn row

  LiveRun(int32_t width, int32_t height, int32_t formula, int32_t calmDown, int32_t iterations, int workers)
      : p(width, height, formula, calmDown, iterations), t(std::make_unique<TRechenThread>(ui, workers)) {
    p.Prepare(*t);
    t->SetRowHandler([this](int32_t row) {
      ++rows;
      if (onRow) onRow(row);
    });
    t->SetFinishedHandler([this] { finished = true; });
  }
  // Resumes and pumps until `handedOver` rows were drawn.
  void Start(int handedOver) {
    t->Resume();
    ASSERT_TRUE(ui.PumpUntil([&] { return rows >= handedOver; }));
  }
  // Runs until the run reports an error; the run ends without finishing. Returns the message.
  std::string ErrorOfRun() {
    std::string error;
    t->SetErrorHandler([&](const std::string& message) { error = message; });
    Start(0);
    EXPECT_TRUE(ui.PumpUntil([&] { return !error.empty(); }));
    t->WaitFor();
    EXPECT_TRUE(t->Ended());
    EXPECT_FALSE(finished);
    return error;
  }
  // A paused run changes nothing: data files, picture, rows drawn and, when it was paused
  // from outside a hand-over, the position (one paused inside still steps behind its row).
  void ExpectHeld(std::chrono::milliseconds wait, bool position) {
    auto state = [&] {
      return std::tuple(p.Snapshot(), rows, position ? std::pair(t->Column(), t->Row()) : std::pair(0, 0));
    };
    const auto before = state();
    ui.PumpFor(wait);  // hand-overs that were on their way arrive, and must wait
    const auto after = state();
    EXPECT_TRUE(std::get<0>(after) == std::get<0>(before)) << "the data files or the picture changed";
    EXPECT_EQ(std::get<1>(after), std::get<1>(before)) << "rows drawn";
    EXPECT_EQ(std::get<2>(after), std::get<2>(before)) << "position";
  }
};

// A 10 x 10 project computed once; the tests compute parts of it again.
class RechenThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(p.Run(2));
    e0 = Records(p.tmp1);
    x0 = Records(p.tmp2);
  }
  PixelResult Before(size_t k) const { return {e0[k], x0[k]}; }
  // The pixel with more iterations, derived from its stored records.
  PixelResult Derived(int32_t c, int32_t r, size_t k) const {
    const PixelInput stored{0, 0, false, x0[k], e0[k]};
    return KernelPixel(p.params, c, r, &stored);
  }
  Project p{10, 10};
  std::vector<double> e0, x0;
};

// Ends the test program when a blocking call does not return in time: CI fails, it does not hang.
template <class Call>
void Guard(const char* what, Call&& call) {
  std::promise<void> returned;
  std::thread watchdog([&what, done = returned.get_future()] {
    if (done.wait_for(60s) == std::future_status::ready) return;
    std::fprintf(stderr, "watchdog: %s did not return in time\n", what);
    std::abort();
  });
  call();
  returned.set_value();
  watchdog.join();
}

constexpr int32_t kWidth = 29, kHeight = 11;  // the stress test's picture

}  // namespace

TEST_F(RechenThreadTest, WritesAndDrawsEveryPixelAsTheKernelComputesIt) {
  ExpectRecords(p, [&](int32_t c, int32_t r, size_t) {
    const PixelResult expected = KernelPixel(p.params, c, r);
    EXPECT_EQ(p.picture.Pixel(c, r),
              ColorForExponent(p.params.ColorList, p.params.BelowColor, p.params.AboveColor, expected.E));
    return expected;
  });
  // The stored progress points behind the last row's last pixel.
  EXPECT_EQ(p.params.ProgressRow, 9);
  EXPECT_EQ(p.params.ProgressColumn, 10);
}

TEST(RechenThread, HandsOverThousandPixelBatchesAndTheRestAtTheRowEnd) {
  // A row that fills its last batch exactly still ends with a (then empty) hand-over.
  struct Case {
    int32_t width, height;
    std::vector<int64_t> records;
    std::vector<int> bar;
  } cases[] = {
      {2500, 2, {1000, 2000, 2500, 3500, 4500, 5000}, {2000, 4000, 5000, 7000, 9000, 10000}},
      {2000, 1, {1000, 2000, 2000}, {5000, 10000, 10000}},
  };
  for (const Case& c : cases) {
    Project p(c.width, c.height, 0, 12, 12);
    // TMP1's length and the stored position per hand-over: behind the records handed over,
    // at the row's end still in that row.
    std::vector<int64_t> records;
    std::vector<std::pair<int64_t, int64_t>> progress, expected;
    std::vector<int> bar;
    p.Run(3, true, [&](TRechenThread& t) {
      t.SetRowHandler([&](int32_t) {
        records.push_back(p.tmp1.RecordCount());
        progress.emplace_back(p.params.ProgressRow, p.params.ProgressColumn);
      });
      t.SetProgressHandler([&](int value) { bar.push_back(value); });
    });
    EXPECT_EQ(records, c.records) << c.width << " x " << c.height;
    for (int64_t n : c.records) expected.emplace_back((n - 1) / c.width, n - (n - 1) / c.width * c.width);
    EXPECT_EQ(progress, expected) << c.width << " x " << c.height;
    EXPECT_EQ(bar, c.bar) << c.width << " x " << c.height;
  }
}

TEST(RechenThread, ResultsAreTheSameBytesForEveryWorkerCount) {
  // Formula 5 plain and smart, and a user formula, which every worker evaluates on its own
  // (that the thread computes the user formula itself is UserFormulaTest's).
  for (int config = 0; config < 3; ++config) {
    SCOPED_TRACE(config);
    Project one(157, 61, 4, 120, 240), eight(157, 61, 4, 120, 240);
    for (Project* p : {&one, &eight}) {
      p->params.SmartIterate = config == 1;
      if (config == 2) p->params.FixedFormula = -1, p->params.SetFormula("AB*X*(1-X)");
      p->params.CenterX = 3.2, p->params.Width = 1.5, p->params.Height = 1.2;
    }
    ASSERT_TRUE(one.Run(1));
    ASSERT_TRUE(eight.Run(8));
    EXPECT_EQ(one.tmp1.RecordCount(), 157 * 61);
    EXPECT_TRUE(one.Snapshot() == eight.Snapshot()) << "the data files or pictures differ";
  }
}

TEST_F(RechenThreadTest, ContinuesAtTheStoredProgressPosition) {
  // Behind a row's end continues with the next row; behind the last row or outside the
  // picture nothing is left, and the run still finishes.
  struct Case {
    int32_t column, row;
    size_t first;
    int64_t firstHandOver;
  } cases[] = {{5, 3, 35, 40}, {10, 3, 40, 50}, {10, 9, 100, -1}, {25, 40, 100, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "from column " << c.column << " of row " << c.row);
    Project q(10, 10);
    q.params.ProgressColumn = c.column;
    q.params.ProgressRow = c.row;
    int64_t firstHandOver = -1;  // TMP1's length after it
    ASSERT_TRUE(q.Run(2, true, [&](TRechenThread& t) {
      t.SetRowHandler([&](int32_t) { firstHandOver = firstHandOver < 0 ? q.tmp1.RecordCount() : firstHandOver; });
    }));
    EXPECT_EQ(firstHandOver, c.firstHandOver);
    if (c.first == 100) {
      EXPECT_EQ(q.tmp1.RecordCount(), 0);
      continue;
    }
    ExpectRecords(q, [&](int32_t, int32_t, size_t k) {
      return k < c.first ? PixelResult{} : Before(k);  // never written before the position
    });
  }
}

TEST_F(RechenThreadTest, RectangleDerivesMoreIterationsForItsRecordsOnly) {
  p.params.IterationsDone = p.params.Iterations;
  ASSERT_TRUE(p.Run(3, false, [](TRechenThread& t) { t.SetRegion(2, 3, 5, 6); }));
  ExpectRecords(p, [&](int32_t c, int32_t r, size_t k) {
    return c >= 2 && c < 5 && r >= 3 && r < 6 ? Derived(c, r, k) : Before(k);
  });
}

TEST_F(RechenThreadTest, DegenerateAndOversizedRegionsStayInsideThePicture) {
  p.params.Iterations = 96;  // a different result for every pixel computed again
  // right == left and bottom == top: still column 4 of row 2.
  ASSERT_TRUE(p.Run(2, true, [](TRechenThread& t) {
    t.SetRegion(4, 2, 4, 2);
    EXPECT_EQ(t.Right(), 5);
    EXPECT_EQ(t.Bottom(), 3);
  }));
  // A rectangle reaching beyond the picture is cut at its edges.
  ASSERT_TRUE(p.Run(2, true, [](TRechenThread& t) { t.SetRegion(8, 8, 50, 50); }));
  ExpectRecords(p, [&](int32_t c, int32_t r, size_t k) {
    return k == 24 || (c >= 8 && r >= 8) ? KernelPixel(p.params, c, r) : Before(k);
  });
}

TEST_F(RechenThreadTest, NonFreshRunTreatsPixelsWithoutStoredDataAsFresh) {
  p.tmp1.Seek(50);
  p.tmp1.Truncate();  // TMP1 lost its second half; TMP2 is complete
  p.params.ProgressColumn = p.params.ProgressRow = 0;
  p.params.IterationsDone = p.params.Iterations;
  ASSERT_TRUE(p.Run(3, false));
  ExpectRecords(
      p, [&](int32_t c, int32_t r, size_t k) { return k < 50 ? Derived(c, r, k) : KernelPixel(p.params, c, r); });
}

TEST(RechenThread, APausedRunHoldsStillAndResumeFinishesTheSamePicture) {
  Project reference(120, 80, 1, 600, 1200);
  ASSERT_TRUE(reference.Run(1));
  LiveRun run(120, 80, 1, 600, 1200, 2);
  TRechenThread& t = *run.t;
  // The window pauses while rows 4 and 14 are being drawn; then the test pauses three times
  // at leisure (pauses in quick succession are the stress test's).
  run.onRow = [&](int32_t row) {
    if (row == 4 || row == 14) t.Suspend();
  };
  run.Start(0);
  for (int pause = 0; pause < 5; ++pause) {
    SCOPED_TRACE(testing::Message() << "pause " << pause);
    if (pause >= 2) t.Suspend();
    ASSERT_TRUE(run.ui.PumpUntil([&] { return t.Suspended(); }));
    run.ExpectHeld(pause >= 2 ? 150ms : 30ms, pause >= 2);
    t.Resume();
    run.ui.PumpFor(20ms);
  }
  ASSERT_TRUE(run.ui.PumpUntil([&] { return run.finished; }));
  run.t.reset();
  EXPECT_TRUE(run.p.Snapshot() == reference.Snapshot()) << "the paused run gave another picture";
}

TEST(RechenThread, ChangesMadeWhilePausedApplyToThePixelsNotYetHandedOver) {
  LiveRun run(60, 40, 1, 120, 240, 2);
  TCalcParams& params = run.p.params;
  const TCalcParams before = params;
  run.Start(2);
  run.t->Suspend();
  const int64_t handed = int64_t(params.ProgressRow) * 60 + params.ProgressColumn;
  params.Iterations = 480;                  // the "iterations" adjustment
  params.SetColors({{0x123456, -1000.0}});  // everything above: AboveColor
  params.AboveColor = 0x0000FF;
  run.t->Resume();
  ASSERT_TRUE(run.ui.PumpUntil([&] { return run.finished; }));
  const std::vector<double> e = Records(run.p.tmp1);
  ASSERT_EQ(e.size(), 2400u);
  // A hand-over on its way when the run paused is made at Resume: at most one more row of
  // pixels computed with the old values.
  for (int64_t k = (handed / 60 + 2) * 60; k < 2400; k += 7) {
    const int32_t c = int32_t(k % 60), r = int32_t(k / 60);
    EXPECT_EQ(e[size_t(k)], KernelPixel(params, c, r).E) << k;
    EXPECT_EQ(run.p.picture.Pixel(c, r), 0x0000FFu) << k;
  }
  for (int64_t k = 0; k < handed; k += 7)
    EXPECT_EQ(e[size_t(k)], KernelPixel(before, int32_t(k % 60), int32_t(k / 60)).E) << k;
}

TEST(RechenThread, AFailingDataFileEndsTheRunWithTheSystemsMessage) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no full device";
  LiveRun run(20, 10, 1, 24, 48, 2);
  run.p.tmp1.Open("/dev/full");
  EXPECT_THAT(run.ErrorOfRun(), testing::HasSubstr("No space left on device"));
  EXPECT_EQ(run.p.params.ProgressColumn, 0);  // the failed batch is not recorded as done
}

TEST(RechenThread, SetupRefusesBlocksThatCannotBeComputedAndWorkerCountZeroIsEveryHardwareThread) {
  const std::pair<const char*, void (*)(TCalcParams&)> cases[] = {
      {"empty AB-sequence", [](TCalcParams& p) { p.SetSequence({}); }},
      {"picture of another size", [](TCalcParams& p) { p.PictureWidth = 5; }},
      {"empty colour list", [](TCalcParams& p) { p.SetColors({}); }},
  };
  DirectDispatcher direct;
  for (const auto& [name, spoil] : cases) {
    Project p(10, 10);
    spoil(p.params);
    TRechenThread t(direct, 1);
    EXPECT_THROW(t.Setup(p.params, p.picture), FormatError) << name;
  }
  // Worker count zero means every hardware thread.
  EXPECT_EQ(TRechenThread(direct, 0).WorkerCount(), int(std::max(1u, std::thread::hardware_concurrency())));
  EXPECT_EQ(TRechenThread(direct, 3).WorkerCount(), 3);
}

struct Batch {
  int64_t record;
  std::vector<double> e, x;
};

TEST(EngineBatchHandler, BatchesCarryTheFilesRecordsInPixelOrderAndTheStoredFilesStayUntouched) {
  // A first run and a run deriving more from it, over a band of rows begun in its first row:
  // the batches must hold exactly the records a run with files writes there.
  Project files(53, 17, 4, 24, 48), batches(53, 17, 4, 24, 48);
  ASSERT_TRUE(files.Run(3));
  ASSERT_TRUE(batches.Run(3));
  const std::vector<double> firstE = Records(files.tmp1), firstX = Records(files.tmp2);
  for (Project* p : {&files, &batches}) p->params.IterationsDone = p->params.Iterations;
  const auto band = [](TRechenThread& t) { t.SetRegion(20, 5, 53, 11); };
  ASSERT_TRUE(files.Run(3, false, band));

  std::vector<Batch> seen;
  TPicture none;
  ASSERT_TRUE(test::RunEngine(
      batches.params, batches.tmp1, batches.tmp2, 3, false,
      [&](TRechenThread& t) {
        band(t);
        t.SetBatchHandler([&](int64_t record, const double* e, const double* x, int32_t n) {
          seen.push_back({record, {e, e + n}, {x, x + n}});
        });
      },
      &none));
  EXPECT_EQ(Records(batches.tmp1), firstE);  // only read for the stored orbits
  EXPECT_EQ(Records(batches.tmp2), firstX);
  EXPECT_EQ(none.Width + none.Height, 0);

  const std::vector<double> derivedE = Records(files.tmp1), derivedX = Records(files.tmp2);
  int64_t next = 5 * 53 + 20;  // the band's pixels in order, rows from column 20 on
  for (const Batch& b : seen) {
    ASSERT_EQ(b.record, next);
    ASSERT_LE(int64_t(b.record % 53) + int64_t(b.e.size()), 53) << "a batch ends at its row's end";
    for (size_t k = 0; k < b.e.size(); ++k) {
      EXPECT_EQ(b.e[k], derivedE[size_t(b.record) + k]) << "record " << b.record + int64_t(k);
      EXPECT_EQ(b.x[k], derivedX[size_t(b.record) + k]) << "record " << b.record + int64_t(k);
    }
    next = b.record + int64_t(b.e.size());
    if (next % 53 == 0) next += 20;
  }
  EXPECT_EQ(next, 11 * 53 + 20);
}

TEST(EngineBatchHandler, AHandlerThatFailsEndsTheRunWithItsMessage) {
  LiveRun run(40, 12, 1, 24, 48, 2);
  int calls = 0;
  run.t->SetBatchHandler([&](int64_t, const double*, const double*, int32_t) {
    if (++calls == 3) throw IoError("Cannot write 'x': the disk is full");
  });
  EXPECT_THAT(run.ErrorOfRun(), testing::HasSubstr("the disk is full"));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(run.p.params.ProgressRow, 1);  // two rows handed over, the failed batch not recorded
  EXPECT_EQ(run.p.tmp1.RecordCount(), 0);  // the handler replaces the files
}

// Random start / pause / resume / stop / destroy cycles of the computation thread. Every run,
// however it was interrupted, is taken up again and must end with the bytes of an uninterrupted
// run. VANTOREL_STRESS_CYCLES sets the number of cycles (the sanitizer runs ask for more).
namespace {
int Cycles() {
  const char* text = std::getenv("VANTOREL_STRESS_CYCLES");
  return text ? std::max(1, std::atoi(text)) : 300;
}

enum Ending { Finish, TerminateRunning, TerminatePaused, DestroyRunning, DestroyPaused };

}  // namespace

TEST(RechenThreadStress, InterruptedRunsTakenUpAgainEndWithTheBytesOfAnUninterruptedRun) {
  Project reference(kWidth, kHeight, 1, 120, 240);
  reference.Run(1);
  const auto expected = reference.Snapshot();
  ASSERT_EQ(std::get<0>(expected).size(), size_t(8 * kWidth * kHeight));

  std::mt19937 random(20261206);
  const auto chance = [&](int percent) { return int(random() % 100) < percent; };
  const auto micros = [&](int most) { return std::chrono::microseconds(random() % (most + 1)); };
  const int cycles = Cycles();
  int finishedFirstTime = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const int workers = std::array{1, 2, 7}[cycle % 3];
    SCOPED_TRACE(testing::Message() << "cycle " << cycle << ", " << workers << " workers");
    LiveRun run(kWidth, kHeight, 1, 120, 240, workers);
    std::unique_ptr<TRechenThread>& t = run.t;
    // Now and then the window pauses while it draws a row.
    const int32_t pauseRow = chance(30) ? int32_t(random() % kHeight) : -1;
    run.onRow = [&](int32_t row) {
      if (row == pauseRow) Guard("Suspend in a hand-over", [&] { t->Suspend(); });
    };
    t->SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
    Guard("the first Resume", [&] { t->Resume(); });

    // Pauses from outside, each holding the run still.
    for (int k = int(random() % 6); k > 0 && !run.finished; --k) {
      run.ui.PumpUntil([] { return false; }, micros(400));
      Guard("Suspend", [&] { t->Suspend(); });
      const int before = run.rows;
      run.ui.PumpUntil([] { return false; }, micros(200));  // queued hand-overs wait for Resume
      EXPECT_EQ(run.rows, before) << "a paused run handed over";
      Guard("Resume", [&] { t->Resume(); });
    }
    const Ending ending = Ending(chance(40) ? 0 : 1 + random() % 4);
    if (ending == Finish) {
      while (!run.finished) {
        ASSERT_TRUE(run.ui.PumpUntil([&] { return run.finished || t->Suspended(); }, 60s)) << "the run stalled";
        if (!run.finished) Guard("Resume after a pause in a hand-over", [&] { t->Resume(); });
      }
      ++finishedFirstTime;
    } else {
      run.ui.PumpUntil([] { return false; }, micros(1500));
      if (ending == TerminatePaused || ending == DestroyPaused) Guard("Suspend before the end", [&] { t->Suspend(); });
      if (ending == TerminateRunning || ending == TerminatePaused) {
        t->Terminate();
        Guard("WaitFor", [&] { t->WaitFor(); });
        EXPECT_TRUE(t->Ended());
      }
      Guard("destroying the run", [&] { t.reset(); });
      const auto held = run.p.Snapshot();
      const int before = run.rows;
      run.ui.PumpUntil([] { return false; }, 300us);  // closures still queued find the run gone
      EXPECT_EQ(run.rows, before) << "a hand-over after the end";
      EXPECT_TRUE(run.p.Snapshot() == held) << "the files or the picture changed after the end";
      // Taken up again at the stored position, as a stored project continues.
      if (!run.finished) {
        DirectDispatcher direct;
        TRechenThread again(direct, workers);
        run.p.Prepare(again);
        again.Resume();
        Guard("WaitFor of the continued run", [&] { again.WaitFor(); });
      }
    }
    t.reset();
    ASSERT_TRUE(run.p.Snapshot() == expected) << "the run ended with other bytes";
  }
  std::printf("[ stress   ] %d cycles, %d finished without a stop\n", cycles, finishedFirstTime);
}
