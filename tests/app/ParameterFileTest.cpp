#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "app/ParameterFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

int32_t IntAt(const std::vector<uint8_t>& b, size_t offset) {
  // Assembled by hand from little-endian bytes, independently of the writer.
  return static_cast<int32_t>(uint32_t(b.at(offset)) | uint32_t(b.at(offset + 1)) << 8 |
                              uint32_t(b.at(offset + 2)) << 16 | uint32_t(b.at(offset + 3)) << 24);
}

double RealAt(const std::vector<uint8_t>& b, size_t offset) {
  uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | b.at(offset + k);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

void PutInt(std::vector<uint8_t>& b, size_t offset, int32_t v) {
  for (int k = 0; k < 4; ++k) b.at(offset + k) = static_cast<uint8_t>(uint32_t(v) >> (8 * k));
}

// F = 3, S = 5, C = 2: P = 48, Q = 141, unpadded length 262, padded 264.
TCalcParams HandBuiltBlock() {
  TCalcParams p;
  p.SetFormula("X*A");
  p.SetSequence({0, 1, 1, 0, 1});
  p.SetColors({{0x00112233, -0.25}, {0x00445566, 1.5}});
  p.FixedFormula = 3;
  p.W = 1.25;
  p.V = -2.5;
  p.U = 3.75;
  p.StartX = 0.5;
  p.CalmDownIterations = 305;
  p.Iterations = 155;
  p.SmartIterate = true;
  p.CenterX = 3.959;
  p.CenterY = 1.189;
  p.Width = 0.0132;
  p.Height = 0.0105;
  p.Angle = DegreesToRadians(30);
  p.PictureWidth = 194;
  p.PictureHeight = 154;
  p.BelowColor = 0x00FFFFFF;
  p.AboveColor = 0x00010203;
  p.ProgressColumn = 17;
  p.ProgressRow = 42;
  p.State = StatePaused;
  p.IterationsDone = 310;
  p.ErrorLimit = 0.001;
  p.AdjustRatio = true;
  for (size_t k = 0; k < p.Reserved.size(); ++k) p.Reserved[k] = static_cast<uint8_t>(k + 1);
  return p;
}

TEST(ParameterBlockLayout, EveryFieldOfTheProjectFormSitsAtItsOffset) {
  const std::vector<uint8_t> b = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Project, 77);
  ASSERT_EQ(b.size(), 264u);
  EXPECT_EQ(IntAt(b, 0), 3);
  EXPECT_EQ(IntAt(b, 4), 5);
  EXPECT_EQ(IntAt(b, 8), 2);
  EXPECT_EQ(IntAt(b, 12), 3);
  EXPECT_EQ(RealAt(b, 16), 1.25);
  EXPECT_EQ(RealAt(b, 24), -2.5);
  EXPECT_EQ(RealAt(b, 32), 3.75);
  EXPECT_EQ(std::string(b.begin() + 40, b.begin() + 43), "X*A");
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 43, b.begin() + 48),
            (std::vector<uint8_t>{0, 1, 1, 0, 1}));
  const size_t P = 48;
  EXPECT_EQ(IntAt(b, P), 5);
  EXPECT_EQ(RealAt(b, P + 4), 0.5);
  EXPECT_EQ(IntAt(b, P + 12), 305);
  EXPECT_EQ(IntAt(b, P + 16), 155);
  EXPECT_EQ(b[P + 20], 1);
  EXPECT_EQ(RealAt(b, P + 21), 3.959);
  EXPECT_EQ(RealAt(b, P + 29), 1.189);
  EXPECT_EQ(RealAt(b, P + 37), 0.0132);
  EXPECT_EQ(RealAt(b, P + 45), 0.0105);
  EXPECT_EQ(RealAt(b, P + 53), 0.5235987755982988);
  EXPECT_EQ(IntAt(b, P + 61), 194);
  EXPECT_EQ(IntAt(b, P + 65), 154);
  EXPECT_EQ(IntAt(b, P + 69), 0x00112233);
  EXPECT_EQ(RealAt(b, P + 73), -0.25);
  EXPECT_EQ(IntAt(b, P + 81), 0x00445566);
  EXPECT_EQ(RealAt(b, P + 85), 1.5);
  const size_t Q = P + 69 + 24;
  ASSERT_EQ(Q, 141u);
  EXPECT_EQ(IntAt(b, Q), 0x00FFFFFF);
  EXPECT_EQ(IntAt(b, Q + 4), 0x00010203);
  EXPECT_EQ(IntAt(b, Q + 8), 17);
  EXPECT_EQ(IntAt(b, Q + 12), 42);
  EXPECT_EQ(b[Q + 16], 2);
  EXPECT_EQ(IntAt(b, Q + 17), 310);
  EXPECT_EQ(RealAt(b, Q + 21), 0.001);
  EXPECT_EQ(b[Q + 29], 1);
  for (size_t k = 0; k < 87; ++k) EXPECT_EQ(b[Q + 30 + k], k + 1) << "reserved byte " << k;
  EXPECT_EQ(IntAt(b, Q + 117), 77);
  EXPECT_EQ(b[262], 0);
  EXPECT_EQ(b[263], 0);
}

TEST(ParameterBlockLayout, ParameterFormStoresNoProgressStateOrRecords) {
  const TCalcParams p = HandBuiltBlock();
  const std::vector<uint8_t> params = EncodeParameterBlock(p, BlockForm::Parameters, 77);
  const std::vector<uint8_t> project = EncodeParameterBlock(p, BlockForm::Project, 77);
  const size_t Q = 141;
  EXPECT_EQ(IntAt(params, Q + 8), 0);
  EXPECT_EQ(IntAt(params, Q + 12), 0);
  EXPECT_EQ(params[Q + 16], 0);
  EXPECT_EQ(IntAt(params, Q + 17), 0);
  EXPECT_EQ(IntAt(params, Q + 117), 0);
  // Everything else is the same as in the project form.
  ASSERT_EQ(params.size(), project.size());
  for (size_t k = 0; k < params.size(); ++k) {
    const bool differs = (k >= Q + 8 && k < Q + 21) || (k >= Q + 117 && k < Q + 121);
    if (!differs) {
      EXPECT_EQ(params[k], project[k]) << "offset " << k;
    }
  }
}

TEST(ParameterBlockLayout, PaddingIsOneToEightZeroBytesUpToAMultipleOfEight) {
  // Unpadded length 230 + F with S = C = 0; F = 0..7 gives every remainder modulo 8.
  std::vector<size_t> seen;
  for (int f = 0; f < 8; ++f) {
    TCalcParams p = DefaultCalcParams();
    p.SetSequence({});
    p.SetColors({});
    p.SetFormula(std::string(static_cast<size_t>(f), 'X'));
    const std::vector<uint8_t> b = EncodeParameterBlock(p, BlockForm::Parameters);
    const size_t unpadded = 230 + static_cast<size_t>(f);
    EXPECT_EQ(b.size() % 8, 0u);
    EXPECT_EQ(b.size(), ParameterBlockLength(p));
    ASSERT_GT(b.size(), unpadded);
    const size_t padding = b.size() - unpadded;
    EXPECT_GE(padding, 1u);
    EXPECT_LE(padding, 8u);
    for (size_t k = unpadded; k < b.size(); ++k) EXPECT_EQ(b[k], 0);
    seen.push_back(padding);
    EXPECT_EQ(DecodeParameterBlock(b.data(), b.size()).Length, b.size());
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<size_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ParameterBlockLayout, DecodingGivesBackTheBlockAndRecordCount) {
  const TCalcParams p = HandBuiltBlock();
  const std::vector<uint8_t> b = EncodeParameterBlock(p, BlockForm::Project, 1234);
  const DecodedBlock d = DecodeParameterBlock(b.data(), b.size());
  EXPECT_EQ(d.Params, p);
  EXPECT_EQ(d.RecordCount, 1234);
  EXPECT_EQ(d.Length, 264u);
  // The padding itself need not be present.
  EXPECT_EQ(DecodeParameterBlock(b.data(), 262).Params, p);
}

TEST(ParameterBlockLayout, EmptySequenceAndColourListContributeNoBytes) {
  TCalcParams p = HandBuiltBlock();
  p.SetSequence({});
  p.SetColors({});
  const std::vector<uint8_t> b = EncodeParameterBlock(p, BlockForm::Parameters);
  EXPECT_EQ(IntAt(b, 43), 0);                // SequenceSteps right after the formula
  EXPECT_EQ(IntAt(b, 43 + 61), 194);         // PictureWidth
  EXPECT_EQ(IntAt(b, 43 + 69), 0x00FFFFFF);  // BelowColor right after PictureHeight
  EXPECT_EQ(DecodeParameterBlock(b.data(), b.size()).Params.SequenceLength, 0);
}

TEST(ParameterBlockLayout, InconsistentLengthFieldsAreNotWritten) {
  TCalcParams p = HandBuiltBlock();
  p.FormulaLength = 7;
  EXPECT_THROW(EncodeParameterBlock(p, BlockForm::Parameters), FormatError);
  p = HandBuiltBlock();
  p.SequenceSteps = 4;
  EXPECT_THROW(EncodeParameterBlock(p, BlockForm::Parameters), FormatError);
  p = HandBuiltBlock();
  p.ColorCount = 3;
  EXPECT_THROW(EncodeParameterBlock(p, BlockForm::Parameters), FormatError);
}

// Malformed input: every case must end in a FormatError, never in a huge allocation
// (which would surface as std::bad_alloc or std::length_error) or a read past the data.
class MalformedBlock : public ::testing::Test {
 protected:
  std::vector<uint8_t> good = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Project, 0);
  void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& fragment) {
    try {
      DecodeParameterBlock(bytes.data(), bytes.size());
      ADD_FAILURE() << "accepted; expected a complaint about " << fragment;
    } catch (const FormatError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  }
};

TEST_F(MalformedBlock, NegativeLengthsAreRefused) {
  for (size_t offset : {0u, 4u, 8u}) {
    std::vector<uint8_t> b = good;
    PutInt(b, offset, -1);
    ExpectRefused(b, "negative");
  }
}

TEST_F(MalformedBlock, LengthsLargerThanTheFileAreRefused) {
  for (size_t offset : {0u, 4u, 8u}) {
    for (int32_t huge : {INT32_MAX, 100000, 300}) {
      std::vector<uint8_t> b = good;
      PutInt(b, offset, huge);
      ExpectRefused(b, "");
    }
  }
}

TEST_F(MalformedBlock, EveryTruncationIsRefused) {
  for (size_t n = 0; n < 262; ++n) {
    std::vector<uint8_t> b(good.begin(), good.begin() + static_cast<long>(n));
    ExpectRefused(b, n < 40 ? "too short" : "ends inside");
  }
}

TEST_F(MalformedBlock, DifferingSequenceLengthsAreRefused) {
  std::vector<uint8_t> b = good;
  PutInt(b, 48, 4);  // SequenceSteps
  ExpectRefused(b, "two AB-sequence lengths differ");
}

TEST_F(MalformedBlock, UnknownStateAndProgressOutsideThePictureAreRefused) {
  std::vector<uint8_t> b = good;
  b[141 + 16] = 6;
  ExpectRefused(b, "state");
  b = good;
  PutInt(b, 141 + 8, -3);
  ExpectRefused(b, "progress position");
  b = good;
  PutInt(b, 141 + 12, 155);  // beyond PictureHeight 154
  ExpectRefused(b, "progress position");
}

class ParameterFileOnDisk : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(ParameterFileOnDisk, SavedFileIsTheParameterFormAndLoadsBack) {
  const TCalcParams p = HandBuiltBlock();
  const std::string path = dir.file("a.Par");
  SaveParameterFile(path, p);
  const std::vector<uint8_t> bytes = ReadBytes(path);
  EXPECT_EQ(bytes, EncodeParameterBlock(p, BlockForm::Parameters));
  EXPECT_EQ(bytes.size() % 8, 0u);

  TCalcParams expected = p;
  expected.ProgressColumn = expected.ProgressRow = 0;
  expected.State = 0;
  expected.IterationsDone = 0;
  const TCalcParams loaded = LoadParameterFile(path);
  EXPECT_EQ(loaded, expected);
  EXPECT_EQ(loaded.Reserved, p.Reserved);  // carried from file to file
  SaveParameterFile(dir.file("b.Par"), loaded);
  EXPECT_EQ(ReadBytes(dir.file("b.Par")), bytes);
  // No temporary files are left beside the target.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST_F(ParameterFileOnDisk, TempParametersResetTheExtraIterationsCount) {
  TCalcParams p = HandBuiltBlock();
  WriteTempParameters(dir.file("p.TMP0"), p);
  EXPECT_EQ(p.IterationsDone, 0);
  EXPECT_EQ(p.ProgressRow, 42);  // the block's progress stays; only the file holds 0
  const std::vector<uint8_t> b = ReadBytes(dir.file("p.TMP0"));
  EXPECT_EQ(IntAt(b, 141 + 12), 0);
  EXPECT_EQ(IntAt(b, 141 + 117), 0);
}

TEST_F(ParameterFileOnDisk, ProjectFileHeadLoadsAsParameters) {
  std::vector<uint8_t> b = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Project, 2);
  b.resize(b.size() + 32, 0x40);
  WriteBytes(dir.file("p.LPr"), b);
  const TCalcParams p = LoadParameterFile(dir.file("p.LPr"));
  EXPECT_EQ(p.ProgressRow, 42);
  EXPECT_EQ(p.State, StatePaused);
}

TEST_F(ParameterFileOnDisk, UnreadableFilesAreReportedClearly) {
  EXPECT_THROW(LoadParameterFile(dir.file("missing.Par")), IoError);
  EXPECT_THROW(LoadParameterFile(dir.path().string()), IoError);
  WriteBytes(dir.file("short.Par"), {1, 2, 3});
  try {
    LoadParameterFile(dir.file("short.Par"));
    ADD_FAILURE();
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("short.Par"), std::string::npos);
  }
  std::vector<uint8_t> b = EncodeParameterBlock(HandBuiltBlock(), BlockForm::Parameters);
  PutInt(b, 8, INT32_MAX / 12);
  WriteBytes(dir.file("huge.Par"), b);
  EXPECT_THROW(LoadParameterFile(dir.file("huge.Par")), FormatError);
}

TEST_F(ParameterFileOnDisk, SavingIntoAMissingDirectoryFails) {
  EXPECT_THROW(SaveParameterFile(dir.file("no/such/dir/a.Par"), HandBuiltBlock()), IoError);
}

}  // namespace
}  // namespace vantorel
