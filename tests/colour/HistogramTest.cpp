// Counting exponents into bins: the range, the bins of known values, optimize, and the files
// that hold nothing to count.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "colour/Histogram.h"
#include "support/TestSupport.h"

using namespace vantorel;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

class HistogramTest : public ::testing::Test {
 protected:
  void SetUp() override { file.Create(dir.file("x.TMP1")); }
  void Write(const std::vector<double>& values) {
    file.Clear();
    file.Write(values.data(), values.size());
  }
  bool Calculate(int bins) { return counts.Calculate(file, bins, {}, message); }

  test::TempDir dir;
  PixelDataFile file;
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
  EXPECT_EQ(counts.Count(0), 1u);
  EXPECT_EQ(counts.Count(42), 2u);
  EXPECT_EQ(counts.Count(99), 1u);
  EXPECT_EQ(counts.Count(100), 1u);  // xmax, not drawn
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
  EXPECT_EQ(counts.Count(0), 1u);    // 40
  EXPECT_EQ(counts.Count(12), 1u);   // 42, 42.5 in bin 12 (42.4 ... 42.6)
  EXPECT_EQ(counts.Count(10), 1u);   // 42
  EXPECT_EQ(counts.Count(100), 1u);  // 60
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
  EXPECT_EQ(counts.Count(0), 1u);
  EXPECT_EQ(counts.Count(50), 1u);
  EXPECT_EQ(counts.Count(100), 1u);
  EXPECT_EQ(counts.ValueAt(50), 0);
}

}  // namespace
