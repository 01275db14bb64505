#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

namespace vantorel {
namespace {

// --fast reaches the kernels: formula 2's orbits follow the vector library's sines (how close
// the exponents stay is the kernels' test), formula 1 has none and keeps its bits.
TEST(Renderer, FastTrigonometryChangesOnlyTheTrigonometricFormulas) {
  test::TempDir dir;
  for (const std::string formula : {"1", "2"}) {
    for (const std::string mode : {"exact", "fast"}) {
      const std::string command = "cd '" + dir.path().string() + "' && '" VANTOREL_RENDER_EXE "' -q --size 20x10 --fixed " +
                                  formula + " --data " + mode + formula + (mode == "fast" ? " --fast" : "");
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
  }
  EXPECT_EQ(test::ReadBytes(dir.file("exact1.TMP2")), test::ReadBytes(dir.file("fast1.TMP2")));
  EXPECT_NE(test::ReadBytes(dir.file("exact2.TMP2")), test::ReadBytes(dir.file("fast2.TMP2")));
  EXPECT_EQ(test::ReadBytes(dir.file("fast2.TMP2")).size(), 200u * 8);
}

}  // namespace
}  // namespace vantorel
