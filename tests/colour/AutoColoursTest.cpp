// Automatic colours on pictures whose exponents are known: the logistic map x -> r x (1 - x) has
// for 1 < r < 3 the stable fixed point 1 - 1/r with the multiplier 2 - r, so its exponent is
// ln|2 - r|; at r = 4 the exponent is ln 2.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "colour/AutoColours.h"
#include "core/ColorMapping.h"
#include "core/PixelDataFile.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

// r evenly spread over 1,2 ... 2,8 (the middle of n cells each), and `chaotic` pixels at r = 4.
std::vector<double> LogisticExponents(int n, int chaotic) {
  std::vector<double> e;
  for (int i = 0; i < n; ++i) e.push_back(std::log(std::fabs(2.0 - (1.2 + 1.6 * (i + 0.5) / n))));
  e.insert(e.end(), size_t(chaotic), std::log(2.0));
  return e;
}

class AutoColoursTest : public ::testing::Test {
 protected:
  void Write(const std::vector<double>& values) {
    file.Create(dir.file("p.TMP1"));
    file.Write(values.data(), values.size());
  }
  test::TempDir dir;
  PixelDataFile file;
};

TEST_F(AutoColoursTest, NegativeEntriesMoveToTheQuantilesOfTheLogisticExponents) {
  // With r uniform on 1,2 ... 2,8, P(ln|2 - r| <= y) = e^y / 0,8, so the quantile at share q is
  // ln(0,8 q). Four negative entries go to the shares 0, 1/4, 2/4, 3/4; 0 stays; the positive
  // ones all reach ln 2, the only positive exponent.
  const int n = 40000;
  Write(LogisticExponents(n, 1000));
  ColorListState list;
  list.Entries = {{0x111111, -5}, {0x222222, -1},  {0x333333, -0.5}, {0x444444, -0.1},
                  {0x000000, 0},  {0x555555, 0.2}, {0x666666, 0.3}};
  list.Below = 0xABCDEF;
  list.Above = 0xFEDCBA;
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
  EXPECT_EQ(e[4].Value, 0.0);
  EXPECT_EQ(e[5].Value, std::log(2.0));
  EXPECT_EQ(e[6].Value, std::log(2.0));

  // Each negative band holds a quarter of the negative pixels.
  const std::vector<double> values = LogisticExponents(n, 0);
  for (int j = 0; j < 4; ++j) {
    const double lo = e[size_t(j)].Value, hi = j < 3 ? e[size_t(j + 1)].Value : 0.0;
    const auto inside = std::count_if(values.begin(), values.end(), [&](double x) { return x > lo && x <= hi; });
    EXPECT_NEAR(double(inside) / n, 0.25, 0.001) << j;
  }
}

TEST_F(AutoColoursTest, ExactRanksAndSidesWithoutExponentsKeepTheirValues) {
  // 1 ... 9 negative (as -9 ... -1), no positive exponent, zeros and non-finite values ignored.
  std::vector<double> v = {0.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()};
  for (int k = 9; k >= 1; --k) v.push_back(-k);
  Write(v);
  ColorListState list;
  list.Entries = {{1, -3}, {2, -2}, {3, -1}, {4, 0.5}};
  ExponentShares shares;
  const ColorEdit edit = AutoColours(list, file, {}, &shares);
  ASSERT_TRUE(edit.Ok());
  EXPECT_EQ(shares.Other, 3);
  // Ranks round(q * 8) for q = 0, 1/3, 2/3: 0, 3, 5 -> -9, -6, -4.
  EXPECT_EQ(edit.State.Entries[0].Value, -9);
  EXPECT_EQ(edit.State.Entries[1].Value, -6);
  EXPECT_EQ(edit.State.Entries[2].Value, -4);
  EXPECT_EQ(edit.State.Entries[3].Value, 0.5);
}

TEST_F(AutoColoursTest, NothingToSpreadOverIsSaidAndTheListStays) {
  Write({});
  const ColorListState list{DefaultColorList(), 0xFFFFFF, 0};
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
