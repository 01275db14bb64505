// Counting a project's exponents into equal bins, for the histogram window. The exponent file
// (TMP1) is read in blocks of 10000 records with positional reads, so the file position that a
// paused computation goes on from is not touched.
//
// Values that are not finite numbers (a diverged or broken point) are left out and counted apart.
// When every finite value is the same, the range is widened around it so that it shows as one
// bar in the middle. The bin of a value x is trunc((x - xmin) / w); a value equal to xmax falls
// into the extra bin N, which is neither drawn nor part of the maximum count.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/PixelDataFile.h"

namespace vantorel {

class HistogramCounts {
 public:
  static constexpr int MinBins = 100;
  static constexpr int MaxBins = 10000;
  static constexpr size_t BlockRecords = 10000;
  // Called after every block with the progress in percent (0 ... 100).
  using Progress = std::function<void(int percent)>;

  // Counts over the full range of the file's finite values (two passes). Returns false, with a
  // message for the user and the counts as they were, when there is nothing to count.
  bool Calculate(const PixelDataFile& file, int bins, const Progress& progress, std::string& message);
  // Counts the values within [lo, hi] (one pass). Refuses an empty or non-finite range.
  bool Rebin(const PixelDataFile& file, int bins, double lo, double hi, const Progress& progress, std::string& message);
  // "optimize": the range without the thin tails at both ends (runs of fewer than five non-empty
  // bins standing apart). Nothing to count yet: nothing.
  std::optional<std::pair<double, double>> OptimizedRange() const;

  bool HasData() const { return bins_ > 0; }
  int Bins() const { return bins_; }
  double Xmin() const { return xmin_; }
  double Xmax() const { return xmax_; }
  // xmin + column * w: the lower edge of a bin (or any column, for the readout).
  double ValueAt(double column) const;
  uint32_t Count(int bin) const { return bin >= 0 && bin <= bins_ ? counts_[static_cast<size_t>(bin)] : 0; }
  uint32_t MaxCount() const { return maxCount_; }
  // Values left out because they are infinite or not a number.
  int64_t NotFinite() const { return notFinite_; }
  // A column of the picture held to the bins, also for a mouse dragged out of the picture.
  int ClampColumn(int x) const;
  // The top row of bin i's bar in a picture `height` rows high: height for an empty bin.
  int BarTop(int bin, int height) const;

 private:
  bool Count(const PixelDataFile& file, int bins, double lo, double hi, int firstPercent, const Progress& progress,
             std::string& message);

  std::array<uint32_t, MaxBins + 1> counts_{};
  int bins_ = 0;
  double xmin_ = 0, xmax_ = 0;
  double halfWidth_ = 0;  // w / 2, so that no difference of two finite values overflows
  uint32_t maxCount_ = 0;
  int64_t notFinite_ = 0;
};

}  // namespace vantorel
