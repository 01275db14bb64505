// The rules behind the project window's page: picture sizes, the side ratio, iteration counts
// and the undo steps of changed fields.
#include <gtest/gtest.h>

#include "app/IterationCounts.h"
#include "app/PageSteps.h"
#include "app/PictureRatio.h"
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

TEST(PictureRatio, SetsTheSideOnlyFromTwoNumbersThatGiveAPictureSize) {
  struct Case {
    int side;
    const char* numerator;
    const char* denominator;
    int expected;  // -1: both sides stay
    const char* problem;
  } cases[] = {
      {194, "0,0105", "0,0132", 154, ""},   // the default region
      {25, "1", "2", 12, ""},               // 12,5: halves to even
      {27, "1", "2", 14, ""},               // 13,5
      {194, "1000", "0,0132", 100000, ""},  // limited to the spin edit's range
      {194, "0,000001", "1", 10, ""},
      {154, "-0,0132", "-0,0105", 194, ""},                                 // a mirrored region keeps its ratio
      {154, "0", "0,0105", -1, "width is 0, which gives no picture size"},  // "0" of "0,0132"
      {154, "-", "0,0105", -1, "width: \"-\" is not a number"},
      {154, "0.0132", "0,0105", -1, "width: \"0.0132\" is not a number"},
      {154, "0,0132", "", -1, "height: \"\" is not a number"},
      {154, "0,0132", "0", -1, "height is 0"},
      {154, "-0,0132", "0,0105", -1, "width and height differ in sign"},
      {154, "1E300", "1E-300", -1, "give no usable ratio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.numerator) + " / " + c.denominator);
    const RatioResult r = KeepPictureRatio(c.side, c.numerator, c.denominator, "width", "height", 10, 100000);
    EXPECT_EQ(r.Side.value_or(-1), c.expected);
    EXPECT_NE(r.Problem.find(c.problem), std::string::npos) << r.Problem;
    EXPECT_EQ(r.Side.has_value(), r.Problem.empty());
    if (!r.Side) {
      EXPECT_NE(r.Problem.find("Both picture sizes were left as they are."), std::string::npos);
    }
  }
}

TEST(PageSteps, ChangedFieldsNameTheStepAndTellWhetherThePictureIsLeft) {
  const PageFields before{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}, {"SpinEdit4", "300"}};
  struct Row {
    PageFields after;
    std::vector<std::string> changed;
    std::string name;
  };
  const Row rows[] = {
      {before, {}, "change nothing"},
      {{{"Edit1", "AAB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}, {"SpinEdit4", "300"}}, {"Edit1"}, "change AB-sequence"},
      {{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "800"}, {"SpinEdit4", "600"}},
       {"SpinEdit3", "SpinEdit4"},
       "change picture width and picture height"},
      {{{"Edit1", "B"}, {"Edit3", "1"}, {"SpinEdit3", "1"}, {"SpinEdit4", "300"}},
       {"Edit1", "Edit3", "SpinEdit3"},
       "change several values"},
      {{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}}, {"SpinEdit4"}, "change picture height"},
      {{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}, {"SpinEdit4", "300"}, {"Zz", "1"}}, {"Zz"}, "change Zz"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ChangedFields(before, r.after), r.changed) << r.name;
    EXPECT_EQ(PageStepName(r.changed), r.name);
  }
  EXPECT_EQ(FieldLabel("colors"), "colours");

  // A step leaves the picture when one of its fields shows the value the picture was made from.
  const PageFields applied{{"Edit1", "AB"}, {"colors", "x"}};
  EXPECT_TRUE(StepLeavesPicture({"Edit1"}, {{"Edit1", "AB"}}, applied));
  EXPECT_FALSE(StepLeavesPicture({"Edit1"}, {{"Edit1", "AAB"}}, applied));
  EXPECT_FALSE(StepLeavesPicture({"Edit3"}, {{"Edit3", "0"}}, applied));  // never applied
  EXPECT_TRUE(StepLeavesPicture({"Edit3", "colors"}, {{"Edit3", "1"}, {"colors", "x"}}, applied));
  EXPECT_EQ(LeavePictureQuestion("change colour", true).substr(0, 22), "Undo \"change colour\"?\n");
  EXPECT_EQ(LeavePictureQuestion("change colour", false).substr(0, 4), "Redo");
}

}  // namespace
}  // namespace vantorel
