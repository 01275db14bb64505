// Choosing a new region over a picture: the region and picture size a selection gives, what is
// refused, the track bars, the display's zoom and outline, dragging, and the resampled preview.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "app/RegionGeometry.h"

using namespace vantorel;

namespace {

const RegionFrame kDefault{3.959, 1.189, 0.0132, 0.0105, 0};

}  // namespace

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
  EXPECT_EQ(colourAt({}, 10, 50), red);
  EXPECT_EQ(colourAt({}, 90, 50), blue);
  // Turned by a half turn, left and right change places.
  EXPECT_EQ(colourAt({0, 0, std::numbers::pi, 1, 1}, 10, 50), blue);
  EXPECT_EQ(colourAt({0, 0, std::numbers::pi, 1, 1}, 90, 50), red);
  // Moved half a width to the right: the right part of the new region lies outside: black.
  EXPECT_EQ(colourAt({0.5, 0, 0, 1, 1}, 10, 50), blue);
  EXPECT_EQ(colourAt({0.5, 0, 0, 1, 1}, 90, 50), 0);
}
