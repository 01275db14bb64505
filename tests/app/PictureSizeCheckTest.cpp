#include <gtest/gtest.h>

#include "app/IterationCounts.h"
#include "app/PictureSizeCheck.h"

namespace vantorel {
namespace {

constexpr uint64_t GB = uint64_t(1) << 30;

TEST(PictureSizeCheck, NeedsMemoryForTwoImagesAndDiskForTwoDataFiles) {
  // 29333 x 29333: bitmap rows of 88000 bytes (87999 padded) plus 4 bytes a pixel shown;
  // 16 bytes a pixel on disk.
  const PictureNeeds n = NeedsOfPicture(29333, 29333);
  EXPECT_EQ(n.MemoryBytes, uint64_t(88000) * 29333 + uint64_t(29333) * 29333 * 4);
  EXPECT_EQ(n.DiskBytes, uint64_t(29333) * 29333 * 16);
  EXPECT_EQ(ByteText(n.MemoryBytes), "5,6 GB");
  EXPECT_EQ(ByteText(n.DiskBytes), "12,8 GB");
  EXPECT_EQ(ByteText(512), "512 bytes");
  EXPECT_EQ(ByteText(1536), "1,5 KB");
}

TEST(PictureSizeCheck, TakesSmallSizesAsksAboutLargeOnesAndRefusesWhatDoesNotFit) {
  const uint64_t screen = 1920 * 1080;
  const MachineRoom plenty{64 * GB, 500 * GB};
  struct Case {
    int32_t width, height;
    MachineRoom room;
    SizeVerdict verdict;
    std::vector<std::string> said;
  };
  using enum SizeVerdict;
  const MachineRoom mem{4 * GB, 500 * GB}, disk{64 * GB, 10 * GB};
  const Case cases[] = {
      {194, 154, plenty, Take, {}},
      {194, 154, {1000, 500 * GB}, Refuse, {"194 x 154 pixels does not fit into memory"}},
      {3840, 2160, plenty, Take, {}},  // exactly four screens
      {3841, 2160, plenty, Ask, {"3841 x 2160 pixels is larger than four screens", "about 2h 0m 0s", "anyway?"}},
      {29333, 29333, plenty, Ask, {"5,6 GB of memory and 12,8 GB of disk space"}},
      {29333, 29333, mem, Refuse, {"not fit into memory", "free are 4,0 GB of memory and 500,0 GB", "left as it was"}},
      {29333, 29333, disk, Refuse, {"not fit into the temporary directory", "12,8 GB of disk", "10,0 GB in the temp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    int estimates = 0;
    const SizeJudgement j = JudgePictureSize(c.width, c.height, screen, c.room, [&]() -> std::optional<double> {
      ++estimates;
      return 7200.0;
    });
    EXPECT_EQ(j.Verdict, c.verdict);
    EXPECT_EQ(j.Text.empty(), c.verdict == SizeVerdict::Take);
    for (const std::string& s : c.said) EXPECT_NE(j.Text.find(s), std::string::npos) << s << " in " << j.Text;
    EXPECT_EQ(estimates, c.verdict == SizeVerdict::Ask ? 1 : 0);  // the estimate costs time
  }
  // Without an estimate the question leaves the time out.
  const SizeJudgement j = JudgePictureSize(5000, 5000, screen, plenty, [] { return std::nullopt; });
  EXPECT_TRUE(j.Verdict == SizeVerdict::Ask && j.Text.find("about") == std::string::npos) << j.Text;
}

TEST(IterationCounts, PositiveMultiplesStayAndTheBlocksCountStaysWhileShown) {
  const int32_t rounded[][3] = {{150, 12, 156}, {144, 12, 144}, {156, 12, 156}, {1, 1, 1}, {5, 3, 6}, {0, 12, 12}};
  for (const auto& c : rounded) EXPECT_EQ(RoundedIterations(c[0], c[1]), c[2]) << c[0] << " with S = " << c[1];
  // spin, block count, block S, S -> gathered
  const int32_t gathered[][5] = {
      {150, 150, 12, 12, 150},  // set by the "iterations" adjustment: stays while shown
      {150, 156, 12, 12, 156},  // typed: rounded
      {150, 150, 12, 7, 154},   // another sequence: rounded for it
      {312, 312, 12, 12, 312},  // a file written before: unchanged
  };
  for (const auto& c : gathered) EXPECT_EQ(GatheredIterations(c[0], c[1], c[2], c[3]), c[4]) << c[0] << " " << c[3];
}

}  // namespace
}  // namespace vantorel
