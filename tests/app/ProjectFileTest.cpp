#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp1.Create(dir.file("p.TMP1"));
    tmp2.Create(dir.file("p.TMP2"));
    params = DefaultCalcParams();
    params.PictureWidth = 150;
    params.PictureHeight = 100;
    params.ProgressColumn = 7;
    params.ProgressRow = 80;
    params.State = StateDerivingPaused;
    params.IterationsDone = 156;
    params.Reserved[86] = 0x5A;
  }

  // Fills both data files with n distinguishable records.
  void FillData(int64_t n) {
    std::vector<double> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) {
      a[k] = -0.001 * double(k);
      b[k] = 0.5 + 1e-6 * double(k);
    }
    tmp1.Write(a.data(), a.size());
    tmp2.Write(b.data(), b.size());
  }

  std::vector<double> Records(PixelDataFile& f) {
    std::vector<double> v(static_cast<size_t>(f.RecordCount()));
    f.ReadAt(0, v.data(), v.size());
    return v;
  }

  TempDir dir;
  PixelDataFile tmp1, tmp2;
  TCalcParams params;
};

TEST_F(ProjectFileTest, LayoutIsBlockThenBothDataFiles) {
  FillData(12345);  // more than one chunk
  std::vector<int> bar;
  std::vector<std::string> stages;
  SaveProject(
      dir.file("a.LPr"), params, tmp1, tmp2,
      {[&](const std::string& s) { stages.push_back(s); }, [&](int p) { bar.push_back(p); }});
  const std::vector<uint8_t> block = EncodeParameterBlock(params, BlockForm::Project, 12345);
  const auto bytes = ReadBytes(dir.file("a.LPr"));
  ASSERT_EQ(bytes.size(), block.size() + 2 * 12345 * 8);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin()));
  double first2, last1;
  std::memcpy(&last1, bytes.data() + block.size() + 12344 * 8, 8);
  std::memcpy(&first2, bytes.data() + block.size() + 12345 * 8, 8);
  EXPECT_EQ(last1, -0.001 * 12344);
  EXPECT_EQ(first2, 0.5);
  EXPECT_EQ(stages, (std::vector<std::string>{"saving parameters...", "saving data..."}));
  // Two chunks per file: 10000 of 12345 records is 40.5 %, rounded.
  EXPECT_EQ(bar, (std::vector<int>{41, 50, 91, 100, 0}));
}

TEST_F(ProjectFileTest, LoadsBackBlockAndData) {
  FillData(15000);
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2);
  const std::vector<double> d1 = Records(tmp1), d2 = Records(tmp2);
  PixelDataFile n1, n2;
  n1.Create(dir.file("n.TMP1"));
  n2.Create(dir.file("n.TMP2"));
  std::vector<std::string> stages;
  int lastBar = -1;
  const TCalcParams loaded = LoadProject(
      dir.file("a.LPr"), n1, n2,
      {[&](const std::string& s) { stages.push_back(s); }, [&](int p) { lastBar = p; }});
  EXPECT_EQ(loaded, params);
  EXPECT_EQ(Records(n1), d1);
  EXPECT_EQ(Records(n2), d2);
  EXPECT_EQ(stages, (std::vector<std::string>{"lade Parameter...", "lade Daten...",
                                              "erstelle Vorschau..."}));
  EXPECT_EQ(lastBar, 0);
}

TEST_F(ProjectFileTest, ProjectWithoutDataIsTheBlockAlone) {
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2);
  EXPECT_EQ(ReadBytes(dir.file("a.LPr")), EncodeParameterBlock(params, BlockForm::Project, 0));
  // A parameter file loads as a project without data.
  SaveParameterFile(dir.file("b.Par"), params);
  FillData(3);
  const TCalcParams p = LoadProject(dir.file("b.Par"), tmp1, tmp2);
  EXPECT_EQ(p.State, 0);
  EXPECT_EQ(tmp1.RecordCount(), 0);
  EXPECT_EQ(tmp2.RecordCount(), 0);
}

TEST_F(ProjectFileTest, DataAreFoundFromTheEndOfTheFile) {
  // Extra bytes between block and data do not matter: the loader never needs the block length.
  FillData(4);
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2);
  auto bytes = ReadBytes(dir.file("a.LPr"));
  const size_t h = ParameterBlockLength(params);
  bytes.insert(bytes.begin() + static_cast<long>(h), 16, 0xEE);
  WriteBytes(dir.file("b.LPr"), bytes);
  const std::vector<double> d1 = Records(tmp1);
  LoadProject(dir.file("b.LPr"), tmp1, tmp2);
  EXPECT_EQ(Records(tmp1), d1);
}

TEST_F(ProjectFileTest, RecordCountThatDoesNotFitIsDateifehler) {
  FillData(10);
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2);
  const auto good = ReadBytes(dir.file("a.LPr"));
  const size_t q =
      40 + params.FormulaText.size() + params.Sequence.size() + 69 + 12 * params.ColorList.size();
  for (int32_t bad : {11, 1000, INT32_MAX, -1, -1000}) {
    auto bytes = good;
    std::memcpy(bytes.data() + q + 117, &bad, 4);
    WriteBytes(dir.file("b.LPr"), bytes);
    FillData(2);
    try {
      LoadProject(dir.file("b.LPr"), tmp1, tmp2);
      ADD_FAILURE() << bad;
    } catch (const FormatError& e) {
      EXPECT_STREQ(e.what(), "Dateifehler!");
    }
    EXPECT_EQ(tmp1.RecordCount(), 0);  // a failed load leaves the files empty
    EXPECT_EQ(tmp2.RecordCount(), 0);
  }
}

TEST_F(ProjectFileTest, MalformedAndMissingFilesLeaveTheDataEmpty) {
  FillData(5);
  std::vector<uint8_t> bytes = EncodeParameterBlock(params, BlockForm::Project, 0);
  const int32_t negative = -7;
  std::memcpy(bytes.data() + 4, &negative, 4);
  WriteBytes(dir.file("neg.LPr"), bytes);
  EXPECT_THROW(LoadProject(dir.file("neg.LPr"), tmp1, tmp2), FormatError);
  EXPECT_EQ(tmp1.RecordCount(), 0);
  FillData(5);
  bytes.resize(50);
  WriteBytes(dir.file("cut.LPr"), bytes);
  EXPECT_THROW(LoadProject(dir.file("cut.LPr"), tmp1, tmp2), FormatError);
  EXPECT_EQ(tmp2.RecordCount(), 0);
  EXPECT_THROW(LoadProject(dir.file("missing.LPr"), tmp1, tmp2), IoError);
}

TEST_F(ProjectFileTest, DataFilesOfDifferentLengthAreNotSaved) {
  FillData(5);
  const double x = 1;
  tmp1.WriteAt(5, &x, 1);
  WriteBytes(dir.file("a.LPr"), {'o', 'l', 'd'});
  EXPECT_THROW(SaveProject(dir.file("a.LPr"), params, tmp1, tmp2), FormatError);
  EXPECT_EQ(ReadBytes(dir.file("a.LPr")), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

}  // namespace
}  // namespace vantorel
