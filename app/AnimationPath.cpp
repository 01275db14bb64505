// The parameter block of every frame of a film: the region zooms at a constant speed about the
// point that the move between two keys leaves fixed, the other numbers ease along a curve that
// never overshoots, and sequence and formula change at keys only.
#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>

#include "app/Animation.h"
#include "app/IterationCounts.h"
#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "formula/UserFormulaMap.h"

namespace vantorel {

namespace {

using Complex = std::complex<double>;

// The eased numbers of a block, in the order of AnimationPath's slopes.
constexpr double TCalcParams::*kRealNumbers[] = {&TCalcParams::W, &TCalcParams::V, &TCalcParams::U,
                                                 &TCalcParams::StartX};
constexpr int32_t TCalcParams::*kCounts[] = {&TCalcParams::Iterations, &TCalcParams::CalmDownIterations};
constexpr size_t kEased = std::size(kRealNumbers) + std::size(kCounts);

double EasedNumber(const TCalcParams& p, size_t i) {
  return i < std::size(kRealNumbers) ? p.*kRealNumbers[i] : p.*kCounts[i - std::size(kRealNumbers)];
}

// What keeps a key's block from being computed, or empty.
std::string BlockProblem(const TCalcParams& p) {
  if (p.Sequence.empty()) return "the AB-sequence is empty";
  if (p.Iterations <= 0) return "the iteration count " + std::to_string(p.Iterations) + " is not positive";
  if (std::string problem = IterationCountProblem(p); !problem.empty()) return problem;
  if (!(std::isfinite(p.Width) && p.Width > 0 && std::isfinite(p.Height) && p.Height > 0))
    return "the region must have a positive width and height";
  for (const double v : {p.CenterX, p.CenterY, p.Angle, p.W, p.V, p.U, p.StartX})
    if (!std::isfinite(v)) return "a parameter is not a finite number";
  if (p.FixedFormula < -1 || p.FixedFormula > 5) return "the fixed formula is unknown";
  return {};
}

// e^z - 1, accurate for small z too.
Complex ExpMinusOne(Complex z) {
  const double half = std::sin(z.imag() / 2);
  return {std::expm1(z.real()) * std::cos(z.imag()) - 2 * half * half, std::exp(z.real()) * std::sin(z.imag())};
}

// Monotone cubic slopes through (x_k, y_k) (Fritsch-Carlson with Brodlie's weights): zero where
// the data turn or stand still, and at both ends, so that the curve starts and ends at rest.
std::vector<double> MonotoneSlopes(const std::vector<int32_t>& x, const std::vector<double>& y) {
  const size_t n = x.size();
  std::vector<double> m(n, 0.0);
  for (size_t k = 1; k + 1 < n; ++k) {
    const double h0 = x[k] - x[k - 1], h1 = x[k + 1] - x[k];
    const double d0 = (y[k] - y[k - 1]) / h0, d1 = (y[k + 1] - y[k]) / h1;
    if (!(d0 * d1 > 0) || !std::isfinite(d0 * d1)) continue;
    const double w0 = 2 * h1 + h0, w1 = h1 + 2 * h0;
    m[k] = (w0 + w1) / (w0 / d0 + w1 / d1);
  }
  return m;
}

}  // namespace

AnimationPath::AnimationPath(const Animation& a, const TCalcParams& base) : ease_(a.Ease) {
  if (a.Frames < 1 || a.Keys.empty() || a.Keys.front().Frame != 0 || a.Keys.back().Frame != a.Frames - 1)
    throw AnimationError("a film needs keys at its first and its last frame");
  if (a.Width < kMinPictureSize || a.Width > kMaxPictureSize || a.Height < kMinPictureSize ||
      a.Height > kMaxPictureSize)
    throw AnimationError("the frame size " + std::to_string(a.Width) + "x" + std::to_string(a.Height) +
                         " lies outside " + std::to_string(kMinPictureSize) + ".." + std::to_string(kMaxPictureSize) +
                         " pixels each way");
  Overrides merged;
  std::string checkedFormula;
  bool formulaChecked = false;
  for (const AnimationKey& key : a.Keys) {
    const std::string where = "key " + std::to_string(key.Frame) + ": ";
    if (!keyFrames_.empty() && key.Frame <= keyFrames_.back())
      throw AnimationError(where + "the keys must follow one another by frame, each frame once");
    MergeOverrides(merged, key.Set);
    merged.PictureWidth = a.Width;
    merged.PictureHeight = a.Height;
    TCalcParams p = ChangedBlock(base, merged);
    if (const std::string problem = BlockProblem(p); !problem.empty()) throw AnimationError(where + problem);
    if (p.FixedFormula == -1 && !(formulaChecked && p.FormulaText == checkedFormula)) {
      try {
        PrepareFormulaMap(p);
      } catch (const std::exception& e) {
        throw AnimationError(where + "the formula '" + p.FormulaText + "' cannot be computed. " + e.what());
      }
      checkedFormula = p.FormulaText;
      formulaChecked = true;
    }
    keyFrames_.push_back(key.Frame);
    keyBlocks_.push_back(std::move(p));
  }
  slopes_.assign(keyBlocks_.size(), std::vector<double>(kEased, 0.0));
  if (ease_ != Easing::Smooth) return;
  for (size_t i = 0; i < kEased; ++i) {
    std::vector<double> y;
    for (const TCalcParams& p : keyBlocks_) y.push_back(EasedNumber(p, i));
    const std::vector<double> m = MonotoneSlopes(keyFrames_, y);
    for (size_t k = 0; k < m.size(); ++k) slopes_[k][i] = m[k];
  }
}

int32_t AnimationPath::FrameCount() const { return keyFrames_.back() + 1; }

bool AnimationPath::IsKeyframe(int32_t frame) const {
  return std::binary_search(keyFrames_.begin(), keyFrames_.end(), frame);
}

TCalcParams AnimationPath::Frame(int32_t frame) const {
  if (frame < 0 || frame >= FrameCount())
    throw std::out_of_range("frame " + std::to_string(frame) + " lies outside the film's frames 0.." +
                            std::to_string(FrameCount() - 1));
  const size_t k = std::upper_bound(keyFrames_.begin(), keyFrames_.end(), frame) - keyFrames_.begin() - 1;
  if (keyFrames_[k] == frame) return keyBlocks_[k];
  const TCalcParams& a = keyBlocks_[k];
  const TCalcParams& b = keyBlocks_[k + 1];
  const double h = keyFrames_[k + 1] - keyFrames_[k];
  const double t = (frame - keyFrames_[k]) / h;
  TCalcParams p = a;  // sequence, formula and everything not moved: key k's (a cut at each key)

  // The region: a similarity z = r e^(i dθ) takes key k's region to key k+1's, and frame t shows
  // z^t of it. Its centre c(t) = F + z^t (c0 - F) about the fixed point F, written without F
  // as c0 + (1 - z^t) / (1 - z) (c1 - c0) (a pan, z = 1, moves linearly).
  const double rw = b.Width / a.Width, rh = b.Height / a.Height;
  const double turn = b.Angle - a.Angle;
  const Complex logZ(rw == rh ? std::log(rw) : (std::log(rw) + std::log(rh)) / 2, turn);
  const Complex g = std::abs(logZ) < 1e-12 ? Complex(t) : ExpMinusOne(t * logZ) / ExpMinusOne(logZ);
  const Complex c = Complex(a.CenterX, a.CenterY) + g * Complex(b.CenterX - a.CenterX, b.CenterY - a.CenterY);
  p.CenterX = c.real();
  p.CenterY = c.imag();
  p.Width = a.Width * std::pow(rw, t);
  p.Height = a.Height * std::pow(rh, t);
  p.Angle = a.Angle + t * turn;

  // The other numbers: a cubic Hermite piece (smooth) or a straight line, kept between the keys.
  const auto eased = [&](size_t i) {
    const double y0 = EasedNumber(a, i), y1 = EasedNumber(b, i);
    if (y0 == y1) return y0;
    double y = y0 + t * (y1 - y0);
    if (ease_ == Easing::Smooth) {
      const double t2 = t * t, t3 = t2 * t;
      y = (2 * t3 - 3 * t2 + 1) * y0 + (t3 - 2 * t2 + t) * h * slopes_[k][i] + (-2 * t3 + 3 * t2) * y1 +
          (t3 - t2) * h * slopes_[k + 1][i];
    }
    if (!std::isfinite(y)) y = y0 * (1 - t) + y1 * t;
    return std::clamp(y, std::min(y0, y1), std::max(y0, y1));
  };
  for (size_t i = 0; i < std::size(kRealNumbers); ++i) p.*kRealNumbers[i] = eased(i);
  // Counts go to the nearest whole number and then up to whole AB-sequences, as a typed count.
  const int32_t largest = LargestIterationCount(p.SequenceLength);
  for (size_t i = 0; i < std::size(kCounts); ++i) {
    int32_t& count = p.*kCounts[i];
    if (a.*kCounts[i] == b.*kCounts[i]) continue;
    const auto v = static_cast<int32_t>(std::llround(eased(std::size(kRealNumbers) + i)));
    count = std::clamp(v > 0 ? RoundedIterations(v, p.SequenceLength) : v, i == 0 ? 1 : 0, largest);
  }
  return p;
}

}  // namespace vantorel
