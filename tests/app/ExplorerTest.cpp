// Views of the AB-plane: the explorer's, its gestures and history, and the progressive passes;
// and choosing a new region over a picture: the region and picture size a selection gives, what
// is refused, the track bars, the display's zoom and outline, dragging, and the resampled preview.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numbers>
#include <thread>
#include <tuple>
#include <vector>

#include "app/ExplorerPasses.h"
#include "app/ExplorerView.h"
#include "app/RegionGeometry.h"
#include "core/ColorMapping.h"
#include "core/CalcParams.h"
#include "core/Kernels.h"
#include "core/UserMap.h"

using namespace vantorel;

namespace {

const RegionFrame kDefault{3.959, 1.189, 0.0132, 0.0105, 0};
const RegionFrame kRegions[] = {
    {3.959, 1.189, 0.0132, 0.0105, 0},  // the default project
    {3, 3, 2, 2, 0},                    // the classic logistic region
    {3.5, 2.8, 0.4, 0.3, 0.7},          // rotated
    {-1, 2, 8, 6, -2.5},
};

void ExpectNear(ABPoint a, ABPoint b, double tolerance) {
  EXPECT_NEAR(a.A, b.A, tolerance);
  EXPECT_NEAR(a.B, b.B, tolerance);
}

}  // namespace

TEST(ExplorerView, PixelsAreThePointsOfAProjectPictureOfTheSameRegion) {
  for (const RegionFrame& r : kRegions) {
    TCalcParams p = DefaultCalcParams();
    p.PictureWidth = 160, p.PictureHeight = 120;
    p.CenterX = r.CenterX, p.CenterY = r.CenterY, p.Angle = r.Angle;
    p.Width = r.Width, p.Height = r.Width * 120 / 160;  // square pixels
    const ExplorerView v({p.CenterX, p.CenterY, p.Width, p.Height, p.Angle}, 160, 120);
    const PixelMapping m(p);
    const double tolerance = r.Width * 1e-12;
    for (const auto& [i, row] : {std::pair{0, 0}, {159, 0}, {37, 119}, {80, 60}}) {
      ABPoint want;
      m.MapPixel(i, 120 - row, want.A, want.B);
      ExpectNear(v.ToAB({double(i), double(row)}), want, tolerance);
      const PixelPoint back = v.ToPixel(want);
      EXPECT_NEAR(back.X, i, 1e-9);
      EXPECT_NEAR(back.Y, row, 1e-9);
    }
  }
}

TEST(ExplorerView, GesturesKeepThePointUnderTheCursor) {
  struct Case {
    const char* name;
    double zoom, turn;
    PixelPoint at;
  };
  const Case cases[] = {
      {"wheel in", 1.25, 0, {10, 20}}, {"wheel out", 0.8, 0, {300, 5}}, {"deep in", 1000, 0, {123.5, 77.25}},
      {"turn", 1, 0.3, {100, 50}},     {"turn back", 1, -2, {0, 199}},
  };
  for (const RegionFrame& r : kRegions) {
    ExplorerView pan(r, 320, 200);  // a pan moves the picture with the hand
    const ABPoint grabbed = pan.ToAB({50, 60});
    ASSERT_TRUE(pan.Pan(30, -12));
    ExpectNear(pan.ToAB({80, 48}), grabbed, r.Width * 1e-12);
    for (const Case& c : cases) {
      ExplorerView v(r, 320, 200);
      const ABPoint before = v.ToAB(c.at);
      ASSERT_TRUE(c.turn == 0 ? v.ZoomAbout(c.at, c.zoom) : v.RotateAbout(c.at, c.turn)) << c.name;
      ExpectNear(v.ToAB(c.at), before, r.Width * 1e-12);
      EXPECT_NEAR(v.Region().Width, r.Width == 0 ? 0 : ExplorerView(r, 320, 200).Region().Width / c.zoom,
                  r.Width * 1e-12)
          << c.name;
    }
  }
}

TEST(ExplorerView, ARubberBandFillsTheWindow) {
  ExplorerView v({3, 3, 2, 2, 0}, 200, 200);            // 0,01 per pixel
  ASSERT_TRUE(v.ZoomToRectangle({150, 20}, {50, 70}));  // 100 x 50 pixels about (100, 45)
  EXPECT_NEAR(v.Region().CenterX, 3, 1e-12);
  EXPECT_NEAR(v.Region().CenterY, 3.55, 1e-12);
  EXPECT_NEAR(v.Region().Width, 1, 1e-12);
  EXPECT_FALSE(v.ZoomToRectangle({10, 10}, {12, 80}));  // too narrow
  EXPECT_NEAR(v.Region().Width, 1, 1e-12);
}

TEST(ExplorerView, RefusesRegionsBeyondDoublePrecision) {
  ExplorerView v({3, 3, 2, 2, 0}, 100, 100);
  int notches = 0;
  while (v.ZoomAbout({50, 50}, 1.25) && notches < 1000) ++notches;
  EXPECT_GT(notches, 100);
  EXPECT_LT(notches, 1000);
  const ExplorerView deepest = v;
  EXPECT_FALSE(v.ZoomAbout({50, 50}, 1.25));
  EXPECT_EQ(v, deepest);
  EXPECT_FALSE(v.ZoomAbout({50, 50}, 0.0));
  EXPECT_FALSE(ExplorerView({3, 3, 2, 2, 0}, 100, 100).ZoomAbout({0, 0}, 1e-9));  // too large
}

// The region fits into the window with square pixels; resizing keeps its centre and scale.
TEST(ExplorerView, FitsAndResizesKeepingCentreAndScaleAndThePixelMapFollowsTheGesture) {
  const ExplorerView tall({3, 3, 2, 2, 0}, 100, 200);
  EXPECT_TRUE(tall.Region().Width == 2 && tall.Region().Height == 4);
  ExplorerView v({3, 3, 2, 2, 0.4}, 200, 100);
  EXPECT_TRUE(v.Region().Width == 4 && v.Region().Height == 2);
  v.Resize(300, 50);
  EXPECT_DOUBLE_EQ(v.Region().Width, 6);
  EXPECT_DOUBLE_EQ(v.Region().Height, 1);
  EXPECT_DOUBLE_EQ(v.Region().CenterX, 3);
  ExplorerView next = v;
  next.ZoomAbout({10, 10}, 2);
  next.RotateAbout({200, 30}, 0.5);
  const auto m = v.PixelMapTo(next);
  for (const PixelPoint p : {PixelPoint{0, 0}, {299, 49}, {120.5, 7}}) {
    const PixelPoint q{m[0] * p.X + m[1] * p.Y + m[2], m[3] * p.X + m[4] * p.Y + m[5]};
    ExpectNear(next.ToAB(q), v.ToAB(p), 1e-12);
  }
}

TEST(ExplorerHistory, GoesBackAndForwardAndForgetsTheForwardViewsOnANewOne) {
  ExplorerView v({3, 3, 2, 2, 0}, 100, 100);
  ExplorerHistory h(v);
  std::vector<ExplorerView> views{v};
  for (int i = 0; i < 4; ++i) {
    v.ZoomAbout({10, 10}, 1.25);
    h.Push(v);
    views.push_back(v);
  }
  h.Push(v);  // the same view again: no entry
  EXPECT_EQ(h.Size(), 5u);
  EXPECT_FALSE(h.CanGoForward());
  ASSERT_TRUE(h.Back() && h.Back());
  EXPECT_EQ(h.Current(), views[2]);
  ASSERT_TRUE(h.Forward());
  EXPECT_EQ(h.Current(), views[3]);
  EXPECT_EQ(h.Recent(3), (std::vector<size_t>{4, 3, 2}));
  ASSERT_TRUE(h.GoTo(1));
  EXPECT_EQ(h.Current(), views[1]);
  ExplorerView other = h.Current();
  other.Pan(5, 5);
  h.Push(other);
  EXPECT_EQ(h.Size(), 3u);
  EXPECT_FALSE(h.CanGoForward());
  EXPECT_FALSE(h.GoTo(3));
  while (h.Back()) {
  }
  EXPECT_EQ(h.Current(), views[0]);
  EXPECT_FALSE(h.Back());
  for (size_t i = 0; i < ExplorerHistory::kCapacity + 10; ++i) {
    other.Pan(1, 0);
    h.Push(other);
  }
  EXPECT_EQ(h.Size(), ExplorerHistory::kCapacity);
  EXPECT_EQ(h.Current(), other);
}

TEST(ExplorerPasses, EveryPixelIsComputedByExactlyOnePass) {
  for (const auto& [w, h] : {std::pair{37, 23}, {8, 8}, {1, 1}, {64, 3}}) {
    std::vector<int> count(size_t(w) * h, 0);
    for (int step : kExplorerSteps)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) count[size_t(y) * w + x] += PassComputes(step, x, y);
    for (int c : count) ASSERT_EQ(c, 1) << w << " x " << h;
  }
  EXPECT_TRUE(PassComputes(8, 16, 8));
  EXPECT_FALSE(PassComputes(4, 16, 8));
  EXPECT_TRUE(PassComputes(4, 4, 8));
  EXPECT_FALSE(PassComputes(kSupersampleStep, 0, 0));
}

namespace {

// Collects the passes handed over.
struct Collector {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<std::shared_ptr<const ExplorerPass>> passes;
  void Add(std::shared_ptr<const ExplorerPass> p) {
    std::lock_guard lk(mu);
    passes.push_back(std::move(p));
    cv.notify_all();
  }
  bool WaitForLast(uint64_t generation) {
    std::unique_lock lk(mu);
    return cv.wait_for(lk, std::chrono::seconds(60), [&] {
      return !passes.empty() && passes.back()->Generation == generation && passes.back()->Last;
    });
  }
};

TCalcParams Logistic(int iterations) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 0, p.Iterations = iterations, p.CalmDownIterations = iterations / 2;
  p.SetSequence(ReadSequence("AB"));
  return p;
}

}  // namespace

TEST(ExplorerPasses, PassesRefineToThePixelsTheKernelComputes) {
  for (const bool user : {false, true}) {
    TCalcParams p = Logistic(40);
    if (user) {
      p.FixedFormula = -1;
      p.SetFormula("AB*X*(1-X)");
    }
    ExplorerPasses passes(2);
    Collector got;
    passes.SetPassHandler([&](std::shared_ptr<const ExplorerPass> pass) { got.Add(std::move(pass)); });
    passes.SetProject(p, false);
    const ExplorerView view({3, 3, 2, 2, 0.2}, 21, 13);
    const uint64_t g = passes.Start(view, true);
    ASSERT_TRUE(got.WaitForLast(g));
    ASSERT_EQ(got.passes.size(), 5u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(got.passes[i]->Step, kExplorerSteps[i]);
    EXPECT_EQ(got.passes[4]->Step, kSupersampleStep);

    const KernelParams kp = KernelParamsFrom(p);
    const std::shared_ptr<const UserMapFactory> factory = user ? PrepareUserMap(p) : nullptr;
    const std::unique_ptr<IUserMap> userMap = user ? factory->Create() : nullptr;
    const PixelKernel kernel(kp, userMap.get());
    const ExplorerPass& full = *got.passes[3];
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 21; ++x) {
        const ABPoint a = view.ToAB({double(x), double(y)});
        PixelResult r;
        ASSERT_TRUE(kernel.Compute(PixelInput{a.A, a.B}, r));
        const size_t i = size_t(y) * 21 + x;
        EXPECT_FLOAT_EQ(full.Exponents[i], float(r.E)) << x << ", " << y;
        const uint32_t bgr = ColorForExponent(p.ColorList, p.BelowColor, p.AboveColor, r.E);
        // The vector kernels' exponent differs from the scalar one only by rounding, which may
        // move a channel by one.
        const uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | (bgr >> 16);
        for (int shift : {0, 8, 16})
          EXPECT_NEAR(int((full.Pixels[i] >> shift) & 0xFF), int((rgb >> shift) & 0xFF), 1) << x << ", " << y;
        // The coarse pass shows the pixel of its grid up and to the left.
        const ExplorerPass& coarse = *got.passes[0];
        EXPECT_EQ(coarse.Pixels[i], full.Pixels[size_t(y - y % 8) * 21 + (x - x % 8)]);
      }
  }
}

TEST(ExplorerPasses, ANewViewCancelsTheRunningPassAndNothingOfTheOldViewArrives) {
  ExplorerPasses passes(2);
  Collector got;
  passes.SetPassHandler([&](std::shared_ptr<const ExplorerPass> pass) { got.Add(std::move(pass)); });
  passes.SetProject(Logistic(20000000), true);  // seconds for the first pass
  const ExplorerView view({3, 3, 2, 2, 0}, 64, 48);
  const uint64_t old = passes.Start(view, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_TRUE(passes.Busy());
  const uint64_t g = passes.Start(view, false);  // cancels at once
  EXPECT_GT(g, old);
  passes.SetProject(Logistic(20), true);  // cancels and waits for the threads
  EXPECT_EQ(passes.CancelledPasses(), 1);
  EXPECT_FALSE(passes.Busy());
  const uint64_t last = passes.Start(view, false);
  ASSERT_TRUE(got.WaitForLast(last));
  for (const auto& pass : got.passes) EXPECT_EQ(pass->Generation, last);
  EXPECT_EQ(got.passes.size(), 4u);
}

TEST(RegionGeometry, SelectionsGiveRegionsOfAboutTheOldPixelCountOrAreRefused) {
  const double pi = std::numbers::pi;
  struct Case {
    RegionSelection selection;
    int width, height;  // 0: refused
  };
  const Case cases[] = {
      {{}, 194, 154},                  // unchanged: the same size
      {{0, 0, 0, 2.25, 1}, 291, 103},  // 2,25 times as wide: ratio 2,25 times the old one
      {{0.01, -0.005, pi / 2, 1, 1}, 194, 154},
      {{0, 0, 0, 0, 1}, 0, 0},             // no width
      {{0, 0, 0, std::nan(""), 1}, 0, 0},  // not a number
      {{0, 0, 0, 1, 1e-9}, 0, 0},          // a picture of millions by a few pixels
  };
  for (const Case& c : cases) {
    const RegionChoice choice = AcceptSelection(kDefault, c.selection, 194, 154);
    ASSERT_EQ(choice.Accepted.has_value(), c.width != 0) << choice.Problem;
    if (!choice.Accepted) {
      EXPECT_FALSE(choice.Problem.empty());
      continue;
    }
    EXPECT_EQ(choice.Accepted->Width, c.width);
    EXPECT_EQ(choice.Accepted->Height, c.height);
  }
  // The centre moves along the rotated picture axes (y downwards); the angle adds up.
  const RegionFrame turned{1, 2, 4, 2, pi / 2};
  const RegionFrame r = SelectedRegion(turned, {1, 0.5, 0.25, 2, 0.5});
  EXPECT_NEAR(r.CenterX, 1 + 0.5, 1e-15);
  EXPECT_NEAR(r.CenterY, 2 + 1, 1e-15);
  EXPECT_EQ(r.Width, 8);
  EXPECT_EQ(r.Height, 1);
  EXPECT_EQ(r.Angle, pi / 2 + 0.25);
}

TEST(RegionGeometry, TrackBarsAndStatusNumbers) {
  EXPECT_EQ(ScaleFromTrackBar1(150), 2.25);
  EXPECT_EQ(ScaleFromTrackBar2(150), 0.25);
  for (int p : {-180, -37, 0, 150, 180}) {
    EXPECT_EQ(ResizeTrackBar1(ScaleFromTrackBar1(p)), p);
    EXPECT_EQ(ResizeTrackBar2(ScaleFromTrackBar2(p)), p);
  }
  EXPECT_DOUBLE_EQ(ScaleFromTrackBar1(-180), kMinSelectionScale);
  EXPECT_DOUBLE_EQ(ScaleFromTrackBar1(180), kMaxSelectionScale);
  for (const auto& [v, text] : {std::pair{3.959, "3,959"},
                                {0.0132, "0,0132"},
                                {1.0 / 3, "0,33333333"},
                                {1e-7, "1E-7"},
                                {-2.5e20, "-2,5E20"},
                                {90.0, "90"}})
    EXPECT_EQ(ShortNumberText(v), text);
}

TEST(RegionGeometry, DisplayZoomOutlineAndDragging) {
  // 194 x 154 picture: 403/154 < 601/194, so the picture fills half the display's height.
  RegionView view(194, 154, kDefault);
  EXPECT_DOUBLE_EQ(view.Scale(), 403.0 / 154 / 2);
  const auto outline = view.Outline({});
  EXPECT_EQ(outline[0], (DisplayPoint{301 + 127, 202 + 101}));  // half of 194 and 154 times the scale
  EXPECT_EQ(outline[2], (DisplayPoint{301 - 127, 202 - 101}));
  EXPECT_EQ(outline[4], outline[0]);
  const DisplayRect target = view.Target();
  EXPECT_EQ(target, (DisplayRect{301 - 127, 202 - 101, 301 + 127, 202 + 101}));
  // Zoom: level -5 .. 10, scale x 1,5 each step, offset of the centre x 1,25.
  view.MovePicture(40, -20);
  view.ZoomIn();
  EXPECT_EQ(view.Centre(), (DisplayPoint{351, 177}));
  for (int i = 0; i < 20; ++i) view.ZoomIn();
  EXPECT_EQ(view.Level(), 10);
  EXPECT_TRUE(view.CopiesVisiblePart());
  for (int i = 0; i < 30; ++i) view.ZoomOut();
  EXPECT_EQ(view.Level(), -5);
  view.InitialZoom();
  EXPECT_EQ(view.Level(), 0);
  EXPECT_EQ(view.Centre(), RegionView::kHome);
  for (int i = 0; i < 4; ++i) view.ZoomIn();
  EXPECT_TRUE(view.CopiesVisiblePart());  // from level 4 only the visible part is copied
  const DisplayRect source = view.Source();
  EXPECT_EQ((source.Left + source.Right) / 2, 97);
  // Dragging beyond the picture stops one region width and height from the old centre.
  RegionSelection s;
  view.MoveSelection(s, 100000, -100000);
  EXPECT_EQ(s.Dx, kDefault.Width);
  EXPECT_EQ(s.Dy, -kDefault.Height);
  RegionView::RotateSelection(s, 200);  // -200 degrees wraps to 160
  EXPECT_NEAR(s.Rot, 160 * std::numbers::pi / 180, 1e-12);
}

TEST(RegionGeometry, PreviewCutsTheNewRegionFromTheOldPicture) {
  // A 100 x 100 picture, left half red and right half blue (rows of red, green, blue bytes).
  const int n = 100;
  std::vector<uint8_t> old(static_cast<size_t>(n) * n * 3);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) old[static_cast<size_t>((y * n + x) * 3 + (x < n / 2 ? 0 : 2))] = 255;
  const RegionFrame region{0, 0, 1, 1, 0};
  auto colourAt = [&](const RegionSelection& sel, int x, int y) {
    std::vector<uint8_t> fresh(static_cast<size_t>(n) * n * 3, 255);  // white, as initialised
    RegionPreview(old.data(), n, n, n * 3, region, sel).Fill(fresh.data(), n, n, n * 3);
    const uint8_t* p = &fresh[static_cast<size_t>((y * n + x) * 3)];
    return (p[0] << 16) | (p[1] << 8) | p[2];
  };
  const int red = 0xFF0000, blue = 0x0000FF;
  const RegionSelection same{}, halfTurn{0, 0, std::numbers::pi, 1, 1}, moved{0.5, 0, 0, 1, 1};
  // Turned by a half turn, left and right change places; moved half a width to the right, the
  // right part of the new region lies outside: black.
  const std::tuple<RegionSelection, int, int> rows[] = {{same, 10, red},     {same, 90, blue},  {halfTurn, 10, blue},
                                                        {halfTurn, 90, red}, {moved, 10, blue}, {moved, 90, 0}};
  for (const auto& [selection, x, colour] : rows) EXPECT_EQ(colourAt(selection, x, 50), colour) << x;
}
