// The picture's exponents counted: into the histogram's bins (the range, the bins of known
// values, optimize, files that hold nothing to count), and into automatic colours on pictures
// whose exponents are known: the logistic map x -> r x (1 - x) has for 1 < r < 3 the stable fixed
// point 1 - 1/r with the multiplier 2 - r, so its exponent is ln|2 - r|; at r = 4 it is ln 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "colour/AutoColours.h"
#include "colour/Histogram.h"
#include "core/ColorMapping.h"
#include "core/PixelDataFile.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// An exponent file (TMP1) that a test fills.
class ExponentFileTest : public ::testing::Test {
 protected:
  void SetUp() override { file.Create(dir.file("x.TMP1")); }
  void Write(const std::vector<double>& values) {
    file.Clear();
    file.Write(values.data(), values.size());
  }

  test::TempDir dir;
  PixelDataFile file;
};

class HistogramTest : public ExponentFileTest {
 protected:
  bool Calculate(int bins) { return counts.Calculate(file, bins, {}, message); }
  void ExpectCounts(std::initializer_list<std::pair<int, size_t>> bins) {
    for (const auto& [bin, count] : bins) EXPECT_EQ(counts.Count(bin), count) << "bin " << bin;
  }

  HistogramCounts counts;
  std::string message;
};

TEST_F(HistogramTest, KnownValuesFallIntoTheirBins) {
  // 0 ... 100 in steps of 1 into 100 bins of width 1: one value per bin, and 100 in the extra bin.
  std::vector<double> v;
  for (int i = 0; i <= 100; ++i) v.push_back(i);
  v.push_back(42.5);
  Write(v);
  std::vector<int> percents;
  ASSERT_TRUE(counts.Calculate(
      file, 50, [&](int p) { percents.push_back(p); }, message));  // 50 is raised to 100
  EXPECT_EQ(counts.Bins(), 100);
  EXPECT_EQ(counts.Xmin(), 0);
  EXPECT_EQ(counts.Xmax(), 100);
  ExpectCounts({{0, 1}, {42, 2}, {99, 1}, {100, 1}});  // 100 holds xmax, not drawn
  EXPECT_EQ(counts.MaxCount(), 2u);
  EXPECT_EQ(counts.ValueAt(42), 42);
  EXPECT_EQ(counts.BarTop(42, 400), 0);
  EXPECT_EQ(counts.BarTop(41, 400), 200);
  EXPECT_EQ(percents, (std::vector<int>{50, 100}));
  // The readout of a mouse dragged out of the picture stays on the bins.
  EXPECT_EQ(counts.ClampColumn(-30), 0);
  EXPECT_EQ(counts.ClampColumn(5000), 99);

  // Narrowed to [40, 60] with 100 bins: only the values inside count.
  ASSERT_TRUE(counts.Rebin(file, 100, 40, 60, {}, message));
  ExpectCounts({{0, 1}, {10, 1}, {12, 1}, {100, 1}});  // 40, 42, 42,5 (42,4 ... 42,6), 60
}

TEST_F(HistogramTest, OptimizeCutsThinTails) {
  // Isolated values at both ends, a dense block between.
  std::vector<double> v{0, 3.5, 96.5};
  for (int i = 20; i < 70; ++i) v.push_back(i + 0.5);
  v.push_back(100);
  Write(v);
  ASSERT_TRUE(Calculate(100));
  auto range = counts.OptimizedRange();
  ASSERT_TRUE(range);
  EXPECT_EQ(range->first, 20);
  EXPECT_EQ(range->second, 70);

  // Without any run of five non-empty bins, nothing is cut.
  Write({0, 10, 20.5, 30, 100});
  ASSERT_TRUE(Calculate(100));
  range = counts.OptimizedRange();
  EXPECT_EQ(range->first, 0);
  EXPECT_EQ(range->second, 100);
}

TEST_F(HistogramTest, NothingToCountGivesAMessageNeverABrokenPicture) {
  EXPECT_FALSE(Calculate(500));  // empty file after a new initialisation
  EXPECT_NE(message.find("no point"), std::string::npos);
  EXPECT_FALSE(counts.HasData());
  EXPECT_FALSE(counts.OptimizedRange());

  Write({kInf, std::nan(""), -kInf});
  EXPECT_FALSE(Calculate(500));
  EXPECT_NE(message.find("finite"), std::string::npos);

  // All values equal (with non-finite ones beside them): one bar in the middle of a widened range.
  Write({-0.25, kInf, -0.25, std::nan(""), -0.25});
  ASSERT_TRUE(Calculate(100));
  EXPECT_EQ(counts.NotFinite(), 2);
  EXPECT_EQ(counts.Count(50), 3u);
  EXPECT_EQ(counts.MaxCount(), 3u);
  EXPECT_TRUE(counts.Xmin() < -0.25 && counts.Xmax() > -0.25);

  // A range that holds no value: every bar empty, no division by a zero maximum.
  ASSERT_TRUE(counts.Rebin(file, 100, 5, 6, {}, message));
  EXPECT_EQ(counts.MaxCount(), 0u);
  EXPECT_EQ(counts.BarTop(3, 400), 400);

  // Clearing past the other end, or a range too narrow to divide: refused, the counts stay.
  const double lo = counts.Xmin();
  for (auto [a, b] : {std::pair{6.0, 6.0}, {7.0, 6.0}, {std::nan(""), 6.0}, {0.0, 4e-323}}) {
    message.clear();
    EXPECT_FALSE(counts.Rebin(file, 100, a, b, {}, message)) << a << " " << b;
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(counts.Xmin(), lo);
  }

  // The widest range of doubles: the bin width does not overflow.
  Write({-1.7e308, 0, 1.7e308});
  ASSERT_TRUE(Calculate(100));
  ExpectCounts({{0, 1}, {50, 1}, {100, 1}});
  EXPECT_EQ(counts.ValueAt(50), 0);
}

// r evenly spread over 1,2 ... 2,8 (the middle of n cells each), and `chaotic` pixels at r = 4.
std::vector<double> LogisticExponents(int n, int chaotic) {
  std::vector<double> e;
  for (int i = 0; i < n; ++i) e.push_back(std::log(std::fabs(2.0 - (1.2 + 1.6 * (i + 0.5) / n))));
  e.insert(e.end(), size_t(chaotic), std::log(2.0));
  return e;
}

using AutoColoursTest = ExponentFileTest;

TEST_F(AutoColoursTest, NegativeEntriesMoveToTheQuantilesOfTheLogisticExponents) {
  // With r uniform on 1,2 ... 2,8, P(ln|2 - r| <= y) = e^y / 0,8, so the quantile at share q is
  // ln(0,8 q). Four negative entries go to the shares 0, 1/4, 2/4, 3/4; 0 stays; the positive
  // ones all reach ln 2, the only positive exponent.
  const int n = 40000;
  Write(LogisticExponents(n, 1000));
  ColorListState list;
  list.Entries = {{0x111111, -5}, {0x222222, -1},  {0x333333, -0.5}, {0x444444, -0.1},
                  {0x000000, 0},  {0x555555, 0.2}, {0x666666, 0.3}};
  list.Below = 0xABCDEF, list.Above = 0xFEDCBA;
  ExponentShares shares;
  const ColorEdit edit = AutoColours(list, file, {}, &shares);
  ASSERT_TRUE(edit.Ok()) << edit.Error;
  EXPECT_EQ(shares.Negative, n);
  EXPECT_EQ(shares.Positive, 1000);
  const auto& e = edit.State.Entries;
  ASSERT_EQ(e.size(), list.Entries.size());
  for (size_t k = 0; k < e.size(); ++k) EXPECT_EQ(e[k].Color, list.Entries[k].Color) << k;  // colours stay
  EXPECT_EQ(edit.State.Below, list.Below);
  EXPECT_EQ(edit.State.Above, list.Above);
  // The smallest exponent: the cell nearest r = 2, |2 - r| = 0,8 / n.
  EXPECT_NEAR(e[0].Value, std::log(0.8 / n), 1e-9);
  for (int j = 1; j < 4; ++j) EXPECT_NEAR(e[size_t(j)].Value, std::log(0.8 * j / 4.0), 2e-4) << j;
  EXPECT_TRUE(e[4].Value == 0.0 && e[5].Value == std::log(2.0) && e[6].Value == std::log(2.0));

  // Each negative band holds a quarter of the negative pixels.
  const std::vector<double> values = LogisticExponents(n, 0);
  for (int j = 0; j < 4; ++j) {
    const double lo = e[size_t(j)].Value, hi = j < 3 ? e[size_t(j + 1)].Value : 0.0;
    const auto inside = std::count_if(values.begin(), values.end(), [&](double x) { return x > lo && x <= hi; });
    EXPECT_NEAR(double(inside) / n, 0.25, 0.001) << j;
  }
}

TEST_F(AutoColoursTest, ExactRanksAndSidesWithoutExponentsKeepTheirValuesAndNothingToSpreadOverIsSaid) {
  // 1 ... 9 negative (as -9 ... -1), no positive exponent, zeros and non-finite values ignored.
  std::vector<double> v = {0.0, std::nan(""), -kInf};
  for (int k = 9; k >= 1; --k) v.push_back(-k);
  Write(v);
  ColorListState list;
  list.Entries = {{1, -3}, {2, -2}, {3, -1}, {4, 0.5}};
  ExponentShares shares;
  const ColorEdit edit = AutoColours(list, file, {}, &shares);
  ASSERT_TRUE(edit.Ok());
  EXPECT_EQ(shares.Other, 3);
  // Ranks round(q * 8) for q = 0, 1/3, 2/3: 0, 3, 5 -> -9, -6, -4.
  EXPECT_EQ(edit.State.Entries, (std::vector<TColorEntry>{{1, -9}, {2, -6}, {3, -4}, {4, 0.5}}));
  // Nothing to spread over is said, and the list stays.
  Write({});
  const ColorEdit empty = AutoColours(list, file);
  EXPECT_FALSE(empty.Ok());
  EXPECT_NE(empty.Error.find("no point of the picture has been computed"), std::string::npos);
  EXPECT_EQ(empty.State, list);
  Write({0.0, 0.0});
  EXPECT_NE(AutoColours(list, file).Error.find("None of the 2 exponents"), std::string::npos);
}

TEST_F(AutoColoursTest, HeapedValuesAndProgress) {
  // Half of the picture at one exponent: the quantiles there are that value exactly.
  std::vector<double> v(30000, -0.75);
  for (int k = 0; k < 30000; ++k) v.push_back(-1.0 - k * 1e-4);
  Write(v);
  ColorListState list;
  list.Entries = {{1, -2}, {2, -1}, {3, -0.5}, {4, -0.25}};
  std::vector<int> percents;
  const ColorEdit edit = AutoColours(list, file, [&](int p) { percents.push_back(p); });
  ASSERT_TRUE(edit.Ok());
  EXPECT_NEAR(edit.State.Entries[0].Value, -1.0 - 29999e-4, 1e-12);
  EXPECT_NEAR(edit.State.Entries[1].Value, -1.0 - 14999.5e-4, 1e-4);
  EXPECT_EQ(edit.State.Entries[2].Value, -0.75);
  EXPECT_EQ(edit.State.Entries[3].Value, -0.75);
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
}

}  // namespace
}  // namespace vantorel
