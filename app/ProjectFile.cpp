#include "app/ProjectFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

constexpr uint64_t kRecordBytes = 8;

void Report(const ProjectProgress& progress, const char* text) {
  if (progress.Stage) progress.Stage(text);
}

void Bar(const ProjectProgress& progress, double percent) {
  if (progress.Bar) progress.Bar(static_cast<int>(std::lround(std::min(percent, 100.0))));
}

// Appends the first `records` records of a data file to the project file.
void CopyToProject(PixelDataFile& source, int64_t records, SafeFile& target, std::vector<double>& buffer,
                   const ProjectProgress& progress, double barBase) {
  source.Rewind();
  int64_t done = 0;
  while (done < records) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(records - done, buffer.size()));
    if (source.Read(buffer.data(), n) != n)
      throw FormatError("The data file '" + source.Path() + "' ended before record " + std::to_string(records) + ".");
    target.Write(buffer.data(), n * kRecordBytes);
    done += static_cast<int64_t>(n);
    Bar(progress, 50.0 * static_cast<double>(done) / static_cast<double>(records) + barBase);
  }
}

// Copies `records` records starting at byte `offset` of the project file into a data file.
void CopyFromProject(const InputFile& file, uint64_t offset, int64_t records, PixelDataFile& target,
                     std::vector<double>& buffer, uint64_t fileRecords, const ProjectProgress& progress) {
  int64_t done = 0;
  while (done < records) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(records - done, buffer.size()));
    if (file.ReadAt(offset, buffer.data(), n * kRecordBytes) != n * kRecordBytes)
      throw FormatError("The file '" + file.Path() + "' ended while its data were being read.");
    target.Write(buffer.data(), n);
    done += static_cast<int64_t>(n);
    offset += n * kRecordBytes;
    const uint64_t recordsRead = offset / kRecordBytes;  // whole records up to the read position
    Bar(progress, 200.0 * static_cast<double>(recordsRead) / static_cast<double>(fileRecords));
  }
}

}  // namespace

int64_t SaveProject(const std::string& path, const TCalcParams& params, PixelDataFile& tmp1, PixelDataFile& tmp2,
                    const ProjectProgress& progress) {
  Report(progress, "saving parameters...");
  const int64_t records = std::min(tmp1.RecordCount(), tmp2.RecordCount());
  if (records > std::numeric_limits<int32_t>::max())
    throw FormatError("The project holds too many pixel records for a project file.");
  TCalcParams stored = params;
  // Data files of unequal length: the shorter one is the extent of the data.
  if (records != tmp1.RecordCount() || records != tmp2.RecordCount()) FitProgressToData(stored, records);
  const std::vector<uint8_t> block = EncodeParameterBlock(stored, BlockForm::Project, static_cast<int32_t>(records));

  SafeFile file(path);
  file.Write(block.data(), block.size());
  if (records > 0) {
    Report(progress, "saving data...");
    std::vector<double> buffer(kProjectChunkRecords);
    CopyToProject(tmp1, records, file, buffer, progress, 0.0);
    CopyToProject(tmp2, records, file, buffer, progress, 50.0);
  }
  tmp1.Rewind();
  tmp2.Rewind();
  file.Commit();
  Bar(progress, 0);
  return records;
}

void CheckLoadedBlock(const TCalcParams& p) {
  if (p.SequenceLength < 1) throw FormatError("The AB-sequence is empty.");
  if (p.ColorCount < 1) throw FormatError("The colour list is empty.");
  const auto inRange = [](int32_t v) { return v >= kMinPictureSize && v <= kMaxPictureSize; };
  if (!inRange(p.PictureWidth) || !inRange(p.PictureHeight))
    throw FormatError("The picture size " + std::to_string(p.PictureWidth) + " x " + std::to_string(p.PictureHeight) +
                      " lies outside " + std::to_string(kMinPictureSize) + ".." + std::to_string(kMaxPictureSize) +
                      " pixels.");
  if (p.FixedFormula < -1 || p.FixedFormula > 5)
    throw FormatError("The fixed formula index " + std::to_string(p.FixedFormula) + " is unknown.");
  if (p.State > StateDerivingPaused)
    throw FormatError("The calculation state " + std::to_string(int(p.State)) + " is unknown.");
  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  if (p.ProgressColumn < 0 || p.ProgressRow < 0 || p.ProgressColumn > p.PictureWidth ||
      p.ProgressRow > p.PictureHeight || int64_t(p.ProgressRow) * p.PictureWidth + p.ProgressColumn > pixels)
    throw FormatError("The progress position (" + std::to_string(p.ProgressColumn) + ", " +
                      std::to_string(p.ProgressRow) + ") lies outside the picture.");
}

uint8_t MapLoadedState(uint8_t stored) {
  switch (stored) {
    case StateRunning: return StatePaused;
    case StateDeriving: return StateDerivingPaused;
    default: return stored;
  }
}

void FitProgressToData(TCalcParams& p, int64_t records) {
  if (p.PictureWidth <= 0 || p.PictureHeight <= 0) return;
  // Goes on with a first run: its exponents rest on no earlier iterations.
  const auto firstRun = [&p] {
    if (p.State == StateInitialised || p.State == StateRunning || p.State == StatePaused) p.IterationsDone = 0;
  };
  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  const bool complete = records >= pixels;
  int64_t at;
  if (p.State == StateFinished || p.State == StateDeriving || p.State == StateDerivingPaused) {
    if (complete) return;
    p.State = StateInitialised;
    at = records;
  } else {
    at = std::min(int64_t(p.ProgressRow) * p.PictureWidth + p.ProgressColumn, records);
    // A position behind a row's last pixel stays as stored; it means the next row's start.
    if (at == int64_t(p.ProgressRow) * p.PictureWidth + p.ProgressColumn) return firstRun();
  }
  firstRun();
  p.ProgressColumn = static_cast<int32_t>(at % p.PictureWidth);
  p.ProgressRow = static_cast<int32_t>(at / p.PictureWidth);
}

TCalcParams LoadProject(const std::string& path, PixelDataFile& tmp1, PixelDataFile& tmp2,
                        const ProjectProgress& progress) {
  // Everything is read and checked before anything is written to the data files; a failure at
  // any point leaves them empty.
  try {
    Report(progress, "lade Parameter...");
    if (IsPngFile(path)) {  // a picture with its settings, no data
      TCalcParams p = LoadParameterFile(path);
      CheckLoadedBlock(p);
      tmp1.Clear();
      tmp2.Clear();
      return p;
    }
    const InputFile file(path);
    const uint64_t size = file.Size();

    DecodedBlock block;
    try {
      block = ReadParameterBlock(file);
      CheckLoadedBlock(block.Params);
    } catch (const FormatError& e) {
      throw FormatError("'" + path + "' is not a usable project file. " + e.what());
    }

    // The data are located from the end: N records of TMP1, then N of TMP2. They must neither
    // reach into the parameter block nor be a negative amount; a file without data (a parameter
    // file, which may end before its record count) needs no room at all.
    const uint64_t fileRecords = size / kRecordBytes;
    const int64_t n = block.RecordCount;
    if (n < 0 ||
        (n > 0 && (2 * uint64_t(n) >= fileRecords || (fileRecords - 2 * uint64_t(n)) * kRecordBytes < block.Length)))
      throw FormatError(kProjectFileError);
    const TCalcParams& p = block.Params;
    if (n > int64_t(p.PictureWidth) * p.PictureHeight)
      throw FormatError("'" + path + "' is not a usable project file. It holds " + std::to_string(n) +
                        " pixel records, more than its picture of " + std::to_string(p.PictureWidth) + " x " +
                        std::to_string(p.PictureHeight) + " pixels has.");

    tmp1.Clear();
    tmp2.Clear();
    if (n > 0) {
      Report(progress, "lade Daten...");
      const uint64_t start = (fileRecords - 2 * uint64_t(n)) * kRecordBytes;
      std::vector<double> buffer(kProjectChunkRecords);
      CopyFromProject(file, start, n, tmp1, buffer, fileRecords, progress);
      CopyFromProject(file, start + uint64_t(n) * kRecordBytes, n, tmp2, buffer, fileRecords, progress);
      tmp1.Rewind();
      tmp2.Rewind();
    }
    Report(progress, "erstelle Vorschau...");
    Bar(progress, 0);
    TCalcParams loaded = std::move(block.Params);
    FitProgressToData(loaded, n);
    return loaded;
  } catch (...) {
    try {
      if (tmp1.IsOpen()) tmp1.Clear();
      if (tmp2.IsOpen()) tmp2.Clear();
    } catch (...) {
      // The first error is the one to report.
    }
    throw;
  }
}

}  // namespace vantorel
