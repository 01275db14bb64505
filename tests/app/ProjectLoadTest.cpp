// Project files: the layout saved and loaded back, every field checked before it is trusted,
// state and progress fitted to the data; and recovery of a project file from left-over
// temporary files, up to an engine run that goes on where a crash cut it.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/Recovery.h"
#include "core/EngineHarness.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::Records;
using test::WriteBytes;
using Bytes = std::vector<unsigned char>;

// The default block (F = 18, S = 12, C = 5) on a 20 x 10 picture: P = 70, Q = 199.
constexpr size_t kP = 70, kQ = 199, kNone = SIZE_MAX;
constexpr int32_t kW = 20, kH = 10;

TCalcParams Small(uint8_t state = 0, int32_t column = 0, int32_t row = 0) {
  TCalcParams p = DefaultCalcParams();
  p.PictureWidth = kW, p.PictureHeight = kH, p.State = state, p.ProgressColumn = column, p.ProgressRow = row;
  return p;
}

// The block followed by n records of TMP1 and n of TMP2 (all 0.5).
Bytes ProjectBytes(const TCalcParams& p, int32_t n, size_t at = kNone, int32_t value = 0) {
  const std::vector<uint8_t> block = EncodeParameterBlock(p, BlockForm::Project, n);
  Bytes b(block.begin(), block.end());
  const unsigned char half[8] = {0, 0, 0, 0, 0, 0, 0xE0, 0x3F};  // 0.5, little-endian
  for (int32_t k = 0; k < 2 * n; ++k) b.insert(b.end(), half, half + 8);
  if (at != kNone) std::memcpy(b.data() + at, &value, 4);
  return b;
}

// A pair of fresh data files named base.TMP1 and base.TMP2.
struct DataFiles {
  explicit DataFiles(const std::string& base) { tmp1.Create(base + ".TMP1"), tmp2.Create(base + ".TMP2"); }
  PixelDataFile tmp1, tmp2;
};

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp1.Create(dir.file("p.TMP1")), tmp2.Create(dir.file("p.TMP2"));
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

  // Loads bytes as a project file into data files that hold old records; returns the error
  // text, or "" when it loaded.
  std::string Load(const Bytes& bytes, TCalcParams* out = nullptr) {
    WriteBytes(dir.file("in.LPr"), bytes);
    tmp1.Create(dir.file("w.TMP1")), tmp2.Create(dir.file("w.TMP2"));
    const double old[2] = {7, 8};
    tmp1.Write(old, 2), tmp2.Write(old, 2);
    try {
      const TCalcParams p = LoadProject(dir.file("in.LPr"), tmp1, tmp2);
      if (out) *out = p;
      return "";
    } catch (const FormatError& e) {
      EXPECT_EQ(tmp1.RecordCount() + tmp2.RecordCount(), 0) << e.what();
      return e.what();
    }
  }

  test::TempDir dir;
  PixelDataFile tmp1, tmp2;
  TCalcParams params;
  std::vector<std::string> stages;
  std::vector<int> bar;
};

TEST_F(ProjectFileTest, EveryFieldIsCheckedBeforeItIsTrusted) {
  TCalcParams noSequence = Small(), noColours = Small();
  noSequence.SetSequence({}), noColours.SetColors({});
  Bytes noRecordCount = ProjectBytes(Small(), 0);
  noRecordCount.resize(kQ + 117);  // a parameter file that ends after its reserved bytes
  Bytes cutReserved = noRecordCount;
  cutReserved.pop_back();
  const struct Case {
    Bytes bytes;
    const char* fragment;
  } cases[] = {
      {ProjectBytes(Small(), 30), ""},
      {ProjectBytes(Small(), kW * kH), ""},
      {ProjectBytes(Small(StateRunning, 0, kH), 5), ""},  // the end of the picture
      {noRecordCount, ""},
      {cutReserved, "ends inside"},
      {ProjectBytes(noSequence, 3), "AB-sequence is empty"},
      {ProjectBytes(noColours, 3), "colour list is empty"},
      {ProjectBytes(Small(), 30, 8, 1000), "larger than the file"},
      {ProjectBytes(Small(), 30, 0, 1 << 30), "larger than the file"},
      {ProjectBytes(Small(), 30, 12, 6), "fixed formula index 6"},
      {ProjectBytes(Small(), 30, 12, -2), "fixed formula index -2"},
      {ProjectBytes(Small(), 30, kP + 61, 9), "picture size 9 x 10"},
      {ProjectBytes(Small(), 30, kP + 65, 100001), "picture size 20 x 100001"},
      {ProjectBytes(Small(), 30, kQ + 8, kW + 1), "progress position"},
      {ProjectBytes(Small(StateRunning, 1, kH), 30), "progress position"},  // behind the end
      {ProjectBytes(Small(), 30, 4, -7), "negative"},
      {ProjectBytes(Small(), kW * kH + 1), "201 pixel records"},  // more than the picture has
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fragment);
    const std::string what = Load(c.bytes);
    if (*c.fragment == 0)
      EXPECT_EQ(what, "");
    else
      EXPECT_NE(what.find(c.fragment), std::string::npos) << what;
  }
  // A record count the file cannot hold (2 * 31 records reach into the block).
  for (int32_t bad : {31, 1000, INT32_MAX, -1, -1000})
    EXPECT_EQ(Load(ProjectBytes(Small(), 30, kQ + 117, bad)), kProjectFileError) << bad;
  EXPECT_THROW(LoadProject(dir.file("missing.LPr"), tmp1, tmp2), IoError);
}

TEST_F(ProjectFileTest, StateAndProgressFitTheData) {
  // Stored with IterationsDone 24; a project that goes on with a first run rests on none.
  const struct Case {
    uint8_t state;
    int32_t column, row, records;
    uint8_t wantState;
    int32_t wantColumn, wantRow, wantDone;
  } cases[] = {
      {StateFinished, 0, 0, 200, StateFinished, 0, 0, 24},    // complete: as stored
      {StateFinished, 0, 0, 57, StateInitialised, 17, 2, 0},  // 57 of 200: interrupted at 57
      {StateDeriving, 5, 5, 0, StateInitialised, 0, 0, 0},
      {StateDerivingPaused, 5, 5, 200, StateDerivingPaused, 5, 5, 24},
      {StatePaused, 7, 3, 200, StatePaused, 7, 3, 0},          // the stored position comes first
      {StatePaused, 7, 3, 45, StatePaused, 5, 2, 0},           // the missing pixels come first
      {StateRunning, kW, 1, 40, StateRunning, kW, 1, 0},       // behind row 1's end: kept
      {StateInitialised, 0, 0, 0, StateInitialised, 0, 0, 0},  // as a parameter file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.state) << " at " << c.column << "," << c.row << " with " << c.records);
    TCalcParams loaded, stored = Small(c.state, c.column, c.row);
    stored.IterationsDone = 24;
    ASSERT_EQ(Load(ProjectBytes(stored, c.records), &loaded), "");
    EXPECT_EQ(loaded.State, c.wantState);
    EXPECT_EQ(loaded.ProgressColumn, c.wantColumn);
    EXPECT_EQ(loaded.ProgressRow, c.wantRow);
    EXPECT_EQ(loaded.IterationsDone, c.wantDone);
    EXPECT_TRUE(tmp1.RecordCount() == c.records && tmp2.RecordCount() == c.records);
  }
  // Nothing runs after loading: a run that was going on is shown paused.
  const uint8_t mapped[6] = {0, 2, 2, 3, 5, 5};
  for (uint8_t s = 0; s < 6; ++s) EXPECT_EQ(MapLoadedState(s), mapped[s]) << int(s);
}

TEST_F(ProjectFileTest, LayoutIsBlockThenBothDataFilesAndLoadsBackFromTheEnd) {
  SaveProject(dir.file("a.LPr"), params, tmp1, tmp2);  // without data: the block alone
  EXPECT_EQ(ReadBytes(dir.file("a.LPr")), EncodeParameterBlock(params, BlockForm::Project, 0));
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
    DataFiles n(dir.file("n"));
    // 12345 of 15000 pixels: the paused derivation goes on as a first run from pixel 12345.
    TCalcParams expected = params;
    expected.State = StateInitialised, expected.ProgressColumn = 45, expected.ProgressRow = 82;
    expected.IterationsDone = 0;  // a first run rests on no earlier iterations
    EXPECT_EQ(LoadProject(dir.file(name), n.tmp1, n.tmp2, Recorder()), expected);
    EXPECT_EQ(Records(n.tmp1), d1);
    EXPECT_EQ(Records(n.tmp2), d2);
    EXPECT_EQ(stages, (std::vector<std::string>{"lade Parameter...", "lade Daten...", "erstelle Vorschau..."}));
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.back(), 0);
  }
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
    DataFiles n(dir.file("n"));
    const TCalcParams loaded = LoadProject(dir.file("a.LPr"), n.tmp1, n.tmp2);
    EXPECT_TRUE(n.tmp1.RecordCount() == 8 && n.tmp2.RecordCount() == 8);
    EXPECT_TRUE(loaded.State == StatePaused && loaded.ProgressColumn == 8 && loaded.ProgressRow == 0);
  }
}

// A crashed window's set in folder "left" (TMP0 of a w x h picture, data files of the given
// sizes); recovery writes into folder "here".
class RecoveryTest : public ::testing::Test {
 protected:
  void LeaveSet(int32_t w, int32_t h, size_t bytes1, size_t bytes2) {
    std::filesystem::remove_all(dir.path() / "here");
    std::filesystem::create_directories(dir.path() / "left");
    std::filesystem::create_directories(dir.path() / "here");
    params = DefaultCalcParams();
    params.PictureWidth = w, params.PictureHeight = h;
    SaveParameterFile(dir.file("left/new project 1.TMP0"), params);
    for (const auto& [digit, size] : {std::pair{'1', bytes1}, {'2', bytes2}}) {
      Bytes b(size);
      for (size_t k = 0; k < size; ++k) b[k] = static_cast<unsigned char>(k * 7 + size);
      WriteBytes(dir.file(std::string("left/new project 1.TMP") + digit), b);
    }
  }
  RecoveryResult Recover() { return RecoverProject(dir.file("left/new project 1.TMP0"), dir.file("here")); }
  size_t Entries() const { return size_t(std::distance(std::filesystem::directory_iterator(dir.path() / "here"), {})); }

  test::TempDir dir;
  TCalcParams params;
};

TEST_F(RecoveryTest, WholeRecordsOfTheShorterFileAndTheContinuationPoint) {
  const struct Case {
    int32_t w, h;
    size_t bytes1, bytes2;
    int32_t records, column, row;
    uint8_t state;
  } cases[] = {
      {200, 10, 1050 * 8, 1100 * 8 + 3, 1050, 50, 5, StateInitialised},      // column 50 of row 5
      {200, 10, 1050 * 8 + 5, 1050 * 8 + 7, 1050, 50, 5, StateInitialised},  // partial records dropped
      {20, 10, 200 * 8, 260 * 8, 200, 0, 0, StateFinished},                  // the whole picture
      {20, 10, 300 * 8, 300 * 8, 200, 0, 0, StateFinished},                  // clamped to the pixels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes1 << " / " << c.bytes2);
    LeaveSet(c.w, c.h, c.bytes1, c.bytes2);
    const RecoveryResult r = Recover();
    EXPECT_EQ(r.Message, "new project 1.LPr successfully restored.");
    EXPECT_EQ(r.Target, dir.file("here/new project 1.LPr"));
    // The block with the continuation point and N, then 8 * N bytes of each data file.
    TCalcParams expected = params;
    expected.ProgressColumn = c.column, expected.ProgressRow = c.row, expected.State = c.state;
    if (c.state == StateFinished) expected.IterationsDone = expected.Iterations;
    const auto block = EncodeParameterBlock(expected, BlockForm::Project, c.records);
    Bytes want(block.begin(), block.end());
    for (const char* name : {"left/new project 1.TMP1", "left/new project 1.TMP2"}) {
      const Bytes data = ReadBytes(dir.file(name));
      want.insert(want.end(), data.begin(), data.begin() + 8 * c.records);
    }
    EXPECT_EQ(ReadBytes(r.Target), want);
    EXPECT_EQ(Entries(), 1u);  // no temporary file left beside it
    DataFiles t(dir.file("here/t"));
    EXPECT_EQ(LoadProject(r.Target, t.tmp1, t.tmp2), expected);
  }
}

TEST_F(RecoveryTest, RefusalsWriteNothingAndMissingDataGiveParametersOnly) {
  LeaveSet(200, 10, 80, 80);
  WriteBytes(dir.file("here/new project 1.LPr"), {'o', 'l', 'd'});
  EXPECT_EQ(test::ErrorOf<FormatError>([&] { Recover(); }), "error: new project 1.LPr already exists!");
  EXPECT_EQ(ReadBytes(dir.file("here/new project 1.LPr")), (Bytes{'o', 'l', 'd'}));
  std::filesystem::remove(dir.file("here/new project 1.LPr"));

  TCalcParams noColours = params;  // not a usable parameter block: nothing is written
  noColours.SetColors({});
  SaveParameterFile(dir.file("left/new project 1.TMP0"), noColours);
  EXPECT_THROW(Recover(), FormatError);
  EXPECT_THROW(RecoverProject(dir.file("left/gone.TMP0"), dir.file("here")), IoError);
  EXPECT_EQ(Entries(), 0u);

  LeaveSet(200, 10, 80, 80);  // without its second data file: the parameters alone
  std::filesystem::remove(dir.file("left/new project 1.TMP2"));
  const RecoveryResult r = Recover();
  EXPECT_EQ(r.Message, kRecoveryDataError);
  EXPECT_EQ(ReadBytes(r.Target), ProjectBytes(params, 0));
}

// Runs the engine over the picture from the block's progress position and terminates it from
// outside once the data files hold stopAt records, as a crash would end it.
void ComputeUntil(TCalcParams& p, PixelDataFile& tmp1, PixelDataFile& tmp2, int64_t stopAt) {
  TPicture picture;
  picture.Resize(p.PictureWidth, p.PictureHeight);
  DirectDispatcher direct;
  TRechenThread thread(direct, 2);
  thread.SetFiles(tmp1, tmp2);
  thread.SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
  thread.Setup(p, picture);
  thread.Resume();
  while (!thread.Ended() && tmp1.RecordCount() < stopAt) std::this_thread::sleep_for(std::chrono::microseconds(200));
  thread.Terminate();
  thread.WaitFor();
}

TEST(CrashRecovery, RecoveredProjectContinuesToTheDataOfAnUncutRun) {
  test::EngineProject uncut(120, 90, 1, 120, 1200);
  const test::TempDir& dir = uncut.dir;
  std::filesystem::create_directories(dir.path() / "out");
  const TCalcParams p = uncut.params;
  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  ASSERT_TRUE(uncut.Run(2));
  ASSERT_EQ(uncut.tmp1.RecordCount(), pixels);

  // The window writes TMP0 when the picture is initialised, then the engine fills the data
  // files batch by batch until the process dies; a write cut short leaves part of a record.
  const std::string base = dir.file("new project 1");
  TCalcParams crashed = p;
  WriteTempParameters(base + ".TMP0", crashed);
  {
    DataFiles b(base);
    ComputeUntil(crashed, b.tmp1, b.tmp2, 3000);
    const double partial = 1.0;
    b.tmp1.WriteAt(b.tmp1.RecordCount(), &partial, 1);
  }
  std::filesystem::resize_file(base + ".TMP1", std::filesystem::file_size(base + ".TMP1") - 5);
  const int64_t kept = int64_t(std::filesystem::file_size(base + ".TMP2") / 8);
  ASSERT_GE(kept, 3000);
  ASSERT_LT(kept, pixels);

  const RecoveryResult r = RecoverProject(base + ".TMP0", dir.file("out"));
  EXPECT_EQ(r.Records, kept);  // every record handed over before the cut, none lost

  DataFiles c(dir.file("out/w"));
  TCalcParams loaded = LoadProject(r.Target, c.tmp1, c.tmp2);
  EXPECT_EQ(loaded.State, StateInitialised);
  EXPECT_EQ(int64_t(loaded.ProgressRow) * loaded.PictureWidth + loaded.ProgressColumn, kept);
  ASSERT_TRUE(test::RunEngine(loaded, c.tmp1, c.tmp2, 2));
  EXPECT_EQ(ReadBytes(dir.file("out/w.TMP1")), ReadBytes(dir.file("p.TMP1")));
  EXPECT_EQ(ReadBytes(dir.file("out/w.TMP2")), ReadBytes(dir.file("p.TMP2")));
}

}  // namespace
}  // namespace vantorel
