// Loading projects: every field checked before it is trusted, state and progress fitted to the
// data; and recovery of a project file from left-over temporary files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/Recovery.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<unsigned char>;

// The default block (F = 18, S = 12, C = 5) on a 20 x 10 picture: Q = 40 + 30 + 69 + 60 = 199.
constexpr size_t kQ = 199;
constexpr int32_t kW = 20, kH = 10;

TCalcParams SmallProject() {
  TCalcParams p = DefaultCalcParams();
  p.PictureWidth = kW, p.PictureHeight = kH;
  return p;
}

// A project file with n records in each part: TMP1 record k is -k, TMP2 record k is k + 0.5.
Bytes ProjectBytes(const TCalcParams& p, int32_t n) {
  const std::vector<uint8_t> block = EncodeParameterBlock(p, BlockForm::Project, n);
  Bytes b(block.begin(), block.end());
  for (int part = 0; part < 2; ++part)
    for (int32_t k = 0; k < n; ++k) {
      const double v = part == 0 ? -double(k) : double(k) + 0.5;
      const auto* raw = reinterpret_cast<const unsigned char*>(&v);
      b.insert(b.end(), raw, raw + 8);
    }
  return b;
}

void Put(Bytes& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); }

class ProjectLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp1.Create(dir.file("w.TMP1"));
    tmp2.Create(dir.file("w.TMP2"));
  }
  // Loads bytes as a project file; returns the error text, or "" when it loaded.
  std::string Load(const Bytes& bytes, TCalcParams* out = nullptr) {
    WriteBytes(dir.file("in.LPr"), bytes);
    const double old[2] = {7, 8};  // what a failure must not leave behind
    tmp1.Write(old, 2), tmp2.Write(old, 2);
    try {
      TCalcParams p = LoadProject(dir.file("in.LPr"), tmp1, tmp2);
      if (out) *out = p;
      return "";
    } catch (const FormatError& e) {
      EXPECT_EQ(tmp1.RecordCount() + tmp2.RecordCount(), 0) << e.what();
      return e.what();
    }
  }

  test::TempDir dir;
  PixelDataFile tmp1, tmp2;
};

TEST_F(ProjectLoadTest, EveryFieldIsCheckedBeforeTheDataAreTouched) {
  const Bytes good = ProjectBytes(SmallProject(), 30);
  struct Case { size_t at; int32_t value; const char* fragment; };
  const Case cases[] = {
      {8, 1000, "larger than the file"},       // colour count against the file
      {0, 1 << 30, "larger than the file"},    // formula length against the file
      {12, 6, "fixed formula index 6"},
      {12, -2, "fixed formula index -2"},
      {40 + 18 + 12 + 61, 9, "picture size 9 x 10"},
      {40 + 18 + 12 + 65, 100001, "picture size 20 x 100001"},
      {kQ + 8, kW + 1, "progress position"},
      {kQ + 12, kH + 1, "progress position"},
      {kQ + 117, 31, "Dateifehler!"},          // 2 * 31 records reach into the block
      {kQ + 117, -1, "Dateifehler!"},
      {kQ + 117, INT32_MAX, "Dateifehler!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.at << " value " << c.value);
    Bytes b = good;
    Put(b, c.at, c.value);
    const std::string what = Load(b);
    EXPECT_NE(what.find(c.fragment), std::string::npos) << what;
  }
  // Blocks that are well formed but cannot be computed.
  TCalcParams noSequence = SmallProject(), noColours = SmallProject();
  noSequence.SetSequence({}), noColours.SetColors({});
  EXPECT_NE(Load(ProjectBytes(noSequence, 3)).find("AB-sequence is empty"), std::string::npos);
  EXPECT_NE(Load(ProjectBytes(noColours, 3)).find("colour list is empty"), std::string::npos);
  // Progress (0, row 10) is the end of the picture; (1, row 10) lies behind it.
  Bytes end = good, behind = good;
  Put(end, kQ + 12, kH), Put(behind, kQ + 12, kH), Put(behind, kQ + 8, 1);
  EXPECT_EQ(Load(end), "");
  EXPECT_NE(Load(behind).find("progress position"), std::string::npos);
  // More records than pixels: refused by name, even when the file holds them.
  TCalcParams tiny = SmallProject();
  EXPECT_NE(Load(ProjectBytes(tiny, kW * kH + 1)).find("201 pixel records"), std::string::npos);
  EXPECT_EQ(Load(ProjectBytes(tiny, kW * kH)), "");
}

TEST_F(ProjectLoadTest, StateAndProgressFitTheData) {
  struct Case { uint8_t state; int32_t column, row, records; uint8_t wantState; int32_t wantColumn, wantRow; };
  const Case cases[] = {
      {StateFinished, 0, 0, 200, StateFinished, 0, 0},        // complete: as stored
      {StateFinished, 0, 0, 57, StateInitialised, 17, 2},     // 57 of 200: interrupted at 57
      {StateDeriving, 5, 5, 0, StateInitialised, 0, 0},
      {StateDerivingPaused, 5, 5, 200, StateDerivingPaused, 5, 5},
      {StatePaused, 7, 3, 200, StatePaused, 7, 3},            // stored position first
      {StatePaused, 7, 3, 45, StatePaused, 5, 2},             // missing pixels first
      {StateRunning, kW, 1, 40, StateRunning, kW, 1},         // behind row 1's end: kept
      {StateInitialised, 0, 0, 0, StateInitialised, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.state) << " at " << c.column << "," << c.row << " with "
                                    << c.records);
    TCalcParams p = SmallProject();
    p.State = c.state, p.ProgressColumn = c.column, p.ProgressRow = c.row;
    TCalcParams loaded;
    ASSERT_EQ(Load(ProjectBytes(p, c.records), &loaded), "");
    EXPECT_EQ(loaded.State, c.wantState);
    EXPECT_EQ(loaded.ProgressColumn, c.wantColumn);
    EXPECT_EQ(loaded.ProgressRow, c.wantRow);
    EXPECT_EQ(tmp1.RecordCount(), c.records);
  }
  const uint8_t mapped[6] = {0, 0, 0, 3, 3, 3};
  for (uint8_t s = 0; s < 6; ++s) EXPECT_EQ(MapLoadedState(s), mapped[s]) << int(s);
}

TEST_F(ProjectLoadTest, ParameterFileWithoutRecordCountLoadsAsProjectWithoutData) {
  Bytes b = ProjectBytes(SmallProject(), 0);
  b.resize(kQ + 117);  // ends right after the reserved bytes
  TCalcParams loaded;
  EXPECT_EQ(Load(b, &loaded), "");
  EXPECT_EQ(loaded, SmallProject());
  EXPECT_EQ(tmp1.RecordCount(), 0);
  WriteBytes(dir.file("short.Par"), b);
  EXPECT_EQ(LoadParameterFile(dir.file("short.Par")), SmallProject());
  b.pop_back();  // one reserved byte short
  EXPECT_NE(Load(b).find("ends inside"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Recovery

class RecoveryTest : public ::testing::Test {
 protected:
  // A left-over set in folder "left" (TMP0 of a w x h picture, data files of n1 and n2 bytes);
  // recovery writes into folder "here".
  void LeaveSet(int32_t w, int32_t h, size_t bytes1, size_t bytes2) {
    std::filesystem::create_directories(dir.path() / "left");
    std::filesystem::create_directories(dir.path() / "here");
    params = DefaultCalcParams();
    params.PictureWidth = w, params.PictureHeight = h;
    SaveParameterFile(Left("new project 1.TMP0"), params);
    for (const auto& [name, size] : {std::pair{"new project 1.TMP1", bytes1}, {"new project 1.TMP2", bytes2}}) {
      Bytes b(size);
      for (size_t k = 0; k < size; ++k) b[k] = static_cast<unsigned char>(k * 7 + size);
      WriteBytes(Left(name), b);
    }
  }
  std::string Left(const std::string& name) const { return dir.file("left/" + name); }
  std::string Here(const std::string& name) const { return dir.file("here/" + name); }
  RecoveryResult Recover(std::vector<std::string>* stages = nullptr) {
    ProjectProgress progress;
    if (stages) progress.Stage = [stages](const std::string& s) { stages->push_back(s); };
    return RecoverProject(Left("new project 1.TMP0"), dir.file("here"), progress);
  }
  size_t Entries(const std::string& folder) const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path() / folder), {}));
  }

  test::TempDir dir;
  TCalcParams params;
};

TEST_F(RecoveryTest, WholeRecordsOfTheShorterFileAndTheContinuationPoint) {
  struct Case { int32_t w, h; size_t bytes1, bytes2; int32_t records, column, row; uint8_t state; };
  const Case cases[] = {
      {200, 10, 1050 * 8, 1100 * 8 + 3, 1050, 50, 5, StateInitialised},   // continue at 50 of row 5
      {200, 10, 1050 * 8 + 5, 1050 * 8 + 7, 1050, 50, 5, StateInitialised},  // partial records dropped
      {20, 10, 200 * 8, 260 * 8, 200, 0, 0, StateFinished},              // whole picture: finished
      {20, 10, 300 * 8, 300 * 8, 200, 0, 0, StateFinished},              // clamped to the pixels
      {20, 10, 0, 64, 0, 0, 0, StateInitialised},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes1 << " / " << c.bytes2);
    std::filesystem::remove_all(dir.path() / "here");
    LeaveSet(c.w, c.h, c.bytes1, c.bytes2);
    std::vector<std::string> stages;
    const RecoveryResult r = Recover(&stages);
    EXPECT_EQ(stages, (std::vector<std::string>{"restoring parameterfile", "restoring data"}));
    EXPECT_EQ(r.Message, "new project 1.LPr successfully restored.");
    EXPECT_EQ(r.Target, Here("new project 1.LPr"));
    EXPECT_EQ(r.Records, c.records);

    // The file is the block (with the continuation point and N) and 8 * N bytes of each file.
    TCalcParams expected = params;
    expected.ProgressColumn = c.column, expected.ProgressRow = c.row, expected.State = c.state;
    if (c.state == StateFinished) expected.IterationsDone = expected.Iterations;
    Bytes want;
    const auto block = EncodeParameterBlock(expected, BlockForm::Project, c.records);
    want.insert(want.end(), block.begin(), block.end());
    for (const char* name : {"new project 1.TMP1", "new project 1.TMP2"}) {
      const Bytes data = ReadBytes(Left(name));
      want.insert(want.end(), data.begin(), data.begin() + 8 * c.records);
    }
    EXPECT_EQ(ReadBytes(r.Target), want);
    EXPECT_EQ(Entries("here"), 1u);  // no temporary file left

    PixelDataFile t1, t2;
    t1.Create(Here("t.TMP1")), t2.Create(Here("t.TMP2"));
    EXPECT_EQ(LoadProject(r.Target, t1, t2), expected);  // and it loads as it was written
    EXPECT_EQ(t1.RecordCount(), c.records);
  }
}

TEST_F(RecoveryTest, RefusalsWriteNothingAndMissingDataGiveParametersOnly) {
  LeaveSet(200, 10, 80, 80);
  WriteBytes(Here("new project 1.LPr"), {'o', 'l', 'd'});
  try {
    Recover();
    ADD_FAILURE() << "an existing project file was replaced";
  } catch (const FormatError& e) {
    EXPECT_STREQ(e.what(), "error: new project 1.LPr already exists!");
  }
  EXPECT_EQ(ReadBytes(Here("new project 1.LPr")), (Bytes{'o', 'l', 'd'}));
  std::filesystem::remove(Here("new project 1.LPr"));

  // A TMP0 that is not a usable parameter block: nothing is written.
  TCalcParams noColours = params;
  noColours.SetColors({});
  SaveParameterFile(Left("new project 1.TMP0"), noColours);
  try {
    Recover();
    ADD_FAILURE() << "a TMP0 without colours was recovered";
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("colour list is empty"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Entries("here"), 0u);
  EXPECT_THROW(RecoverProject(Left("gone.TMP0"), dir.file("here")), IoError);
  EXPECT_EQ(Entries("here"), 0u);

  // Without its second data file the set gives a project of the parameters alone.
  LeaveSet(200, 10, 80, 80);
  std::filesystem::remove(Left("new project 1.TMP2"));
  const RecoveryResult r = Recover();
  EXPECT_EQ(r.Message, kRecoveryDataError);
  EXPECT_FALSE(r.DataRestored);
  EXPECT_EQ(ReadBytes(r.Target), ProjectBytes(params, 0));
  EXPECT_EQ(RecoveredProjectName("d/x.y.TMP0"), "x.y.LPr");
}

}  // namespace
}  // namespace vantorel
