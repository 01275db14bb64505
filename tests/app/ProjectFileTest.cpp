#include <gtest/gtest.h>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "core/EngineHarness.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::Records;
using test::WriteBytes;

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp1.Create(dir.file("p.TMP1"));
    tmp2.Create(dir.file("p.TMP2"));
    params = DefaultCalcParams();
    params.PictureWidth = 150, params.PictureHeight = 100, params.Reserved[86] = 0x5A;
    params.ProgressColumn = 7, params.ProgressRow = 80;  // deriving paused: both as they stand
    params.State = StateDerivingPaused, params.IterationsDone = 156;
  }

  // Fills both data files with n distinguishable records.
  void FillData(int64_t n) {
    std::vector<double> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
    for (size_t k = 0; k < a.size(); ++k) a[k] = -0.001 * double(k), b[k] = 0.5 + 1e-6 * double(k);
    tmp1.Write(a.data(), a.size());
    tmp2.Write(b.data(), b.size());
  }

  ProjectProgress Recorder() {
    stages.clear(), bar.clear();
    return {[this](const std::string& s) { stages.push_back(s); }, [this](int p) { bar.push_back(p); }};
  }

  test::TempDir dir;
  PixelDataFile tmp1, tmp2;
  TCalcParams params;
  std::vector<std::string> stages;
  std::vector<int> bar;
};

TEST_F(ProjectFileTest, LayoutIsBlockThenBothDataFilesAndLoadsBackFromTheEnd) {
  FillData(12345);  // more than one chunk
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2, Recorder());
  EXPECT_EQ(stages, (std::vector<std::string>{"saving parameters...", "saving data..."}));
  // Two chunks per file: 10000 of 12345 records is 40.5 %, rounded.
  EXPECT_EQ(bar, (std::vector<int>{41, 50, 91, 100, 0}));
  const std::vector<double> d1 = Records(tmp1), d2 = Records(tmp2);
  std::vector<uint8_t> expected = EncodeParameterBlock(params, BlockForm::Project, 12345);
  for (const std::vector<double>* d : {&d1, &d2}) {
    const auto* p = reinterpret_cast<const uint8_t*>(d->data());
    expected.insert(expected.end(), p, p + 8 * d->size());
  }
  auto bytes = ReadBytes(dir.file("a.LPr"));
  ASSERT_EQ(bytes, expected);
  // Extra bytes between block and data do not matter: the loader never needs the block length.
  bytes.insert(bytes.begin() + static_cast<long>(ParameterBlockLength(params)), 16, 0xEE);
  WriteBytes(dir.file("b.LPr"), bytes);
  for (const char* name : {"a.LPr", "b.LPr"}) {
    SCOPED_TRACE(name);
    PixelDataFile n1, n2;
    n1.Create(dir.file("n.TMP1"));
    n2.Create(dir.file("n.TMP2"));
    // 12345 of 15000 pixels: the paused derivation goes on as a first run from pixel 12345.
    TCalcParams expected = params;
    expected.State = StateInitialised, expected.ProgressColumn = 45, expected.ProgressRow = 82;
    expected.IterationsDone = 0;  // a first run rests on no earlier iterations
    EXPECT_EQ(LoadProject(dir.file(name), n1, n2, Recorder()), expected);
    EXPECT_EQ(Records(n1), d1);
    EXPECT_EQ(Records(n2), d2);
    EXPECT_EQ(stages, (std::vector<std::string>{"lade Parameter...", "lade Daten...", "erstelle Vorschau..."}));
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.back(), 0);
  }
}

TEST_F(ProjectFileTest, ProjectWithoutDataIsTheBlockAloneAndAParameterFileLoadsAsOne) {
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2);
  EXPECT_EQ(ReadBytes(dir.file("a.LPr")), EncodeParameterBlock(params, BlockForm::Project, 0));
  SaveParameterFile(dir.file("b.Par"), params);
  FillData(3);
  EXPECT_EQ(LoadProject(dir.file("b.Par"), tmp1, tmp2).State, 0);
  EXPECT_EQ(tmp1.RecordCount(), 0);
  EXPECT_EQ(tmp2.RecordCount(), 0);
}

// A crash or a failed write between the two files leaves them of unequal length: the shorter is
// the extent of the data, and the project goes on from there.
TEST_F(ProjectFileTest, DataFilesOfUnequalLengthSaveTheShorterExtent) {
  params.State = StatePaused, params.ProgressColumn = 10, params.ProgressRow = 0, params.IterationsDone = 0;
  for (const bool longerFirst : {true, false}) {
    SCOPED_TRACE(longerFirst);
    tmp1.Clear(), tmp2.Clear();
    FillData(8);
    const double x = 1;
    (longerFirst ? tmp1 : tmp2).WriteAt(8, &x, 1);
    (longerFirst ? tmp1 : tmp2).WriteAt(9, &x, 1);
    EXPECT_EQ(SaveProject(dir.file("a.LPr"), params, tmp1, tmp2), 8);
    PixelDataFile n1, n2;
    n1.Create(dir.file("n.TMP1")), n2.Create(dir.file("n.TMP2"));
    const TCalcParams loaded = LoadProject(dir.file("a.LPr"), n1, n2);
    EXPECT_TRUE(n1.RecordCount() == 8 && n2.RecordCount() == 8);
    EXPECT_TRUE(loaded.State == StatePaused && loaded.ProgressColumn == 8 && loaded.ProgressRow == 0);
  }
}

}  // namespace
}  // namespace vantorel
