// The arithmetic of choosing a new region over a picture: the selection (offset, rotation and
// scales relative to the region), the display of the picture with its zoom levels, the outline
// of the selection, the new region and picture size it gives, and the preview of the new
// picture resampled from the old one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantorel {

// A region of the AB-plane: centre, width, height and angle (radians).
struct RegionFrame {
  double CenterX = 0, CenterY = 0, Width = 1, Height = 1, Angle = 0;
};

// The selection relative to a region: the offset of its centre in region units along the
// picture's axes (x to the right, y downwards), its rotation (radians, -pi to pi) and its
// scales on width and height (0,16 to 2,56).
struct RegionSelection {
  double Dx = 0, Dy = 0, Rot = 0, Sx = 1, Sy = 1;
};

constexpr double kMinSelectionScale = 0.16, kMaxSelectionScale = 2.56;

// The region the selection chooses.
RegionFrame SelectedRegion(const RegionFrame& region, const RegionSelection& selection);

// The new region with a picture of about the old pixel count and the new region's ratio.
struct AcceptedRegion {
  RegionFrame Region;
  int Width = 0, Height = 0;
};
// The accepted region, or why it cannot be used (a width or height that is not a positive
// finite number, a picture size outside 10 to 100000).
struct RegionChoice {
  std::optional<AcceptedRegion> Accepted;
  std::string Problem;
};
RegionChoice AcceptSelection(const RegionFrame& region, const RegionSelection& selection, int oldWidth, int oldHeight);

// Track bar positions (-180 to 180) and the selection values they stand for.
int ResizeTrackBar1(double sx);           // round((sqrt(sx) - 1) * 300)
int ResizeTrackBar2(double sy);           // -round((sqrt(sy) - 1) * 300)
double ScaleFromTrackBar1(int position);  // ((position + 300) / 300)^2
// The offset or angle on the track bars' whole steps: one step is full / 180 (full: the region's
// width or height for the offsets, pi for the angle).
double TrackBarStep(double value, double full);
double ScaleFromTrackBar2(int position);  // ((300 - position) / 300)^2

// Numbers of the status texts: general format with 8 significant digits, decimal comma.
std::string ShortNumberText(double v);

struct DisplayPoint {
  int X = 0, Y = 0;
  bool operator==(const DisplayPoint&) const = default;
};
struct DisplayRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const DisplayRect&) const = default;
};

// The display of the picture: 601 x 403 pixels, the picture's centre drawn at Centre, Scale
// display pixels per picture pixel, zoom levels -5 to 10.
class RegionView {
 public:
  static constexpr int kWidth = 601, kHeight = 403;
  static constexpr DisplayPoint kHome{301, 202};

  RegionView() = default;
  RegionView(int pictureWidth, int pictureHeight, const RegionFrame& region);

  void ZoomIn();       // level below 10: scale x 1,5, offset of the centre x 1,25
  void ZoomOut();      // level above -5: scale / 1,5, offset / 1,25
  void InitialZoom();  // as at the start
  void MovePicture(int dx, int dy) {
    centre_.X += dx;
    centre_.Y += dy;
  }

  // The outline of a selection: four corners and the first again.
  std::array<DisplayPoint, 5> Outline(const RegionSelection& s) const;
  // Drawing the picture: above level 3 the visible part of the picture (Source) is stretched
  // onto the whole display; otherwise the whole picture onto Target.
  bool CopiesVisiblePart() const { return level_ > 3; }
  DisplayRect Source() const;
  DisplayRect Target() const;

  // The selection dragged by a mouse move of (dx, dy) display pixels, its centre kept within
  // one region width and height of the region's centre.
  void MoveSelection(RegionSelection& s, int dx, int dy) const;
  // Rotated by a mouse move: one degree per pixel, dragging right turns negative.
  static void RotateSelection(RegionSelection& s, int dx);

  int Level() const { return level_; }
  double Scale() const { return scale_; }
  DisplayPoint Centre() const { return centre_; }

 private:
  int pictureWidth_ = 1, pictureHeight_ = 1;
  RegionFrame region_;
  double initialScale_ = 1, scale_ = 1;
  double unitsX_ = 1, unitsY_ = 1;  // picture pixels per region unit
  int level_ = 0;
  DisplayPoint centre_ = kHome;
};

// The preview of the new picture cut from the old one through two 601 x 601 buffers of
// 0x00BBGGRR colours: the old picture sampled over the extent of the rotated new region, then
// turned by the rotation. Parts outside the old picture are black.
class RegionPreview {
 public:
  static constexpr int kHalf = 300, kSide = 2 * kHalf + 1;

  // oldPixels: rows of 3-byte red, green, blue pixels, stride bytes apart.
  RegionPreview(const uint8_t* oldPixels, int oldWidth, int oldHeight, size_t stride, const RegionFrame& region,
                const RegionSelection& selection);
  // Gives each pixel of the new picture (rows as above) that the buffers cover its colour; after
  // each row, afterRow (when given) hears the row's index.
  void Fill(uint8_t* pixels, int width, int height, size_t stride,
            const std::function<void(int row)>& afterRow = {}) const;
  // Element (i, j) of the turned buffer, i and j from -300 to 300.
  uint32_t At(int i, int j) const { return second_[Index(i, j)]; }

 private:
  void FillRow(uint8_t* pixels, int width, int height, size_t stride, int y, double k) const;
  static size_t Index(int i, int j) { return static_cast<size_t>(j + kHalf) * kSide + static_cast<size_t>(i + kHalf); }
  std::vector<uint32_t> second_;
  double extent_ = 1, newWidth_ = 1, newHeight_ = 1;
};

}  // namespace vantorel
