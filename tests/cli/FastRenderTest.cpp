#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace vantorel {
namespace {

std::vector<double> Records(const std::string& path) {
  const std::vector<unsigned char> bytes = test::ReadBytes(path);
  std::vector<double> v(bytes.size() / sizeof(double));
  std::memcpy(v.data(), bytes.data(), v.size() * sizeof(double));
  return v;
}

// --fast takes the sines of formula 2 from the vector library: the orbits differ, but a pixel
// whose orbit settled on the same cycle keeps its exponent.
TEST(Renderer, FastTrigonometryKeepsTheStablePixels) {
  test::TempDir dir;
  for (const char* mode : {"exact", "fast"}) {
    const std::string command = "cd '" + dir.path().string() + "' && '" VANTOREL_RENDER_EXE
                                "' -q --fixed 2 --size 40x30 --calm-down 6000 --data " + mode +
                                (std::string(mode) == "fast" ? " --fast" : "");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  const std::vector<double> e = Records(dir.file("exact.TMP1")), ef = Records(dir.file("fast.TMP1"));
  const std::vector<double> x = Records(dir.file("exact.TMP2")), xf = Records(dir.file("fast.TMP2"));
  ASSERT_EQ(e.size(), 1200u);
  ASSERT_EQ(ef.size(), 1200u);
  int negative = 0, stable = 0;
  for (size_t i = 0; i < e.size(); ++i) {
    if (!(e[i] < -0.05)) continue;
    ++negative;
    if (std::fabs(x[i] - xf[i]) > 1e-9) continue;
    ++stable;
    EXPECT_NEAR(ef[i], e[i], 1e-9) << "pixel " << i;
  }
  EXPECT_GE(stable * 10, negative * 8);
  EXPECT_GT(negative, 50);
  EXPECT_NE(x, xf);
}

}  // namespace
}  // namespace vantorel
