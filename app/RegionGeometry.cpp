#include "app/RegionGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace vantorel {

namespace {

constexpr int kMinPictureSize = 10, kMaxPictureSize = 100000;
constexpr double kPi = std::numbers::pi;

int Round(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

RegionFrame SelectedRegion(const RegionFrame& r, const RegionSelection& s) {
  const double c = std::cos(r.Angle), sn = std::sin(r.Angle);
  return {r.CenterX + c * s.Dx + sn * s.Dy, r.CenterY - c * s.Dy + sn * s.Dx, r.Width * s.Sx, r.Height * s.Sy,
          r.Angle + s.Rot};
}

RegionChoice AcceptSelection(const RegionFrame& region, const RegionSelection& selection, int oldWidth, int oldHeight) {
  RegionChoice choice;
  const RegionFrame r = SelectedRegion(region, selection);
  const bool finite = std::isfinite(r.CenterX) && std::isfinite(r.CenterY) && std::isfinite(r.Angle);
  if (!finite || !std::isfinite(r.Width) || !std::isfinite(r.Height) || !(r.Width > 0) || !(r.Height > 0)) {
    choice.Problem = "The chosen region cannot be used: its width and height must be positive numbers.";
    return choice;
  }
  const double pixels = static_cast<double>(oldWidth) * oldHeight;
  const double ratio = r.Height / r.Width;
  const double w = std::nearbyint(std::sqrt(pixels / ratio)), h = std::nearbyint(std::sqrt(pixels * ratio));
  if (!(w >= kMinPictureSize && w <= kMaxPictureSize && h >= kMinPictureSize && h <= kMaxPictureSize)) {
    choice.Problem = "The chosen region would need a picture of " + ShortNumberText(w) + " x " + ShortNumberText(h) +
                     " pixels; both sides must lie between 10 and 100000.";
    return choice;
  }
  choice.Accepted = AcceptedRegion{r, static_cast<int>(w), static_cast<int>(h)};
  return choice;
}

int ResizeTrackBar1(double sx) { return Round((std::sqrt(sx) - 1) * 300); }
int ResizeTrackBar2(double sy) { return -Round((std::sqrt(sy) - 1) * 300); }
double ScaleFromTrackBar1(int position) { return std::pow((position + 300) / 300.0, 2); }

double TrackBarStep(double value, double full) { return full > 0 ? Round(180 * value / full) * full / 180 : value; }
double ScaleFromTrackBar2(int position) { return std::pow((300 - position) / 300.0, 2); }

std::string ShortNumberText(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.8G", v);
  std::string s(buffer);
  std::replace(s.begin(), s.end(), '.', ',');
  // "1,5E+020" style exponents are written "1,5E20", "1E-05" as "1E-5".
  if (const size_t e = s.find('E'); e != std::string::npos) {
    std::string mantissa = s.substr(0, e), exponent = s.substr(e + 1);
    const bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.erase(0, 1);
    exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
    s = mantissa + "E" + (negative ? "-" : "") + exponent;
  }
  return s;
}

RegionView::RegionView(int pictureWidth, int pictureHeight, const RegionFrame& region)
    : pictureWidth_(std::max(pictureWidth, 1)), pictureHeight_(std::max(pictureHeight, 1)), region_(region) {
  const double w = pictureWidth_, h = pictureHeight_;
  initialScale_ = (w * kHeight <= h * kWidth ? kHeight / h : kWidth / w) / 2;
  unitsX_ = w / region.Width;
  unitsY_ = h / region.Height;
  InitialZoom();
}

void RegionView::ZoomIn() {
  if (level_ >= 10) return;
  scale_ *= 1.5;
  centre_ = {kHome.X + Round((centre_.X - kHome.X) * 1.25), kHome.Y + Round((centre_.Y - kHome.Y) * 1.25)};
  ++level_;
}

void RegionView::ZoomOut() {
  if (level_ <= -5) return;
  scale_ /= 1.5;
  centre_ = {kHome.X + Round((centre_.X - kHome.X) / 1.25), kHome.Y + Round((centre_.Y - kHome.Y) / 1.25)};
  --level_;
}

void RegionView::InitialZoom() {
  scale_ = initialScale_;
  level_ = 0;
  centre_ = kHome;
}

std::array<DisplayPoint, 5> RegionView::Outline(const RegionSelection& s) const {
  const double kx = unitsX_ * scale_, ky = unitsY_ * scale_;
  const double c = std::cos(s.Rot), sn = std::sin(s.Rot);
  const double hw = region_.Width * s.Sx / 2, hh = region_.Height * s.Sy / 2;
  const double corners[4][2] = {{hw, hh}, {hw, -hh}, {-hw, -hh}, {-hw, hh}};
  std::array<DisplayPoint, 5> outline;
  for (int k = 0; k < 4; ++k) {
    const double u = corners[k][0], v = corners[k][1];
    outline[static_cast<size_t>(k)] = {Round((s.Dx + u * c + v * sn) * kx) + centre_.X,
                                       Round((s.Dy + v * c - u * sn) * ky) + centre_.Y};
  }
  outline[4] = outline[0];
  return outline;
}

DisplayRect RegionView::Source() const {
  const int cx = Round(pictureWidth_ / 2.0 - (centre_.X - kHome.X) / scale_);
  const int cy = Round(pictureHeight_ / 2.0 - (centre_.Y - kHome.Y) / scale_);
  const int hx = Round(kHome.X / scale_), hy = Round(kHome.Y / scale_);
  return {cx - hx, cy - hy, cx + hx, cy + hy};
}

DisplayRect RegionView::Target() const {
  const int hx = Round(pictureWidth_ * scale_ / 2), hy = Round(pictureHeight_ * scale_ / 2);
  return {centre_.X - hx, centre_.Y - hy, centre_.X + hx, centre_.Y + hy};
}

void RegionView::MoveSelection(RegionSelection& s, int dx, int dy) const {
  s.Dx = std::clamp(s.Dx + dx / scale_ / unitsX_, -region_.Width, region_.Width);
  s.Dy = std::clamp(s.Dy + dy / scale_ / unitsY_, -region_.Height, region_.Height);
}

void RegionView::RotateSelection(RegionSelection& s, int dx) {
  s.Rot -= dx * kPi / 180;
  if (s.Rot < -kPi) s.Rot += 2 * kPi;
  if (s.Rot > kPi) s.Rot -= 2 * kPi;
}

RegionPreview::RegionPreview(const uint8_t* oldPixels, int oldWidth, int oldHeight, size_t stride,
                             const RegionFrame& region, const RegionSelection& sel)
    : second_(static_cast<size_t>(kSide) * kSide, 0) {
  const double c = std::cos(sel.Rot), sn = std::sin(sel.Rot);
  newWidth_ = region.Width * sel.Sx;
  newHeight_ = region.Height * sel.Sy;
  extent_ = std::max(std::fabs(c * newWidth_) + std::fabs(sn * newHeight_),
                     std::fabs(c * newHeight_) + std::fabs(sn * newWidth_));
  const double s = extent_ / kSide;
  std::vector<uint32_t> first(static_cast<size_t>(kSide) * kSide, 0);
  for (int j = -kHalf; j <= kHalf; ++j) {
    const double row = std::nearbyint((j * s + sel.Dy + region.Height / 2) * oldHeight / region.Height);
    if (!(row >= 0 && row < oldHeight)) continue;
    const uint8_t* line = oldPixels + static_cast<size_t>(row) * stride;
    for (int i = -kHalf; i <= kHalf; ++i) {
      const double column = std::nearbyint((i * s + sel.Dx + region.Width / 2) * oldWidth / region.Width);
      if (!(column >= 0 && column < oldWidth)) continue;
      const uint8_t* px = line + static_cast<size_t>(column) * 3;
      first[Index(i, j)] = px[0] | (uint32_t(px[1]) << 8) | (uint32_t(px[2]) << 16);
    }
  }
  for (int q = -kHalf; q <= kHalf; ++q)
    for (int p = -kHalf; p <= kHalf; ++p) {
      const int i = Round(p * c + q * sn), j = Round(-p * sn + q * c);
      if (std::abs(i) <= kHalf && std::abs(j) <= kHalf) second_[Index(p, q)] = first[Index(i, j)];
    }
}

void RegionPreview::Fill(uint8_t* pixels, int width, int height, size_t stride,
                         const std::function<void(int row)>& afterRow) const {
  const double k = kSide / extent_;
  for (int y = 0; y < height; ++y) {
    FillRow(pixels, width, height, stride, y, k);
    if (afterRow) afterRow(y);
  }
}

void RegionPreview::FillRow(uint8_t* pixels, int width, int height, size_t stride, int y, double k) const {
  const double m = std::nearbyint(k * (newHeight_ / height * y - newHeight_ / 2));
  if (!(std::fabs(m) <= kHalf)) return;
  uint8_t* line = pixels + static_cast<size_t>(y) * stride;
  for (int x = 0; x < width; ++x) {
    const double n = std::nearbyint(k * (newWidth_ / width * x - newWidth_ / 2));
    if (!(std::fabs(n) <= kHalf)) continue;
    const uint32_t colour = At(static_cast<int>(n), static_cast<int>(m));
    line[3 * x] = static_cast<uint8_t>(colour);
    line[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
    line[3 * x + 2] = static_cast<uint8_t>(colour >> 16);
  }
}

}  // namespace vantorel
