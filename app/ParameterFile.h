// The stored form of a parameter block, shared by parameter files (*.Par), a project's temporary
// parameter file (*.TMP0) and the head of project files (*.LPr).
//
// Fields are written in TCalcParams order, unaligned, little-endian: int32 for integers, IEEE 754
// binary64 for reals, one byte (0/1) for flags. With F = FormulaLength, S = SequenceLength and
// C = ColorCount the block is
//   0 FormulaLength, 4 SequenceLength, 8 ColorCount, 12 FixedFormula, 16 W, 24 V, 32 U,
//   40 FormulaText (F bytes), 40+F Sequence (S bytes, 0 = A, 1 = B),
//   P = 40+F+S: SequenceSteps, P+4 StartX, P+12 CalmDownIterations, P+16 Iterations,
//   P+20 SmartIterate, P+21 CenterX, P+29 CenterY, P+37 Width, P+45 Height, P+53 Angle,
//   P+61 PictureWidth, P+65 PictureHeight, P+69 ColorList (C entries: int32 colour, f64 value),
//   Q = P+69+12C: BelowColor, Q+4 AboveColor, Q+8 ProgressColumn, Q+12 ProgressRow, Q+16 State,
//   Q+17 IterationsDone, Q+21 ErrorLimit, Q+29 AdjustRatio, Q+30 Reserved (87 bytes),
//   Q+117 record count (int32), Q+121 zero padding: 1..8 bytes up to a multiple of 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/CalcParams.h"

namespace vantorel {

class InputFile;  // core/SafeFile.h

// Parameters: parameter files and TMP0. ProgressColumn, ProgressRow, State, IterationsDone and
//   the record count are written as 0.
// Project: the head of a project file. Progress, state and IterationsDone as they stand, and
//   the given record count.
enum class BlockForm { Parameters, Project };

// Length of the stored block including record count and padding (always a multiple of 8).
// The length fields must agree with the contents (see Encode).
size_t ParameterBlockLength(const TCalcParams& params);

// The block in its stored form. FormulaLength, SequenceLength, SequenceSteps and ColorCount must
// agree with FormulaText, Sequence and ColorList (TCalcParams::Set* keep them so); otherwise
// FormatError. recordCount is used for BlockForm::Project only.
std::vector<uint8_t> EncodeParameterBlock(const TCalcParams& params, BlockForm form, int32_t recordCount = 0);

struct DecodedBlock {
  TCalcParams Params;
  int32_t RecordCount = 0;  // as stored; checked against the file by the project loader
  size_t Length = 0;        // of the block with record count and padding (the padding itself
                            // need not be present in `data`)
};

// Reads a block from the start of data[0..size). Throws FormatError with a clear message when a
// length field is negative, larger than the data can hold, SequenceSteps differs from
// SequenceLength, the data end before the reserved bytes have ended, or a value no calculation
// can use: an iteration or calm-down count outside 0..LargestIterationCount, a negative
// IterationsDone, an unfinished run whose end would take IterationsDone beyond the 32-bit maximum,
// a start value that is not a finite number. Data that end right after the reserved bytes (a
// parameter file without the record count) give a record count of 0. Nothing is allocated
// before the lengths have been checked against size.
DecodedBlock DecodeParameterBlock(const uint8_t* data, size_t size);

// Reads the block at the start of an open file, reading only the block's own bytes.
// Throws IoError (with the system's message) or FormatError.
DecodedBlock ReadParameterBlock(const InputFile& file);

// Writes a parameter file (BlockForm::Parameters) through a temporary file beside path that
// is renamed into place; a failed save leaves an existing file as it was. Throws IoError.
void SaveParameterFile(const std::string& path, const TCalcParams& params);

// Reads a parameter file, the parameter block at the head of a project file, or the block a PNG
// picture of this program carries. Throws IoError or FormatError.
TCalcParams LoadParameterFile(const std::string& path);

// Rewrites a project's TMP0 file in the parameter form and sets params.IterationsDone to 0, as
// taking over the parameters for a calculation does. Throws IoError.
void WriteTempParameters(const std::string& tmp0Path, TCalcParams& params);

}  // namespace vantorel
