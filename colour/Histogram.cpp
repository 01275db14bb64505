#include "colour/Histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/NumberText.h"

namespace vantorel {

namespace {

int Percent(int64_t done, int64_t total, int first) {
  return first + static_cast<int>(std::lround(static_cast<double>(done) * 50.0 / static_cast<double>(total)));
}

}  // namespace

bool HistogramCounts::Calculate(const PixelDataFile& file, int bins, const Progress& progress, std::string& message) {
  const int64_t total = file.RecordCount();
  if (total == 0) {
    message = "There are no exponents to count yet: no point of the picture has been computed.";
    return false;
  }
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  std::vector<double> block(BlockRecords);
  int64_t done = 0;
  while (done < total) {
    const size_t got = file.ReadAt(done, block.data(), block.size());
    if (got == 0) break;
    for (size_t k = 0; k < got; ++k) {
      const double x = block[k];
      // Infinite and NaN values fail one of the tests and leave the range alone.
      if (x < lo && x > -std::numeric_limits<double>::infinity()) lo = x;
      if (x > hi && x < std::numeric_limits<double>::infinity()) hi = x;
    }
    done += static_cast<int64_t>(got);
    if (progress) progress(Percent(done, total, 0));
  }
  if (!(lo <= hi)) {
    message = "None of the " + std::to_string(total) + " exponents is a finite number; there is nothing to show.";
    return false;
  }
  if (lo == hi) {
    // One value only: a range around it, with the value's bar in the middle.
    const double d = std::max(0.5, std::fabs(lo) * 1e-6);
    lo = std::isfinite(lo - d) ? lo - d : std::numeric_limits<double>::lowest();
    hi = std::isfinite(hi + d) ? hi + d : std::numeric_limits<double>::max();
  }
  return Count(file, bins, lo, hi, 50, progress, message);
}

bool HistogramCounts::Rebin(const PixelDataFile& file, int bins, double lo, double hi, const Progress& progress,
                            std::string& message) {
  if (!(std::isfinite(lo) && std::isfinite(hi) && lo < hi)) {
    message = "Nothing would be left of the range: from " + FloatToText(lo) + " to " + FloatToText(hi) +
              ". The histogram stays as it was.";
    return false;
  }
  return Count(file, bins, lo, hi, 50, progress, message);
}

bool HistogramCounts::Count(const PixelDataFile& file, int bins, double lo, double hi, int firstPercent,
                            const Progress& progress, std::string& message) {
  bins = std::clamp(bins, MinBins, MaxBins);
  const double halfWidth = (0.5 * hi - 0.5 * lo) / bins;
  if (!(halfWidth > 0)) {
    message = "The range from " + FloatToText(lo) + " to " + FloatToText(hi) + " is too narrow for " +
              std::to_string(bins) + " bins. The histogram stays as it was.";
    return false;
  }
  std::array<uint32_t, MaxBins + 1> counts{};
  int64_t notFinite = 0;
  const int64_t total = file.RecordCount();
  std::vector<double> block(BlockRecords);
  const double halfLo = 0.5 * lo;
  const double lastBin = bins;
  int64_t done = 0;
  while (done < total) {
    const size_t got = file.ReadAt(done, block.data(), block.size());
    if (got == 0) break;
    for (size_t k = 0; k < got; ++k) {
      const double x = block[k];
      if (!(x >= lo && x <= hi)) {  // outside, or NaN
        notFinite += !std::isfinite(x);
        continue;
      }
      // (x - xmin) / w, halved above and below so that no difference overflows.
      const double t = (0.5 * x - halfLo) / halfWidth;
      ++counts[t >= lastBin ? static_cast<size_t>(bins) : static_cast<size_t>(t)];
    }
    done += static_cast<int64_t>(got);
    if (progress) progress(Percent(done, total, firstPercent));
  }
  counts_ = counts;
  bins_ = bins;
  xmin_ = lo;
  xmax_ = hi;
  halfWidth_ = halfWidth;
  notFinite_ = notFinite;
  maxCount_ = *std::max_element(counts_.begin(), counts_.begin() + bins_);
  return true;
}

double HistogramCounts::ValueAt(double column) const {
  const double half = column * halfWidth_;
  return xmin_ + half + half;
}

int HistogramCounts::ClampColumn(int x) const { return bins_ <= 0 ? 0 : std::clamp(x, 0, bins_ - 1); }

int HistogramCounts::BarTop(int bin, int height) const {
  const uint32_t c = Count(bin);
  if (maxCount_ == 0 || c == 0 || bin >= bins_) return height;
  return static_cast<int>(std::lround((1.0 - static_cast<double>(c) / maxCount_) * height));
}

std::optional<std::pair<double, double>> HistogramCounts::OptimizedRange() const {
  if (bins_ <= 0) return std::nullopt;
  const int n = bins_;
  double lower = xmin_;
  int run = 0;
  for (int i = 0;;) {
    run = counts_[static_cast<size_t>(i)] ? run + 1 : 0;
    ++i;
    if (i == n) break;
    if (run == 5) {
      lower = ValueAt(i - 5);
      break;
    }
  }
  double upper = xmax_;
  run = 0;
  for (int j = n - 1;;) {
    run = counts_[static_cast<size_t>(j)] ? run + 1 : 0;
    --j;
    if (j < 0) break;
    if (run == 5) {
      if (j + 6 < n) upper = ValueAt(j + 6);
      break;
    }
  }
  return std::make_pair(lower, upper);
}

}  // namespace vantorel
