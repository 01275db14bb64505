#include "app/ParameterFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/PictureFile.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel {

static_assert(std::endian::native == std::endian::little, "files are little-endian");
static_assert(std::numeric_limits<double>::is_iec559, "files hold IEEE 754 doubles");

namespace {

// Fixed parts of the block: 40 bytes before the formula, 69 between the sequence and the colour
// list, 12 per colour entry, 121 from the outer colours to the padding (record count included).
constexpr uint64_t kHeadBytes = 40;
constexpr uint64_t kMiddleBytes = 69;
constexpr uint64_t kColorBytes = 12;
constexpr uint64_t kTailBytes = 121;

uint64_t UnpaddedLength(uint64_t f, uint64_t s, uint64_t c) {
  return kHeadBytes + f + s + kMiddleBytes + kColorBytes * c + kTailBytes;
}

// At least one zero byte, then up to a multiple of 8.
uint64_t PaddedLength(uint64_t unpadded) { return (unpadded + 1 + 7) / 8 * 8; }

class Writer {
 public:
  explicit Writer(size_t reserve) { bytes_.reserve(reserve); }
  void Raw(const void* p, size_t n) {
    if (n == 0) return;  // empty containers may have no storage at all
    const auto* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  void Int(int32_t v) { Raw(&v, 4); }
  void Real(double v) { Raw(&v, 8); }
  void Flag(bool v) { bytes_.push_back(v ? 1 : 0); }
  void Byte(uint8_t v) { bytes_.push_back(v); }
  std::vector<uint8_t> Take() { return std::move(bytes_); }
  size_t Size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

// Reads fields from a range whose length has been checked to hold the whole block.
class Reader {
 public:
  explicit Reader(const uint8_t* p) : p_(p) {}
  void Raw(void* out, size_t n) {
    if (n == 0) return;
    std::memcpy(out, p_, n);
    p_ += n;
  }
  int32_t Int() {
    int32_t v;
    Raw(&v, 4);
    return v;
  }
  double Real() {
    double v;
    Raw(&v, 8);
    return v;
  }
  bool Flag() { return *p_++ != 0; }
  uint8_t Byte() { return *p_++; }

 private:
  const uint8_t* p_;
};

void CheckConsistent(const TCalcParams& p) {
  if (p.FormulaLength < 0 || static_cast<size_t>(p.FormulaLength) != p.FormulaText.size())
    throw FormatError("The formula length does not match the formula text.");
  if (p.SequenceLength < 0 || static_cast<size_t>(p.SequenceLength) != p.Sequence.size() ||
      p.SequenceSteps != p.SequenceLength)
    throw FormatError("The sequence lengths do not match the AB-sequence.");
  if (p.ColorCount < 0 || static_cast<size_t>(p.ColorCount) != p.ColorList.size())
    throw FormatError("The colour count does not match the colour list.");
}

int32_t ReadInt32At(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Bytes of the record count field, the last field of the block before its padding. Parameter
// files need no record count: a block that ends right before it is complete.
constexpr uint64_t kRecordCountBytes = 4;

// Checks the three length fields at the head of a block against the bytes available and
// returns the unpadded block length (record count included).
uint64_t CheckedUnpaddedLength(const uint8_t* head, uint64_t available) {
  const int32_t f = ReadInt32At(head), s = ReadInt32At(head + 4), c = ReadInt32At(head + 8);
  const auto check = [available](const char* what, int32_t value) {
    if (value < 0) throw FormatError(std::string("The ") + what + " " + std::to_string(value) + " is negative.");
    if (static_cast<uint64_t>(value) > available)
      throw FormatError(std::string("The ") + what + " " + std::to_string(value) +
                        " is larger than the file can hold.");
  };
  check("formula length", f);
  check("sequence length", s);
  check("colour count", c);
  const uint64_t length = UnpaddedLength(uint64_t(f), uint64_t(s), uint64_t(c));
  if (length - kRecordCountBytes > available)
    throw FormatError("The file ends inside the parameter block (" + std::to_string(available) + " of " +
                      std::to_string(length) + " bytes).");
  return length;
}

// Values no calculation can use, refused when a block is read: iteration counts beyond the
// largest (whose pass counts and sums would overflow), a count of iterations done that the end
// of the stored run cannot add to, and a start value that is not a number.
void CheckBlockValues(const TCalcParams& p) {
  std::string problem = IterationCountProblem(p);
  // A finished picture may be coloured whatever its count; deriving more checks it then.
  if (problem.empty() && (p.State != StateFinished || p.IterationsDone < 0)) problem = IterationsDoneProblem(p);
  if (problem.empty() && !std::isfinite(p.StartX)) problem = "the start value of X is not a number";
  if (!problem.empty()) throw FormatError("The file is malformed: " + problem + ".");
}

}  // namespace

size_t ParameterBlockLength(const TCalcParams& params) {
  CheckConsistent(params);
  return static_cast<size_t>(
      PaddedLength(UnpaddedLength(params.FormulaText.size(), params.Sequence.size(), params.ColorList.size())));
}

std::vector<uint8_t> EncodeParameterBlock(const TCalcParams& p, BlockForm form, int32_t recordCount) {
  const size_t length = ParameterBlockLength(p);
  const bool project = form == BlockForm::Project;
  if (recordCount < 0) throw FormatError("A negative record count cannot be stored.");
  Writer w(length);
  w.Int(p.FormulaLength);
  w.Int(p.SequenceLength);
  w.Int(p.ColorCount);
  w.Int(p.FixedFormula);
  w.Real(p.W);
  w.Real(p.V);
  w.Real(p.U);
  w.Raw(p.FormulaText.data(), p.FormulaText.size());
  w.Raw(p.Sequence.data(), p.Sequence.size());
  w.Int(p.SequenceSteps);
  w.Real(p.StartX);
  w.Int(p.CalmDownIterations);
  w.Int(p.Iterations);
  w.Flag(p.SmartIterate);
  w.Real(p.CenterX);
  w.Real(p.CenterY);
  w.Real(p.Width);
  w.Real(p.Height);
  w.Real(p.Angle);
  w.Int(p.PictureWidth);
  w.Int(p.PictureHeight);
  for (const TColorEntry& e : p.ColorList) {
    w.Int(static_cast<int32_t>(e.Color));
    w.Real(e.Value);
  }
  w.Int(p.BelowColor);
  w.Int(p.AboveColor);
  w.Int(project ? p.ProgressColumn : 0);
  w.Int(project ? p.ProgressRow : 0);
  w.Byte(project ? p.State : 0);
  w.Int(project ? p.IterationsDone : 0);
  w.Real(p.ErrorLimit);
  w.Flag(p.AdjustRatio);
  w.Raw(p.Reserved.data(), p.Reserved.size());
  w.Int(project ? recordCount : 0);
  while (w.Size() < length) w.Byte(0);
  return w.Take();
}

DecodedBlock DecodeParameterBlock(const uint8_t* data, size_t size) {
  if (size < kHeadBytes)
    throw FormatError("The file is too short for a parameter block (" + std::to_string(size) + " bytes).");
  const uint64_t unpadded = CheckedUnpaddedLength(data, size);

  DecodedBlock out;
  TCalcParams& p = out.Params;
  Reader r(data);
  p.FormulaLength = r.Int();
  p.SequenceLength = r.Int();
  p.ColorCount = r.Int();
  p.FixedFormula = r.Int();
  p.W = r.Real();
  p.V = r.Real();
  p.U = r.Real();
  p.FormulaText.resize(static_cast<size_t>(p.FormulaLength));
  r.Raw(p.FormulaText.data(), p.FormulaText.size());
  p.Sequence.resize(static_cast<size_t>(p.SequenceLength));
  r.Raw(p.Sequence.data(), p.Sequence.size());
  p.SequenceSteps = r.Int();
  if (p.SequenceSteps != p.SequenceLength)
    throw FormatError("The file is malformed: its two AB-sequence lengths differ (" + std::to_string(p.SequenceLength) +
                      " and " + std::to_string(p.SequenceSteps) + ").");
  p.StartX = r.Real();
  p.CalmDownIterations = r.Int();
  p.Iterations = r.Int();
  p.SmartIterate = r.Flag();
  p.CenterX = r.Real();
  p.CenterY = r.Real();
  p.Width = r.Real();
  p.Height = r.Real();
  p.Angle = r.Real();
  p.PictureWidth = r.Int();
  p.PictureHeight = r.Int();
  p.ColorList.resize(static_cast<size_t>(p.ColorCount));
  for (TColorEntry& e : p.ColorList) {
    e.Color = static_cast<uint32_t>(r.Int());
    e.Value = r.Real();
  }
  p.BelowColor = r.Int();
  p.AboveColor = r.Int();
  p.ProgressColumn = r.Int();
  p.ProgressRow = r.Int();
  p.State = r.Byte();
  p.IterationsDone = r.Int();
  p.ErrorLimit = r.Real();
  p.AdjustRatio = r.Flag();
  r.Raw(p.Reserved.data(), p.Reserved.size());
  out.RecordCount = unpadded <= size ? r.Int() : 0;
  out.Length = static_cast<size_t>(PaddedLength(unpadded));

  if (p.State > StateDerivingPaused)
    throw FormatError("The file is malformed: unknown calculation state " + std::to_string(int(p.State)) + ".");
  if (p.ProgressColumn < 0 || p.ProgressRow < 0 || (p.PictureWidth > 0 && p.ProgressColumn > p.PictureWidth) ||
      (p.PictureHeight > 0 && p.ProgressRow > p.PictureHeight))
    throw FormatError("The file is malformed: its progress position (" + std::to_string(p.ProgressColumn) + ", " +
                      std::to_string(p.ProgressRow) + ") lies outside the picture.");
  CheckBlockValues(p);
  return out;
}

DecodedBlock ReadParameterBlock(const InputFile& file) {
  uint8_t head[kHeadBytes];
  if (file.Size() < kHeadBytes || file.ReadAt(0, head, kHeadBytes) < kHeadBytes)
    throw FormatError("The file is too short for a parameter block (" + std::to_string(file.Size()) + " bytes).");
  const uint64_t length = std::min(CheckedUnpaddedLength(head, file.Size()), file.Size());
  std::vector<uint8_t> block(static_cast<size_t>(length));
  if (file.ReadAt(0, block.data(), block.size()) < block.size())
    throw FormatError("The file ended while it was being read.");
  return DecodeParameterBlock(block.data(), block.size());
}

void SaveParameterFile(const std::string& path, const TCalcParams& params) {
  const std::vector<uint8_t> bytes = EncodeParameterBlock(params, BlockForm::Parameters);
  WriteFileSafely(path, bytes.data(), bytes.size());
}

TCalcParams LoadParameterFile(const std::string& path) {
  if (IsPngFile(path)) {
    const std::vector<uint8_t> block = ReadPngParameterBlock(path);
    try {
      return DecodeParameterBlock(block.data(), block.size()).Params;
    } catch (const FormatError& e) {
      throw FormatError("The parameters stored in the picture '" + path + "' are not usable. " + e.what());
    }
  }
  const InputFile file(path);
  try {
    return ReadParameterBlock(file).Params;
  } catch (const FormatError& e) {
    throw FormatError("'" + path + "' is not a usable parameter file. " + e.what());
  }
}

void WriteTempParameters(const std::string& tmp0Path, TCalcParams& params) {
  SaveParameterFile(tmp0Path, params);
  params.IterationsDone = 0;
}

}  // namespace vantorel
