// Random start / pause / resume / stop / destroy cycles of the computation thread. Every run,
// however it was interrupted, is taken up again and must end with the bytes of an uninterrupted
// run. VANTOREL_STRESS_CYCLES sets the number of cycles (the sanitizer runs ask for more).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "core/EngineHarness.h"

using namespace vantorel;
using namespace std::chrono_literals;
using test::EventLoop;

namespace {

// Ends the test program when a blocking call does not return in time: CI fails, it does not hang.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lk(mu_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  template <class Call>
  void Guard(const char* what, Call&& call, std::chrono::seconds limit = 60s) {
    {
      std::lock_guard lk(mu_);
      what_ = what;
      deadline_ = std::chrono::steady_clock::now() + limit;
      armed_ = true;
    }
    cv_.notify_all();
    call();
    std::lock_guard lk(mu_);
    armed_ = false;
  }

 private:
  void Watch() {
    std::unique_lock lk(mu_);
    while (!done_) {
      if (!armed_) {
        cv_.wait(lk);
      } else if (!cv_.wait_until(lk, deadline_, [&] { return !armed_ || done_; })) {
        std::fprintf(stderr, "watchdog: %s did not return in time\n", what_);
        std::abort();
      }
    }
  }
  std::mutex mu_;
  std::condition_variable cv_;
  bool armed_ = false, done_ = false;
  const char* what_ = "";
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;  // last: starts once the rest is there
};

constexpr int32_t kWidth = 29, kHeight = 11;

struct Project : test::EngineProject {
  Project() : EngineProject(kWidth, kHeight, 1, 120, 240) {}
};

int Cycles() {
  const char* text = std::getenv("VANTOREL_STRESS_CYCLES");
  return text ? std::max(1, std::atoi(text)) : 300;
}

enum Ending { Finish, TerminateRunning, TerminatePaused, DestroyRunning, DestroyPaused };

}  // namespace

TEST(RechenThreadStress, InterruptedRunsTakenUpAgainEndWithTheBytesOfAnUninterruptedRun) {
  Project reference;
  reference.Run(1);
  const auto expected = reference.Snapshot();
  ASSERT_EQ(std::get<0>(expected).size(), size_t(8 * kWidth * kHeight));

  Watchdog watchdog;
  std::mt19937 random(20261206);
  const auto chance = [&](int percent) { return int(random() % 100) < percent; };
  const auto micros = [&](int most) { return std::chrono::microseconds(random() % (most + 1)); };
  const int cycles = Cycles();
  int finishedFirstTime = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const int workers = std::array{1, 2, 7}[cycle % 3];
    SCOPED_TRACE(testing::Message() << "cycle " << cycle << ", " << workers << " workers");
    Project p;
    EventLoop ui;
    auto t = std::make_unique<TRechenThread>(ui, workers);
    p.Prepare(*t);
    int rows = 0;
    bool finished = false;
    // Now and then the window pauses while it draws a row.
    const int32_t pauseRow = chance(30) ? int32_t(random() % kHeight) : -1;
    t->SetRowHandler([&](int32_t row) {
      ++rows;
      if (row == pauseRow) watchdog.Guard("Suspend in a hand-over", [&] { t->Suspend(); });
    });
    t->SetFinishedHandler([&] { finished = true; });
    t->SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
    watchdog.Guard("the first Resume", [&] { t->Resume(); });

    // Pauses from outside, each holding the run still.
    for (int k = int(random() % 6); k > 0 && !finished; --k) {
      ui.PumpUntil([] { return false; }, micros(400));
      watchdog.Guard("Suspend", [&] { t->Suspend(); });
      const int before = rows;
      ui.PumpUntil([] { return false; }, micros(200));  // queued hand-overs wait for Resume
      EXPECT_EQ(rows, before) << "a paused run handed over";
      watchdog.Guard("Resume", [&] { t->Resume(); });
    }
    const Ending ending = Ending(chance(40) ? 0 : 1 + random() % 4);
    if (ending == Finish) {
      while (!finished) {
        ASSERT_TRUE(ui.PumpUntil([&] { return finished || t->Suspended(); }, 60s)) << "the run stalled";
        if (!finished) watchdog.Guard("Resume after a pause in a hand-over", [&] { t->Resume(); });
      }
      ++finishedFirstTime;
    } else {
      ui.PumpUntil([] { return false; }, micros(1500));
      if (ending == TerminatePaused || ending == DestroyPaused)
        watchdog.Guard("Suspend before the end", [&] { t->Suspend(); });
      if (ending == TerminateRunning || ending == TerminatePaused) {
        t->Terminate();
        watchdog.Guard("WaitFor", [&] { t->WaitFor(); });
        EXPECT_TRUE(t->Ended());
      }
      watchdog.Guard("destroying the run", [&] { t.reset(); });
      const auto held = p.Snapshot();
      const int before = rows;
      ui.PumpUntil([] { return false; }, 300us);  // closures still queued find the run gone
      EXPECT_EQ(rows, before) << "a hand-over after the end";
      EXPECT_TRUE(p.Snapshot() == held) << "the files or the picture changed after the end";
      // Taken up again at the stored position, as a stored project continues.
      if (!finished) {
        DirectDispatcher direct;
        TRechenThread again(direct, workers);
        p.Prepare(again);
        again.Resume();
        watchdog.Guard("WaitFor of the continued run", [&] { again.WaitFor(); });
      }
    }
    t.reset();
    ASSERT_TRUE(p.Snapshot() == expected) << "the run ended with other bytes";
  }
  std::printf("[ stress   ] %d cycles, %d finished without a stop\n", cycles, finishedFirstTime);
}
