#include "colour/GradientFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "colour/ColorFile.h"
#include "colour/ImportText.h"
#include "core/IoError.h"

namespace vantorel {

namespace {

using Colour = std::array<double, 3>;  // levels 0 ... 255

constexpr double kTolerance = 1e-5;  // how far numbers written with six decimals may be apart
constexpr double kTiny = 1e-10;      // shorter than this, a segment or a half of it has no width
constexpr double kMaxLevelError = 0.5;
constexpr int kMaxDepth = 30;

// ---------------------------------------------------------------------------------------------
// Reading

[[noreturn]] void Fail(size_t line, const std::string& why) {
  throw FormatError("This GIMP gradient cannot be read: " + import::LineName(line) + " " + why);
}

GradientSegment ReadSegment(std::string_view text, size_t line) {
  const std::string_view whole = text;
  std::vector<std::string_view> words;
  while (!import::Trim(text).empty()) words.push_back(import::NextWord(text));
  if (words.size() != 13 && words.size() != 15)
    Fail(line, "should describe a segment with 13 or 15 numbers, but holds " + std::to_string(words.size()) +
                   " words: " + import::Quote(whole) + ".");
  double numbers[11];
  for (int k = 0; k < 11; ++k) {
    const auto v = import::Real(words[static_cast<size_t>(k)]);
    if (!v) Fail(line, "holds " + import::Quote(words[static_cast<size_t>(k)]) + " where a number belongs.");
    numbers[k] = *v;
  }
  long long kinds[4] = {0, 0, 0, 0};
  for (size_t k = 11; k < words.size(); ++k) {
    const auto v = import::Whole(words[k]);
    if (!v) Fail(line, "holds " + import::Quote(words[k]) + " where a whole number belongs.");
    kinds[k - 11] = *v;
  }
  GradientSegment s;
  s.Left = numbers[0];
  s.Middle = numbers[1];
  s.Right = numbers[2];
  for (int c = 0; c < 4; ++c) {
    s.LeftColour[static_cast<size_t>(c)] = numbers[3 + c];
    s.RightColour[static_cast<size_t>(c)] = numbers[7 + c];
  }
  for (double x : {s.Left, s.Middle, s.Right})
    if (x < -kTolerance || x > 1 + kTolerance) Fail(line, "has a position outside 0 ... 1.");
  if (s.Middle < s.Left - kTolerance || s.Right < s.Middle - kTolerance)
    Fail(line, "has its positions out of order: left, middle and right must follow each other.");
  for (auto* colour : {&s.LeftColour, &s.RightColour})
    for (double& x : *colour) {
      if (x < -kTolerance || x > 1 + kTolerance) Fail(line, "has a colour component outside 0 ... 1.");
      x = std::clamp(x, 0.0, 1.0);
    }
  if (kinds[0] < 0 || kinds[0] > 5)
    Fail(line, "has the unknown blend " + std::to_string(kinds[0]) + " (0 ... 5 are known).");
  if (kinds[1] < 0 || kinds[1] > 2)
    Fail(line, "has the unknown colour model " + std::to_string(kinds[1]) + " (0 ... 2 are known).");
  for (int k = 2; k < 4; ++k)
    if (kinds[k] < 0 || kinds[k] > 4) Fail(line, "has the unknown colour kind " + std::to_string(kinds[k]) + ".");
  s.Blend = static_cast<GradientBlend>(kinds[0]);
  s.Model = static_cast<GradientModel>(kinds[1]);
  return s;
}

// ---------------------------------------------------------------------------------------------
// Evaluating

Colour ToHsv(const Colour& rgb) {
  const double r = rgb[0], g = rgb[1], b = rgb[2];
  const double max = std::max({r, g, b}), min = std::min({r, g, b}), delta = max - min;
  double h = 0;
  if (delta > 0) {
    if (r == max)
      h = (g - b) / delta;
    else if (g == max)
      h = 2 + (b - r) / delta;
    else
      h = 4 + (r - g) / delta;
    h /= 6;
    if (h < 0) h += 1;
  }
  return {h, max > 0 ? delta / max : 0.0, max};
}

Colour FromHsv(const Colour& hsv) {
  const double s = hsv[1], v = hsv[2];
  if (s <= 0) return {v, v, v};
  double h = hsv[0] * 6;
  if (h >= 6) h -= 6;
  const int i = static_cast<int>(std::floor(h));
  const double f = h - i, p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (i) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
  }
}

// How far the blend has gone (0 ... 1) at `position` of the segment.
double BlendFactor(const GradientSegment& s, double position) {
  const double length = s.Right - s.Left;
  double middle = 0.5, t = 0.5;
  if (length >= kTiny) {
    middle = (s.Middle - s.Left) / length;
    t = (position - s.Left) / length;
  }
  t = std::clamp(t, 0.0, 1.0);
  middle = std::clamp(middle, 0.0, 1.0);
  // Linear in each half: 0.5 at the middle point.
  const auto linear = [&] {
    if (t <= middle) return middle < kTiny ? 0.0 : 0.5 * t / middle;
    return 1 - middle < kTiny ? 1.0 : 0.5 + 0.5 * (t - middle) / (1 - middle);
  };
  double f = 0;
  switch (s.Blend) {
    case GradientBlend::Linear: f = linear(); break;
    case GradientBlend::Curved: {
      const double m = std::clamp(middle, kTiny, 1 - kTiny);
      f = std::pow(t, std::log(0.5) / std::log(m));
      break;
    }
    case GradientBlend::Sine: f = (std::sin(-std::numbers::pi / 2 + std::numbers::pi * linear()) + 1) / 2; break;
    case GradientBlend::SphereIncreasing: {
      const double x = linear() - 1;
      f = std::sqrt(std::max(0.0, 1 - x * x));
      break;
    }
    case GradientBlend::SphereDecreasing: {
      const double x = linear();
      f = 1 - std::sqrt(std::max(0.0, 1 - x * x));
      break;
    }
    case GradientBlend::Step: f = t >= middle ? 1.0 : 0.0; break;
  }
  return std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0.0;
}

Colour ColourAtFactor(const GradientSegment& s, double f) {
  const Colour a{s.LeftColour[0], s.LeftColour[1], s.LeftColour[2]};
  const Colour b{s.RightColour[0], s.RightColour[1], s.RightColour[2]};
  Colour c{};
  if (s.Model == GradientModel::Rgb) {
    for (size_t k = 0; k < 3; ++k) c[k] = a[k] + (b[k] - a[k]) * f;
  } else {
    const Colour ha = ToHsv(a), hb = ToHsv(b);
    Colour h{};
    for (size_t k = 1; k < 3; ++k) h[k] = ha[k] + (hb[k] - ha[k]) * f;
    // The hue turns the chosen way round the circle, through the shorter or the longer arc.
    double turn = hb[0] - ha[0];
    if (s.Model == GradientModel::HsvCounterClockwise && turn < 0) turn += 1;
    if (s.Model == GradientModel::HsvClockwise && turn > 0) turn -= 1;
    h[0] = ha[0] + turn * f;
    if (h[0] < 0) h[0] += 1;
    if (h[0] >= 1) h[0] -= 1;
    c = FromHsv(h);
  }
  for (double& x : c) x = std::clamp(x, 0.0, 1.0) * 255.0;
  return c;
}

// ---------------------------------------------------------------------------------------------
// Sampling

class Sampler {
 public:
  void Add(double position, const Colour& c) {
    TColorEntry e{0, position};
    uint32_t shift = 0;
    for (double x : c) e.Color |= static_cast<uint32_t>(std::lround(std::clamp(x, 0.0, 255.0))) << (8 * shift++);
    if (!stops_.empty() && stops_.back() == e) return;  // the end of one piece is the start of the next
    if (stops_.size() >= kMaxColorFileEntries)
      throw FormatError("This GIMP gradient would need more than " + std::to_string(kMaxColorFileEntries) +
                        " colour entries; it is not read.");
    stops_.push_back(e);
  }

  // Samples (a, b] of the segment, whose colour at a was added already.
  void Refine(const GradientSegment& s, double a, const Colour& ca, double b, const Colour& cb, int depth) {
    bool fine = true;
    for (int k = 1; k < 8 && fine; ++k) {
      const double w = k / 8.0;
      const Colour exact = SegmentColour(s, a + (b - a) * w);
      for (size_t i = 0; i < 3; ++i)
        if (std::fabs(ca[i] + (cb[i] - ca[i]) * w - exact[i]) > kMaxLevelError) fine = false;
    }
    const double m = a + (b - a) / 2;
    if (!fine && depth < kMaxDepth && m > a && m < b) {
      const Colour cm = SegmentColour(s, m);
      Refine(s, a, ca, m, cm, depth + 1);
      Refine(s, m, cm, b, cb, depth + 1);
      return;
    }
    Add(b, cb);
  }

  std::vector<TColorEntry> Take() { return std::move(stops_); }

 private:
  std::vector<TColorEntry> stops_;
};

Colour EndColour(const std::array<double, 4>& c) { return {c[0] * 255.0, c[1] * 255.0, c[2] * 255.0}; }

void SampleSegment(const GradientSegment& s, Sampler& out) {
  const Colour left = EndColour(s.LeftColour), right = EndColour(s.RightColour);
  out.Add(s.Left, left);
  if (s.Right - s.Left < kTiny) {  // no width: a sharp edge
    out.Add(s.Right, right);
    return;
  }
  const double length = s.Right - s.Left;
  const bool midpoint = std::fabs(s.Middle - (s.Left + length / 2)) <= kTiny * length;
  if (s.Blend == GradientBlend::Step) {
    out.Add(s.Middle, left);
    out.Add(s.Middle, right);
  } else if (s.Blend == GradientBlend::Linear && s.Model == GradientModel::Rgb) {
    if (!midpoint) out.Add(s.Middle, SegmentColour(s, s.Middle));
  } else {
    // Each half on its own: the blend may bend sharply at the middle point.
    const Colour middle = SegmentColour(s, s.Middle);
    if (s.Middle - s.Left >= kTiny) out.Refine(s, s.Left, left, s.Middle, middle, 0);
    if (s.Right - s.Middle >= kTiny) out.Refine(s, s.Middle, middle, s.Right, right, 0);
  }
  out.Add(s.Right, right);
}

std::string Number(double x) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

}  // namespace

Gradient DecodeGimpGradient(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> lines = import::TextLines(data, size, "a GIMP gradient");
  if (lines.empty() || import::Trim(lines[0]) != "GIMP Gradient")
    throw FormatError(
        "This is not a GIMP gradient: such a file begins with the line \"GIMP Gradient\"" +
        (lines.empty() ? std::string(", and this one is empty.") : ", not " + import::Quote(lines[0]) + "."));
  Gradient g;
  size_t at = 1;
  if (at < lines.size() && import::Trim(lines[at]).starts_with("Name:")) {
    g.Name = std::string(import::Trim(import::Trim(lines[at]).substr(5)));
    ++at;
  }
  if (at >= lines.size()) Fail(at, "is missing: it should give the number of segments.");
  const auto count = import::Whole(import::Trim(lines[at]));
  if (!count || *count < 1 || *count > static_cast<long long>(kMaxGradientSegments))
    Fail(at, "should give the number of segments, 1 ... " + std::to_string(kMaxGradientSegments) + ", but reads " +
                 import::Quote(lines[at]) + ".");
  ++at;
  for (long long k = 0; k < *count; ++k, ++at) {
    if (at >= lines.size())
      throw FormatError("This GIMP gradient ends early: it announces " + std::to_string(*count) +
                        " segments but holds " + std::to_string(k) + ".");
    GradientSegment s = ReadSegment(lines[at], at);
    // Each segment begins where the one before ended; six written decimals may be a little off.
    const double start = g.Segments.empty() ? 0.0 : g.Segments.back().Right;
    if (std::fabs(s.Left - start) > kTolerance)
      Fail(at, "begins at " + Number(s.Left) + ", but the gradient so far ends at " + Number(start) + ".");
    s.Left = start;
    s.Middle = std::max(s.Middle, s.Left);
    s.Right = std::max(s.Right, s.Middle);
    g.Segments.push_back(s);
  }
  if (std::fabs(g.Segments.back().Right - 1.0) > kTolerance)
    Fail(at - 1, "ends the gradient at " + Number(g.Segments.back().Right) + " instead of 1.");
  g.Segments.back().Right = 1.0;
  g.Segments.back().Middle = std::min(g.Segments.back().Middle, 1.0);
  return g;
}

std::array<double, 3> SegmentColour(const GradientSegment& segment, double position) {
  return ColourAtFactor(segment, BlendFactor(segment, position));
}

std::array<double, 3> GradientColour(const Gradient& gradient, double position) {
  if (gradient.Segments.empty()) return {0, 0, 0};
  position = std::clamp(position, 0.0, 1.0);
  // The first segment that reaches the position; a position on a border belongs to the left one.
  for (const GradientSegment& s : gradient.Segments)
    if (position <= s.Right) return SegmentColour(s, position);
  return SegmentColour(gradient.Segments.back(), position);
}

ColourStops SampleGradient(const Gradient& gradient) {
  Sampler sampler;
  for (const GradientSegment& s : gradient.Segments) SampleSegment(s, sampler);
  ColourStops stops;
  stops.Name = gradient.Name;
  stops.Stops = sampler.Take();
  return stops;
}

std::string EncodeGimpGradient(const ColorListState& list, const std::string& name) {
  std::string out = "GIMP Gradient\n";
  std::string oneLine = name;
  std::replace_if(
      oneLine.begin(), oneLine.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  out += "Name: " + oneLine + "\n";
  const std::vector<TColorEntry>& e = list.Entries;
  const auto colour = [](uint32_t c) {
    std::string s;
    for (int shift = 0; shift <= 16; shift += 8) s += Number(((c >> shift) & 0xFF) / 255.0) + " ";
    return s + "1";
  };
  const auto segment = [&](double left, double right, uint32_t a, uint32_t b) {
    out += Number(left) + " " + Number(left + (right - left) / 2) + " " + Number(right) + " " + colour(a) + " " +
           colour(b) + " 0 0 0 0\n";
  };
  if (e.empty()) {
    out += "1\n";
    segment(0, 1, list.Below, list.Above);
    return out;
  }
  const double lo = e.front().Value, hi = e.back().Value;
  if (e.size() == 1 || !(lo < hi)) {
    out += "1\n";
    segment(0, 1, e.front().Color, e.back().Color);
    return out;
  }
  out += std::to_string(e.size() - 1) + "\n";
  double left = 0;
  for (size_t k = 1; k < e.size(); ++k) {
    // Halved first, so that no difference of two finite values overflows.
    const double p = (0.5 * e[k].Value - 0.5 * lo) / (0.5 * hi - 0.5 * lo);
    const double right = k + 1 == e.size() ? 1.0 : std::clamp(p, left, 1.0);
    segment(left, right, e[k - 1].Color, e[k].Color);
    left = right;
  }
  return out;
}

}  // namespace vantorel
