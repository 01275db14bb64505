#include "app/ExplorerView.h"

#include "core/CalcParams.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

// The smallest units per pixel: neighbouring pixels must stay some 64 steps of a double apart
// at the centre, the largest region is a million units wide.
constexpr double kFinestPixel = 0x1p-46;
constexpr double kLargestWidth = 1e6;

}  // namespace

ExplorerView::ExplorerView(const RegionFrame& region, int width, int height)
    : region_(region), width_(std::max(width, 1)), height_(std::max(height, 1)) {
  const double w = std::fabs(region.Width), h = std::fabs(region.Height);
  const double unit = std::max(w / width_, h / height_);
  region_.Width = unit * width_;
  region_.Height = unit * height_;
}

ABPoint ExplorerView::ToAB(PixelPoint p) const {
  const double unit = UnitsPerPixel();
  const double u = p.X * unit - region_.Width / 2, v = (height_ - p.Y) * unit - region_.Height / 2;
  const double c = std::cos(region_.Angle), s = std::sin(region_.Angle);
  return {region_.CenterX + u * c - v * s, region_.CenterY + v * c + u * s};
}

PixelPoint ExplorerView::ToPixel(ABPoint a) const {
  const double unit = UnitsPerPixel();
  const double c = std::cos(region_.Angle), s = std::sin(region_.Angle);
  const double da = a.A - region_.CenterX, db = a.B - region_.CenterY;
  const double u = da * c + db * s, v = db * c - da * s;
  return {(u + region_.Width / 2) / unit, height_ - (v + region_.Height / 2) / unit};
}

bool ExplorerView::Accept(const RegionFrame& r) {
  const double unit = r.Width / width_;
  const double size = std::max({std::fabs(r.CenterX), std::fabs(r.CenterY), 1.0});
  if (!std::isfinite(r.CenterX) || !std::isfinite(r.CenterY) || !std::isfinite(r.Angle) ||
      !(unit > size * kFinestPixel) || !(r.Width <= kLargestWidth) || !(r.Height <= kLargestWidth))
    return false;
  region_ = r;
  return true;
}

bool ExplorerView::ZoomAbout(PixelPoint p, double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return false;
  const ABPoint fixed = ToAB(p);
  RegionFrame r = region_;
  r.CenterX = fixed.A + (r.CenterX - fixed.A) / factor;
  r.CenterY = fixed.B + (r.CenterY - fixed.B) / factor;
  r.Width /= factor;
  r.Height /= factor;
  return Accept(r);
}

bool ExplorerView::Pan(double dx, double dy) {
  const ABPoint c = ToAB({width_ / 2.0 - dx, height_ / 2.0 - dy});
  RegionFrame r = region_;
  r.CenterX = c.A;
  r.CenterY = c.B;
  return Accept(r);
}

bool ExplorerView::RotateAbout(PixelPoint p, double radians) {
  const ABPoint fixed = ToAB(p);
  const double c = std::cos(radians), s = std::sin(radians);
  const double da = region_.CenterX - fixed.A, db = region_.CenterY - fixed.B;
  RegionFrame r = region_;
  r.CenterX = fixed.A + da * c - db * s;
  r.CenterY = fixed.B + db * c + da * s;
  r.Angle = std::remainder(r.Angle + radians, 2 * kPi);
  return Accept(r);
}

bool ExplorerView::ZoomToRectangle(PixelPoint from, PixelPoint to) {
  const double w = std::fabs(to.X - from.X), h = std::fabs(to.Y - from.Y);
  if (w < 3 || h < 3) return false;
  const ABPoint c = ToAB({(from.X + to.X) / 2, (from.Y + to.Y) / 2});
  const double scale = std::max(w / width_, h / height_);
  RegionFrame r = region_;
  r.CenterX = c.A;
  r.CenterY = c.B;
  r.Width *= scale;
  r.Height *= scale;
  return Accept(r);
}

void ExplorerView::Resize(int width, int height) {
  const double unit = UnitsPerPixel();
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  region_.Width = unit * width_;
  region_.Height = unit * height_;
}

std::array<double, 6> ExplorerView::PixelMapTo(const ExplorerView& other) const {
  const PixelPoint o = other.ToPixel(ToAB({0, 0}));
  const PixelPoint x = other.ToPixel(ToAB({1, 0}));
  const PixelPoint y = other.ToPixel(ToAB({0, 1}));
  return {x.X - o.X, y.X - o.X, o.X, x.Y - o.Y, y.Y - o.Y, o.Y};
}

bool ExplorerView::operator==(const ExplorerView& o) const {
  return width_ == o.width_ && height_ == o.height_ && region_.CenterX == o.region_.CenterX &&
         region_.CenterY == o.region_.CenterY && region_.Width == o.region_.Width &&
         region_.Height == o.region_.Height && region_.Angle == o.region_.Angle;
}

void ExplorerHistory::Push(const ExplorerView& view) {
  if (view == views_[index_]) return;
  views_.resize(index_ + 1);
  views_.push_back(view);
  if (views_.size() > kCapacity) views_.erase(views_.begin());
  index_ = views_.size() - 1;
}

bool ExplorerHistory::Back() {
  if (!CanGoBack()) return false;
  --index_;
  return true;
}

bool ExplorerHistory::Forward() {
  if (!CanGoForward()) return false;
  ++index_;
  return true;
}

std::vector<size_t> ExplorerHistory::Recent(size_t count) const {
  std::vector<size_t> out;
  for (size_t i = views_.size(); i-- > 0 && out.size() < count;) out.push_back(i);
  return out;
}

bool ExplorerHistory::GoTo(size_t index) {
  if (index >= views_.size()) return false;
  index_ = index;
  return true;
}

}  // namespace vantorel
