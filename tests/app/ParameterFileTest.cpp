#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "app/ParameterFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Little-endian fields assembled by hand, independently of the writer.
int32_t IntAt(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
                              uint32_t(b.at(at + 3)) << 24);
}

double RealAt(const std::vector<uint8_t>& b, size_t at) {
  const uint64_t low = uint32_t(IntAt(b, at)), high = uint32_t(IntAt(b, at + 4));
  return std::bit_cast<double>(low | high << 32);
}

void PutInt(std::vector<uint8_t>& b, size_t at, int32_t v) {
  for (int k = 0; k < 4; ++k) b.at(at + k) = static_cast<uint8_t>(uint32_t(v) >> (8 * k));
}

// F = 3, S = 5, C = 2: P = 48, Q = 141, unpadded length 262, padded 264.
constexpr size_t P = 48, Q = 141;

TCalcParams HandBuiltBlock() {
  TCalcParams p;
  p.SetFormula("X*A"), p.SetSequence({0, 1, 1, 0, 1});
  p.SetColors({{0x00112233, -0.25}, {0x00445566, 1.5}});
  p.FixedFormula = 3, p.W = 1.25, p.V = -2.5, p.U = 3.75, p.StartX = 0.5;
  p.CalmDownIterations = 305, p.Iterations = 155, p.SmartIterate = true;
  p.CenterX = 3.959, p.CenterY = 1.189, p.Width = 0.0132, p.Height = 0.0105;
  p.Angle = DegreesToRadians(30), p.PictureWidth = 194, p.PictureHeight = 154;
  p.BelowColor = 0x00FFFFFF, p.AboveColor = 0x00010203, p.ErrorLimit = 0.001, p.AdjustRatio = true;
  p.ProgressColumn = 17, p.ProgressRow = 42, p.State = StatePaused, p.IterationsDone = 310;
  for (size_t k = 0; k < p.Reserved.size(); ++k) p.Reserved[k] = static_cast<uint8_t>(k + 1);
  return p;
}

TEST(ParameterBlockLayout, EveryFieldSitsAtItsOffsetInBothFormsAndDecodesBack) {
  const std::vector<uint8_t> b = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Project, 77);
  ASSERT_EQ(b.size(), 264u);
  struct Field {
    const char* name;
    size_t at;
    char type;
    double value;
  };  // 'i', 'd' or 'b'yte
  const Field fields[] = {{"FormulaLength", 0, 'i', 3},
                          {"SequenceLength", 4, 'i', 5},
                          {"ColorCount", 8, 'i', 2},
                          {"FixedFormula", 12, 'i', 3},
                          {"W", 16, 'd', 1.25},
                          {"V", 24, 'd', -2.5},
                          {"U", 32, 'd', 3.75},
                          {"SequenceSteps", P, 'i', 5},
                          {"StartX", P + 4, 'd', 0.5},
                          {"CalmDown", P + 12, 'i', 305},
                          {"Iterations", P + 16, 'i', 155},
                          {"SmartIterate", P + 20, 'b', 1},
                          {"CenterX", P + 21, 'd', 3.959},
                          {"CenterY", P + 29, 'd', 1.189},
                          {"Width", P + 37, 'd', 0.0132},
                          {"Height", P + 45, 'd', 0.0105},
                          {"Angle", P + 53, 'd', 0.5235987755982988},
                          {"PictureWidth", P + 61, 'i', 194},
                          {"PictureHeight", P + 65, 'i', 154},
                          {"Colour 1", P + 69, 'i', 0x00112233},
                          {"Value 1", P + 73, 'd', -0.25},
                          {"Colour 2", P + 81, 'i', 0x00445566},
                          {"Value 2", P + 85, 'd', 1.5},
                          {"BelowColor", Q, 'i', 0x00FFFFFF},
                          {"AboveColor", Q + 4, 'i', 0x00010203},
                          {"ProgressColumn", Q + 8, 'i', 17},
                          {"ProgressRow", Q + 12, 'i', 42},
                          {"State", Q + 16, 'b', StatePaused},
                          {"IterationsDone", Q + 17, 'i', 310},
                          {"ErrorLimit", Q + 21, 'd', 0.001},
                          {"AdjustRatio", Q + 29, 'b', 1},
                          {"record count", Q + 117, 'i', 77},
                          {"padding", 262, 'b', 0},
                          {"padding", 263, 'b', 0}};
  for (const Field& f : fields) {
    const double stored = f.type == 'i' ? IntAt(b, f.at) : f.type == 'd' ? RealAt(b, f.at) : b.at(f.at);
    EXPECT_EQ(stored, f.value) << f.name << " at " << f.at;
  }
  EXPECT_EQ(std::string(b.begin() + 40, b.begin() + 43), "X*A");
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 43, b.begin() + 48), (std::vector<uint8_t>{0, 1, 1, 0, 1}));
  for (size_t k = 0; k < 87; ++k) EXPECT_EQ(b[Q + 30 + k], k + 1) << "reserved byte " << k;
  const DecodedBlock d = DecodeParameterBlock(b.data(), b.size());
  EXPECT_EQ(d.Params, HandBuiltBlock());
  EXPECT_EQ(d.RecordCount, 77);
  EXPECT_EQ(d.Length, 264u);
  EXPECT_EQ(DecodeParameterBlock(b.data(), 262).Params, d.Params);  // padding need not be there
  // The parameter form differs only by zero progress, state, IterationsDone and record count.
  const std::vector<uint8_t> params = EncodeParameterBlock(d.Params, BlockForm::Parameters, 77);
  ASSERT_EQ(params.size(), b.size());
  for (size_t k = 0; k < b.size(); ++k) {
    const bool zeroed = (k >= Q + 8 && k < Q + 21) || (k >= Q + 117 && k < Q + 121);
    EXPECT_EQ(params[k], zeroed ? 0 : b[k]) << "offset " << k;
  }
}

TEST(ParameterBlockLayout, PaddingIsOneToEightZeroBytesUpToAMultipleOfEight) {
  // With S = C = 0 the unpadded length is 230 + F; F = 0..7 gives every remainder modulo 8.
  for (size_t f = 0; f < 8; ++f) {
    TCalcParams p = HandBuiltBlock();
    p.SetSequence({}), p.SetColors({}), p.SetFormula(std::string(f, 'X'));
    const std::vector<uint8_t> b = EncodeParameterBlock(p, BlockForm::Parameters);
    const size_t unpadded = 230 + f;
    SCOPED_TRACE(f);
    EXPECT_EQ(b.size(), 8 * (unpadded / 8 + 1));  // 8 bytes when already a multiple
    EXPECT_EQ(b.size(), ParameterBlockLength(p));
    for (size_t k = unpadded; k < b.size(); ++k) EXPECT_EQ(b[k], 0);
    // Empty sequence and colour list take no bytes.
    EXPECT_EQ(IntAt(b, 40 + f), 0);                // SequenceSteps right after the formula
    EXPECT_EQ(IntAt(b, 40 + f + 69), 0x00FFFFFF);  // BelowColor right after PictureHeight
    EXPECT_EQ(DecodeParameterBlock(b.data(), b.size()).Length, b.size());
  }
}

TEST(ParameterBlockLayout, InconsistentLengthFieldsAreNotWritten) {
  for (int32_t TCalcParams::*field :
       {&TCalcParams::FormulaLength, &TCalcParams::SequenceSteps, &TCalcParams::ColorCount}) {
    TCalcParams p = HandBuiltBlock();
    p.*field += 1;
    EXPECT_THROW(EncodeParameterBlock(p, BlockForm::Parameters), FormatError);
  }
}

// Every malformed block ends in a FormatError naming the fault, never in a huge allocation
// (std::bad_alloc, std::length_error) or a read past the data.
void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& fragment) {
  try {
    DecodeParameterBlock(bytes.data(), bytes.size());
    ADD_FAILURE() << "accepted; expected a complaint about " << fragment;
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
}

TEST(MalformedBlock, BadFieldsAndEveryTruncationAreRefusedWithTheirReason) {
  const std::vector<uint8_t> good = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Project);
  struct Case {
    size_t at;
    int32_t value;
    const char* fragment;
  };
  std::vector<Case> cases = {{P, 4, "two AB-sequence lengths differ"},
                             {Q + 8, -3, "progress position"},
                             {Q + 8, 195, "progress position"},   // PictureWidth is 194
                             {Q + 12, 155, "progress position"},  // PictureHeight is 154
                             {Q + 16, 6, "state"},
                             // Counts beyond the largest (100000000 rounded to S = 5): the pass
                             // counts and sums would overflow.
                             {P + 16, 100000006, "iteration count 100000006 is larger"},
                             {P + 12, INT32_MAX, "calm-down count 2147483647 is larger"},
                             {P + 16, -5, "iteration count -5 is negative"},
                             // A paused run whose end would take IterationsDone past 2^31 - 1.
                             {Q + 17, INT32_MAX - 154, "155 more would exceed"},
                             {Q + 17, -1, "iterations done -1 is negative"},
                             // The high word of StartX (0.5): infinity and not a number.
                             {P + 8, 0x7FF00000, "start value"},
                             {P + 8, 0x7FF80000, "start value"}};
  for (size_t at : {0u, 4u, 8u}) {  // the three length fields
    cases.push_back({at, -1, "negative"});
    for (int32_t huge : {INT32_MAX, 100000, 300}) cases.push_back({at, huge, ""});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.at << " value " << c.value);
    std::vector<uint8_t> b = good;
    PutInt(b, c.at, c.value);
    ExpectRefused(b, c.fragment);
  }
  // The largest counts, and a finished run whose count only deriving more would overflow, are
  // taken in.
  std::vector<uint8_t> b = good;
  PutInt(b, P + 12, 100000005), PutInt(b, P + 16, 100000005), PutInt(b, Q + 17, INT32_MAX - 1);
  b[Q + 16] = StateFinished;
  EXPECT_EQ(DecodeParameterBlock(b.data(), b.size()).Params.IterationsDone, INT32_MAX - 1);
  // Up to the end of the reserved bytes (258); the record count is not needed.
  for (size_t n = 0; n < 258; ++n)
    ExpectRefused(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)),
                  n < 40 ? "too short" : "ends inside");
  for (size_t n : {258u, 262u}) {
    const DecodedBlock d = DecodeParameterBlock(good.data(), n);
    EXPECT_EQ(d.Params, HandBuiltBlock()) << n;
    EXPECT_EQ(d.RecordCount, 0) << n;
  }
}

TEST(ParameterFileOnDisk, ParameterFilesTmp0AndProjectHeadsLoadBackAndFileErrorsAreReported) {
  TempDir dir;
  TCalcParams p = HandBuiltBlock();
  std::vector<uint8_t> head = EncodeParameterBlock(p, BlockForm::Project, 2);
  head.resize(head.size() + 32, 0x40);
  WriteBytes(dir.file("p.LPr"), head);
  EXPECT_EQ(LoadParameterFile(dir.file("p.LPr")), p);  // progress and state as they stand
  SaveParameterFile(dir.file("a.Par"), p);
  const std::vector<uint8_t> bytes = ReadBytes(dir.file("a.Par"));
  EXPECT_EQ(bytes, EncodeParameterBlock(p, BlockForm::Parameters));
  const TCalcParams loaded = LoadParameterFile(dir.file("a.Par"));
  // No progress or state come back; Reserved is carried from file to file.
  EXPECT_EQ(EncodeParameterBlock(loaded, BlockForm::Project), bytes);
  WriteTempParameters(dir.file("p.TMP0"), p);
  EXPECT_EQ(p.IterationsDone, 0);
  EXPECT_EQ(p.ProgressRow, 42);  // the block keeps its progress; only the file holds 0
  EXPECT_EQ(ReadBytes(dir.file("p.TMP0")), bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no temps
  // File errors are reported clearly.
  EXPECT_THROW(LoadParameterFile(dir.file("missing.Par")), IoError);
  EXPECT_THROW(LoadParameterFile(dir.path().string()), IoError);
  EXPECT_THROW(SaveParameterFile(dir.file("no/such/dir/a.Par"), HandBuiltBlock()), IoError);
  WriteBytes(dir.file("short.Par"), {1, 2, 3});
  EXPECT_THAT(test::ErrorOf<FormatError>([&] { LoadParameterFile(dir.file("short.Par")); }),
              testing::HasSubstr("short.Par"));
  std::vector<uint8_t> b = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Parameters);
  PutInt(b, 8, INT32_MAX / 12);  // a colour list that would overflow and be huge
  WriteBytes(dir.file("huge.Par"), b);
  EXPECT_THROW(LoadParameterFile(dir.file("huge.Par")), FormatError);
}

}  // namespace
}  // namespace vantorel
