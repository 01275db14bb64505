#include "colour/AutoColours.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "colour/Histogram.h"

namespace vantorel {

namespace {

constexpr int kBins = 1 << 16;
// A bin holding more values than this gives its quantiles by interpolation within the bin
// (1/65536 of the side's range wide) instead of exactly, to keep the memory small.
constexpr int64_t kMostGathered = int64_t(1) << 22;

// The exponents of one sign and the ranks wanted among them.
struct Side {
  int64_t Count = 0;
  double Lo = std::numeric_limits<double>::infinity(), Hi = -std::numeric_limits<double>::infinity();
  std::vector<int64_t> Ranks;
  std::vector<double> Values;  // one per rank
  std::vector<uint64_t> Bins;
  std::vector<int> Slot;  // bin -> index into Gathered, or -1
  std::vector<std::vector<double>> Gathered;

  void Add(double x) {
    ++Count;
    Lo = std::min(Lo, x);
    Hi = std::max(Hi, x);
  }
  // Halved, so that no difference of two finite values overflows.
  int Bin(double x) const {
    const double t = (0.5 * x - 0.5 * Lo) / (0.5 * Hi - 0.5 * Lo) * kBins;
    return t >= kBins ? kBins - 1 : static_cast<int>(t);
  }
  double Edge(int bin) const {
    const double w = double(bin) / kBins;
    return Lo * (1 - w) + Hi * w;
  }
  bool Spread() const { return Count > 0 && Lo < Hi; }
};

enum class Sign { Negative, Positive, Other };

Sign SignOf(double x) {
  if (!std::isfinite(x) || x == 0) return Sign::Other;
  return x < 0 ? Sign::Negative : Sign::Positive;
}

// Reads every record once, block by block, giving each to `visit`.
template <typename Visit>
void EachValue(const PixelDataFile& file, int64_t total, int firstPercent, const std::function<void(int)>& progress,
               Visit&& visit) {
  std::vector<double> block(HistogramCounts::BlockRecords);
  int64_t done = 0;
  while (done < total) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(total - done, int64_t(block.size())));
    const size_t got = file.ReadAt(done, block.data(), want);
    if (got == 0) break;
    for (size_t k = 0; k < got; ++k) visit(block[k]);
    done += static_cast<int64_t>(got);
    if (progress) progress(firstPercent + static_cast<int>(std::lround(double(done) * 33.0 / double(total))));
  }
}

// Finds, for every wanted rank, its bin and marks the bin for gathering.
void ChooseBins(Side& s, std::vector<std::pair<int, int64_t>>& where) {
  std::vector<uint64_t> before(kBins + 1, 0);
  for (int b = 0; b < kBins; ++b) before[b + 1] = before[b] + s.Bins[b];
  s.Slot.assign(kBins, -1);
  for (int64_t rank : s.Ranks) {
    const auto it = std::upper_bound(before.begin(), before.end(), uint64_t(rank));
    const int bin = std::clamp(static_cast<int>(it - before.begin()) - 1, 0, kBins - 1);
    const int64_t within = rank - int64_t(before[bin]);
    where.emplace_back(bin, within);
    if (s.Slot[bin] < 0 && int64_t(s.Bins[bin]) <= kMostGathered) {
      s.Slot[bin] = static_cast<int>(s.Gathered.size());
      s.Gathered.emplace_back();
      s.Gathered.back().reserve(s.Bins[bin]);
    }
  }
}

void Resolve(Side& s, const std::vector<std::pair<int, int64_t>>& where) {
  for (auto& g : s.Gathered) std::sort(g.begin(), g.end());
  for (const auto& [bin, within] : where) {
    if (s.Slot[bin] >= 0 && !s.Gathered[size_t(s.Slot[bin])].empty()) {
      const std::vector<double>& g = s.Gathered[size_t(s.Slot[bin])];
      s.Values.push_back(g[size_t(std::clamp<int64_t>(within, 0, int64_t(g.size()) - 1))]);
    } else {
      const double w = (double(within) + 0.5) / double(std::max<uint64_t>(s.Bins[bin], 1));
      s.Values.push_back(s.Edge(bin) * (1 - w) + s.Edge(bin + 1) * w);
    }
  }
}

int64_t RankOf(double share, int64_t count) {
  return std::clamp<int64_t>(std::llround(share * double(count - 1)), 0, count - 1);
}

}  // namespace

ColorEdit AutoColours(const ColorListState& list, const PixelDataFile& exponents,
                      const std::function<void(int)>& progress, ExponentShares* shares) {
  ColorEdit edit;
  edit.State = list;
  if (list.Entries.empty()) {
    edit.Error = "The colour list is empty.";
    return edit;
  }
  const int64_t total = exponents.RecordCount();
  Side negative, positive;
  int64_t other = 0;
  EachValue(exponents, total, 0, progress, [&](double x) {
    switch (SignOf(x)) {
      case Sign::Negative: negative.Add(x); break;
      case Sign::Positive: positive.Add(x); break;
      case Sign::Other: ++other; break;
    }
  });
  if (shares) *shares = {negative.Count, positive.Count, other};
  if (negative.Count == 0 && positive.Count == 0) {
    edit.Error = total == 0 ? "There are no exponents to spread the colours over yet: no point of the picture has been "
                              "computed."
                            : "None of the " + std::to_string(total) +
                                  " exponents is a finite number other than 0; the colours stay where they are.";
    return edit;
  }

  // The ranks each side's entries move to.
  size_t k = 0, m = 0;
  for (const TColorEntry& e : list.Entries) {
    k += e.Value < 0;
    m += e.Value > 0;
  }
  for (size_t j = 0; j < k && negative.Count > 0; ++j)
    negative.Ranks.push_back(RankOf(double(j) / double(k), negative.Count));
  for (size_t j = 0; j < m && positive.Count > 0; ++j)
    positive.Ranks.push_back(RankOf(double(j + 1) / double(m), positive.Count));

  // Counting into fine bins, then gathering the values of the bins that hold a wanted rank.
  for (Side* s : {&negative, &positive})
    if (s->Spread() && !s->Ranks.empty()) s->Bins.assign(kBins, 0);
  const auto binned = [](Side& s) { return !s.Bins.empty(); };
  if (binned(negative) || binned(positive)) {
    EachValue(exponents, total, 33, progress, [&](double x) {
      const Sign sign = SignOf(x);
      Side& s = sign == Sign::Negative ? negative : positive;
      if (sign != Sign::Other && binned(s)) ++s.Bins[size_t(s.Bin(x))];
    });
    std::vector<std::pair<int, int64_t>> whereNegative, wherePositive;
    if (binned(negative)) ChooseBins(negative, whereNegative);
    if (binned(positive)) ChooseBins(positive, wherePositive);
    EachValue(exponents, total, 66, progress, [&](double x) {
      const Sign sign = SignOf(x);
      Side& s = sign == Sign::Negative ? negative : positive;
      if (sign == Sign::Other || !binned(s)) return;
      const int slot = s.Slot[size_t(s.Bin(x))];
      if (slot >= 0) s.Gathered[size_t(slot)].push_back(x);
    });
    if (binned(negative)) Resolve(negative, whereNegative);
    if (binned(positive)) Resolve(positive, wherePositive);
  }
  // A side whose exponents are all one value has every quantile there.
  for (Side* s : {&negative, &positive})
    if (!binned(*s)) s->Values.assign(s->Ranks.size(), s->Lo);

  size_t nextNegative = 0, nextPositive = 0;
  for (TColorEntry& e : edit.State.Entries) {
    if (e.Value < 0 && nextNegative < negative.Values.size())
      e.Value = negative.Values[nextNegative++];
    else if (e.Value > 0 && nextPositive < positive.Values.size())
      e.Value = positive.Values[nextPositive++];
  }
  SortColorEntries(edit.State.Entries);
  if (progress) progress(100);
  return edit;
}

}  // namespace vantorel
