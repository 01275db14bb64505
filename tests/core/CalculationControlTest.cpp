// Calculation control without a window: the states and what each enables, the progress and
// remaining-time display, and the selected rectangle.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/CalculationControl.h"

namespace vantorel {
namespace {

using C = CalcControl;

// The enabled controls of a view as a string of their names, for readable comparisons.
std::string Enabled(const CalcView& v) {
  static const char* names[] = {"7", "13", "9", "4", "14", "2", "10", "3", "12", "B6", "it", "smart", "col"};
  std::string s;
  for (int i = 0; i < static_cast<int>(C::Count); ++i)
    if (v.Enabled[static_cast<size_t>(i)]) s += std::string(s.empty() ? "" : " ") + names[i];
  return s;
}

TEST(CalculationControlTest, EachStepShowsItsStateButtonsImageAndHint) {
  struct Step {
    const char* event;
    std::function<bool(CalculationControl&)> act;
    int state, image;
    const char* hint;
    const char* enabled;
  };
  bool selected = false;
  using Text = const char*;
  const Text idle = "7 it smart col", ready = "4 2 10 it smart col", running = "13 9 2 10",
             paused = "13 9 4 2 10 3 12 B6", finished = "13 4 14 2 10 3 12 B6 it smart col",
             more = "derive more iterations", deriving = "13 2 10";
  const Step steps[] = {
      {"created", [](auto&) { return true; }, 0, 0, "start", idle},
      {"start refused before initialise", [](auto& c) { return !c.Start(); }, 0, 0, "start", idle},
      {"initialise", [](auto& c) { return c.Initialise(); }, 0, 0, "start", ready},
      {"edit a setting", [](auto& c) { return c.Changed(), true; }, 0, 0, "start", "13 9 4 2 10 it smart col"},
      {"start", [](auto& c) { return c.Start(); }, 1, 1, "pause", running},
      // Initialise is offered again while the pages differ from the picture's block.
      {"pages differ", [](auto& c) { return c.SetPagesDiffer(true), true; }, 1, 1, "pause", "7 13 9 2 10"},
      {"pages agree", [](auto& c) { return c.SetPagesDiffer(false), true; }, 1, 1, "pause", running},
      {"initialise refused while running", [](auto& c) { return !c.Initialise(); }, 1, 1, "pause", running},
      {"pause", [](auto& c) { return c.Pause(); }, 2, 2, "continue", paused},
      {"pause again refused", [](auto& c) { return !c.Pause(); }, 2, 2, "continue", paused},
      {"initialise refused while paused", [](auto& c) { return !c.Initialise(); }, 2, 2, "continue", paused},
      {"continue", [](auto& c) { return c.Continue(); }, 1, 1, "pause", running},
      {"finish", [&](auto& c) { return c.Finish(selected) && !selected; }, 3, 0, more,
       "13 9 4 14 2 10 3 12 B6 it smart col"},
      {"reset adjustments", [](auto& c) { return c.AdjustmentsReset(), true; }, 3, 0, more, finished},
      {"derive more", [](auto& c) { return c.Start(); }, 4, 1, "pause", deriving},
      {"pause deriving", [](auto& c) { return c.Pause(); }, 5, 2, "continue", "13 4 2 10 3 12 B6"},
      {"recolour while paused", [](auto& c) { return c.SetBusy(true); }, 5, 2, "continue", ""},
      {"continue refused while recolouring", [](auto& c) { return !c.Continue(); }, 5, 2, "continue", ""},
      {"recolouring done", [](auto& c) { return c.SetBusy(false); }, 5, 2, "continue", "13 4 2 10 3 12 B6"},
      {"continue deriving", [](auto& c) { return c.Continue(); }, 4, 1, "pause", deriving},
      {"finish deriving", [&](auto& c) { return c.Finish(selected); }, 3, 0, more, finished},
      {"press area button", [](auto& c) { return c.SetSelecting(true) && c.ChoosingArea(); }, 3, 0, more, finished},
      {"confirm a rectangle", [](auto& c) { return c.StartSelectedArea() && !c.ChoosingArea(); }, 4, 1, "pause",
       deriving},
      {"area button stays down", [](auto& c) { return !c.SetSelecting(false) && c.Selecting(); }, 4, 1, "pause",
       deriving},
      {"finish the area", [&](auto& c) { return c.Finish(selected) && selected && !c.Selecting(); }, 3, 0, more,
       finished},
      {"derive again", [](auto& c) { return c.Start(); }, 4, 1, "pause", deriving},
      {"a data file fails", [](auto& c) { return c.Fail() && c.Live() && !c.Running(); }, 4, 1, "pause", "13 10"},
      {"finish refused after failure", [&](auto& c) { return !c.Finish(selected); }, 4, 1, "pause", "13 10"},
      // The stopped picture stays: it can be recoloured and exported.
      {"stop keeps the state", [](auto& c) { return c.Stop() && !c.Live(); }, 4, 0, "start", "7 3 B6 it smart col"},
      {"area refused after stop", [](auto& c) { return !c.SetSelecting(true); }, 4, 0, "start", "7 3 B6 it smart col"},
      {"initialise again", [](auto& c) { return c.Initialise(); }, 0, 0, "start", ready},
  };
  CalculationControl c;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.event);
    EXPECT_TRUE(s.act(c));
    const CalcView v = c.View();
    EXPECT_EQ(c.State(), s.state);
    EXPECT_EQ(v.Image, s.image);
    EXPECT_EQ(v.Hint, s.hint);
    EXPECT_EQ(Enabled(v), s.enabled);
  }
}

TEST(CalculationControlTest, LoadedInterruptedProjectsContinueWithANewRun) {
  const std::pair<uint8_t, uint8_t> cases[] = {{StateRunning, StateRunning},
                                               {StatePaused, StateRunning},
                                               {StateDeriving, StateDeriving},
                                               {StateDerivingPaused, StateDeriving}};
  for (const auto& [loaded, continued] : cases) {
    SCOPED_TRACE(int(loaded));
    CalculationControl c;
    c.Loaded(loaded);
    EXPECT_EQ(c.View().Hint, "continue");
    EXPECT_FALSE(c.Start());
    EXPECT_TRUE(c.Continue());
    EXPECT_EQ(c.State(), continued);
    EXPECT_TRUE(c.Running());
  }
}

TEST(CalculationControlTest, StatusTextsAndTheirNumbersAndTicksThatSmoothTheRemainingTime) {
  EXPECT_EQ(StateStatusText(StateFinished, 0, 0, 100, 4), "progress: finished");
  EXPECT_EQ(StateStatusText(StatePaused, 0, 1, 100, 4), "progress: 25,00%");  // a recovered or paused run
  EXPECT_EQ(StateStatusText(StateInitialised, 0, 0, 100, 4), "progress: 0,00%");
  EXPECT_EQ(StateStatusText(StateDerivingPaused, 50, 3, 100, 4), "progress: 87,50%");
  // A continued run's first tick measures the speed from where it started: from 50 % to 60 %
  // in one period leaves four periods, 8 s.
  ProgressEstimate e;
  e.StartAt(50);
  EXPECT_EQ(e.Tick(0, 12, 0, 0, 100, 20), "progress: 60,00%  remaining time: 8s");
  // Region 100 x 4 from the start: row 1, column 0 is 25 %.
  e = ProgressEstimate();
  EXPECT_EQ(e.Tick(0, 1, 0, 0, 100, 4), "progress: 25,00%  remaining time: 6s");
  EXPECT_EQ(e.RemainingSeconds(), 6);
  EXPECT_EQ(e.BarPosition(), 2500);
  // 50 % two seconds later: t = 2, round(0.4 + 5.4) = 6.
  EXPECT_EQ(e.Tick(0, 2, 0, 0, 100, 4), "progress: 50,00%  remaining time: 6s");
  // No progress keeps the time text.
  EXPECT_EQ(e.Tick(0, 2, 0, 0, 100, 4), "progress: 50,00%  remaining time: 6s");
  // A region that does not start at the origin: (2 * 9 + 3) / (9 * 4) of a 9 x 4 rectangle.
  ProgressEstimate f;
  EXPECT_EQ(f.Tick(13, 7, 10, 5, 19, 9).substr(0, 18), "progress: 58,33%  ");
  EXPECT_DOUBLE_EQ(ProgressPercent(10, 9, 10, 5, 19, 9), 100.0);
  const std::pair<int64_t, const char*> times[] = {{90061, "1d 1h 1m 1s"}, {3600, "1h 0m 0s"}, {59, "59s"}, {0, "0s"},
                                                   {86400, "1d 0h 0m 0s"}, {61, "1m 1s"}};
  for (const auto& [seconds, text] : times) EXPECT_EQ(RemainingTimeText(seconds), text) << seconds;
  struct Fixed {
    double value;
    int precision;
    const char* text;
  };
  const Fixed fixed[] = {{25, 4, "25,00"},      {12.346, 4, "12,35"}, {1.23456, 4, "1,23"}, {100, 4, "100,00"},
                         {99.999, 4, "100,00"}, {25.678, 3, "25,70"}, {5.678, 3, "5,68"},   {0, 3, "0,00"}};
  for (const Fixed& f : fixed) EXPECT_EQ(FixedPrecisionText(f.value, f.precision, 2), f.text) << f.value;
}

TEST(CalculationControlTest, DraggedRectanglesAreNormalisedAndCut) {
  struct Case {
    int x0, y0, x1, y1;
    std::optional<PictureRegion> region;
  };
  const Case cases[] = {
      {20, 30, 30, 35, PictureRegion{20, 30, 29, 34}},  // 10 x 5 drag: 9 columns, 4 rows
      {30, 35, 20, 30, PictureRegion{20, 30, 29, 34}},  // dragged up and left
      {30, 30, 20, 35, PictureRegion{20, 30, 29, 34}},
      {90, 40, 200, 70, PictureRegion{90, 40, 100, 50}},  // cut at the picture's edges (100 x 50)
      {-5, -5, 4, 4, PictureRegion{0, 0, 3, 3}},
      {20, 30, 21, 40, std::nullopt},    // one column wide: nothing to compute
      {20, 30, 20, 30, std::nullopt},    // a click
      {150, 10, 160, 20, std::nullopt},  // beside the picture
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x0) + "," + std::to_string(c.y0) + " -> " + std::to_string(c.x1) + "," +
                 std::to_string(c.y1));
    EXPECT_EQ(SelectedRegion(c.x0, c.y0, c.x1, c.y1, 100, 50), c.region);
  }
  EXPECT_EQ(PictureBytes(100000, 100000), 30000000000ull);  // past 32 bits
  EXPECT_EQ(PictureBytes(10, 1), 32u);                      // rows padded to 4 bytes
}

}  // namespace
}  // namespace vantorel
