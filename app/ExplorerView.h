// The explorer's view of the AB-plane: a region (centre, width, height, angle) shown on a
// window of device pixels, the gestures that change it, and the history of views.
//
// Pixel coordinates are continuous, x to the right and y downwards; the integer point (i, r)
// is the point that a project picture of the same region and size computes for column i and
// row r. Pixels are square: the units per pixel are the same along both axes.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "app/RegionGeometry.h"

namespace vantorel {

struct ABPoint {
  double A = 0, B = 0;
};
struct PixelPoint {
  double X = 0, Y = 0;
};

class ExplorerView {
 public:
  ExplorerView() = default;
  // The region fitted into a window of width x height pixels (at least 1 x 1): the same centre
  // and angle, the whole region visible, square pixels.
  ExplorerView(const RegionFrame& region, int width, int height);

  const RegionFrame& Region() const { return region_; }
  int PixelWidth() const { return width_; }
  int PixelHeight() const { return height_; }
  double UnitsPerPixel() const { return region_.Width / width_; }

  ABPoint ToAB(PixelPoint p) const;
  PixelPoint ToPixel(ABPoint a) const;

  // The gestures. Each gives the new view, or false (and leaves the view alone) when the new
  // region would be too small for double precision or absurdly large.
  // factor > 1 zooms in; the point under (x, y) stays where it is.
  bool ZoomAbout(PixelPoint p, double factor);
  // The picture follows a drag of (dx, dy) pixels.
  bool Pan(double dx, double dy);
  // Turns the region by radians (counter-clockwise) about the point under p, which stays.
  bool RotateAbout(PixelPoint p, double radians);
  // The rectangle between two pixel points fills the window (its longer side fitted); a
  // rectangle narrower than 3 pixels is refused.
  bool ZoomToRectangle(PixelPoint from, PixelPoint to);
  // A new window size: the centre and the units per pixel stay.
  void Resize(int width, int height);

  // The affine map from this view's pixels to other's pixels (where a point of the AB-plane
  // shown here is shown there): x' = m[0] x + m[1] y + m[2], y' = m[3] x + m[4] y + m[5].
  std::array<double, 6> PixelMapTo(const ExplorerView& other) const;

  bool operator==(const ExplorerView&) const;

 private:
  bool Accept(const RegionFrame& r);
  RegionFrame region_;
  int width_ = 1, height_ = 1;
};

// Back and forward through the views shown: every view pushed becomes the newest entry after
// the current one (the entries forward of it are dropped); at most kCapacity entries.
class ExplorerHistory {
 public:
  static constexpr size_t kCapacity = 200;
  explicit ExplorerHistory(const ExplorerView& first) : views_{first} {}

  const ExplorerView& Current() const { return views_[index_]; }
  // A view equal to the current one is not pushed again.
  void Push(const ExplorerView& view);
  bool CanGoBack() const { return index_ > 0; }
  bool CanGoForward() const { return index_ + 1 < views_.size(); }
  bool Back();
  bool Forward();
  // The window was resized: the current entry takes the new size, the others keep theirs
  // and are resized when they come back.
  void ResizeCurrent(int width, int height) { views_[index_].Resize(width, height); }

  // The entries newest first, at most count of them, as indices for GoTo.
  std::vector<size_t> Recent(size_t count) const;
  const ExplorerView& At(size_t index) const { return views_[index]; }
  bool GoTo(size_t index);
  size_t Index() const { return index_; }
  size_t Size() const { return views_.size(); }

 private:
  std::vector<ExplorerView> views_;
  size_t index_ = 0;
};

}  // namespace vantorel
