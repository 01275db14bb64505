#include "cli/RenderSteps.h"

#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "cli/Colours.h"
#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel::cli {

namespace {

constexpr size_t kChunkRecords = 10000;

// Refuses a block that cannot be computed or pictured, with the reason.
void CheckComputable(const TCalcParams& p) {
  const auto fail = [](const std::string& why) { throw FormatError("Cannot render: " + why + "."); };
  if (p.PictureWidth < kMinPictureSide || p.PictureWidth > kMaxPictureSide || p.PictureHeight < kMinPictureSide ||
      p.PictureHeight > kMaxPictureSide)
    fail("the picture size " + std::to_string(p.PictureWidth) + " x " + std::to_string(p.PictureHeight) +
         " lies outside " + std::to_string(kMinPictureSide) + ".." + std::to_string(kMaxPictureSide));
  if (p.Iterations <= 0) fail("the iteration count " + std::to_string(p.Iterations) + " is not positive");
  if (const std::string problem = IterationCountProblem(p); !problem.empty()) fail(problem);
  if (p.Sequence.empty()) fail("the AB-sequence is empty");
  if (p.ColorList.empty()) fail("the colour list is empty");
  if (p.FixedFormula < -1 || p.FixedFormula > 5)
    fail("the fixed formula index " + std::to_string(p.FixedFormula) + " is unknown");
}

void CheckPictureFits(const TCalcParams& p, const std::optional<std::string>& picturePath, bool holdsPicture) {
  const uint64_t stride = (uint64_t(p.PictureWidth) * 3 + 3) & ~uint64_t(3);
  const uint64_t bytes = stride * uint64_t(p.PictureHeight);
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (holdsPicture && pages > 0 && pageSize > 0 && bytes > uint64_t(pages) * uint64_t(pageSize) / 2)
    throw FormatError("Cannot render: a picture of " + std::to_string(p.PictureWidth) + " x " +
                      std::to_string(p.PictureHeight) + " pixels (" + std::to_string(bytes >> 20) +
                      " MB) does not fit in this computer's memory.");
  PictureType type;
  if (!picturePath || !PictureTypeForPath(*picturePath, type)) return;
  if (type == PictureType::Jpeg && (p.PictureWidth > 65500 || p.PictureHeight > 65500))
    throw FormatError("Cannot render: a JPEG picture has at most 65500 pixels each way.");
  if (type == PictureType::Bitmap && bytes + 54 > UINT32_MAX)
    throw FormatError("Cannot render: the picture is too large for a Windows bitmap (4 GB at most).");
}

// Copies a data file to its output through a temporary file.
void CopyDataFile(PixelDataFile& source, const std::string& target) {
  SafeFile out(target);
  std::vector<double> chunk(kChunkRecords);
  const int64_t records = source.RecordCount();
  for (int64_t start = 0; start < records; start += int64_t(chunk.size())) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(records - start, int64_t(chunk.size())));
    if (source.ReadAt(start, chunk.data(), n) != n)
      throw FormatError("The data file '" + source.Path() + "' ended early.");
    out.Write(chunk.data(), n * sizeof(double));
  }
  out.Commit();
}

}  // namespace

std::string SizeText(uint64_t bytes, bool up) {
  const auto in = [&](uint64_t unit) { return (bytes + (up ? unit - 1 : 0)) / unit; };
  if (bytes >= (uint64_t(1) << 20)) return std::to_string(in(uint64_t(1) << 20)) + " MB";
  if (bytes >= 1024) return std::to_string(in(1024)) + " kB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

namespace {
const char* programName = "vantorel-render";
}  // namespace

const char* ProgramName() { return programName; }
void SetProgramName(const char* name) { programName = name; }

void InstallStopSignals(void (*onStop)(int)) {
  struct sigaction action = {};
  action.sa_handler = onStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
}

void Note(const Options& o, std::ostream& err, const std::string& text) {
  if (!o.Quiet) err << ProgramName() << ": " << text << "\n";
}

PreparedBlock PrepareBlock(const Options& o, PixelDataFile& tmp1, PixelDataFile& tmp2, std::ostream& err,
                           bool holdsPicture) {
  PreparedBlock b;
  TCalcParams& p = b.Params;
  p = o.Input ? LoadProject(*o.Input, tmp1, tmp2) : DefaultCalcParams();
  if (o.Changes.Any()) {
    if (tmp1.RecordCount() > 0 || p.State != StateInitialised || p.ProgressColumn != 0 || p.ProgressRow != 0) {
      Note(o, err, "the changed parameters start the picture afresh; the stored data are not used");
      tmp1.Clear();
      tmp2.Clear();
    }
    p = ChangedBlock(p, o.Changes);  // as a film's keyframe gets it
  }
  ApplyColourOptions(o, p, err);
  CheckComputable(p);

  const bool nothingNamed = !o.Picture && !o.Project && !o.DataBase;
  b.PicturePath = nothingNamed ? DefaultPictureName(o.Input) : o.Picture;
  // A thumbnail is a small PNG, whatever the size and the name of the picture it shows.
  if (!o.Thumbnail) CheckPictureFits(p, b.PicturePath, holdsPicture);
  if (b.PicturePath) CheckOutputDirectory(*b.PicturePath);
  if (o.Project) CheckOutputDirectory(*o.Project);
  if (o.DataBase)
    for (const char* ext : {".TMP0", ".TMP1", ".TMP2"}) CheckOutputDirectory(*o.DataBase + ext);
  return b;
}

void CheckOutputDirectory(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) ThrowIoError("Cannot write", path, ENOENT);
  if (access(dir.c_str(), W_OK | X_OK) != 0) ThrowIoError("Cannot write", path, errno);
  if (std::filesystem::is_directory(path, ec)) ThrowIoError("Cannot write", path, EISDIR);
}

PreparedBlock PrepareFrame(const Options& o, const TCalcParams& params, const std::string& picturePath,
                           std::ostream& err) {
  PreparedBlock b;
  b.Params = params;
  TCalcParams& p = b.Params;
  p.ProgressColumn = p.ProgressRow = 0;
  p.IterationsDone = 0;
  p.State = StateInitialised;
  ApplyColourOptions(o, p, err);
  CheckComputable(p);
  b.PicturePath = picturePath;
  CheckPictureFits(p, b.PicturePath, true);
  return b;
}

ComputePlan PlanComputation(TCalcParams& p, PixelDataFile& tmp1, PixelDataFile& tmp2, const Options& o,
                            std::ostream& err) {
  const int64_t total = int64_t(p.PictureWidth) * p.PictureHeight;
  const int64_t records = tmp1.RecordCount();
  ComputePlan plan;
  plan.Compute = true;
  if (p.State == StateFinished) {
    plan.Compute = o.More;
    if (plan.Compute) {
      if (const std::string problem = IterationsDoneProblem(p); !problem.empty())
        throw FormatError("Cannot derive more iterations: " + problem + ".");
      p.State = StateDeriving;
      p.ProgressColumn = p.ProgressRow = 0;
    } else {
      // The loader takes a finished project whose data do not cover its picture as an
      // interrupted one, so a finished project here has every pixel's data.
      Note(o, err,
           "the project is finished; its picture is coloured from the stored data (--more derives "
           "more iterations)");
    }
  } else if (o.More) {
    throw FormatError("Cannot derive more iterations: the project's calculation is not finished.");
  }
  if (plan.Compute && (p.State == StateDeriving || p.State == StateDerivingPaused)) {
    if (tmp2.RecordCount() < total || records < total)
      throw FormatError("Cannot derive more iterations: the project holds data for " +
                        std::to_string(std::min(records, tmp2.RecordCount())) + " of its " + std::to_string(total) +
                        " pixels.");
    p.State = StateDeriving;
    plan.Fresh = false;
  } else if (plan.Compute) {
    // A first run continues after the last pixel whose data exist, at the latest.
    const int64_t at =
        std::min(int64_t(p.ProgressRow) * p.PictureWidth + p.ProgressColumn, std::min(records, tmp2.RecordCount()));
    p.ProgressColumn = static_cast<int32_t>(at % p.PictureWidth);
    p.ProgressRow = static_cast<int32_t>(at / p.PictureWidth);
    p.State = StateRunning;
    if (at > 0)
      Note(o, err,
           "continuing the calculation at column " + std::to_string(p.ProgressColumn) + " of row " +
               std::to_string(p.ProgressRow));
  }
  if (plan.Compute && p.ProgressColumn >= p.PictureWidth) {
    // Continue after a position stored behind a row's last pixel at the next row.
    p.ProgressColumn = 0;
    ++p.ProgressRow;
  }
  return plan;
}

void MarkFinished(TCalcParams& p) {
  p.IterationsDone += p.Iterations;
  p.ProgressColumn = p.ProgressRow = 0;
  p.State = StateFinished;
}

PictureRows RowsFromData(const TCalcParams& p, PixelDataFile& tmp1) {
  PictureRows rows;
  rows.Width = p.PictureWidth;
  rows.Height = p.PictureHeight;
  auto exponents = std::make_shared<std::vector<double>>(size_t(p.PictureWidth));
  rows.Row = [&p, &tmp1, exponents](int32_t y, uint8_t* bgr) {
    const int64_t first = int64_t(y) * p.PictureWidth;
    const int64_t have = std::clamp<int64_t>(tmp1.RecordCount() - first, 0, p.PictureWidth);
    if (have > 0 && tmp1.ReadAt(first, exponents->data(), size_t(have)) != size_t(have))
      throw FormatError("The exponent file ended early while the picture was being coloured.");
    for (int32_t x = 0; x < p.PictureWidth; ++x) {
      const uint32_t colour = x < have ? ColorForExponent(p.ColorList, static_cast<uint32_t>(p.BelowColor),
                                                          static_cast<uint32_t>(p.AboveColor), (*exponents)[x])
                                       : 0xFFFFFFu;
      bgr[3 * x] = (colour >> 16) & 0xFF;
      bgr[3 * x + 1] = (colour >> 8) & 0xFF;
      bgr[3 * x + 2] = colour & 0xFF;
    }
  };
  return rows;
}

void WriteOutputs(const Options& o, const TCalcParams& p, const std::optional<std::string>& picturePath,
                  const PictureRows& rows, PixelDataFile& tmp1, PixelDataFile& tmp2, std::ostream& err) {
  // Every output is written completely before any of them replaces an existing file: a failure
  // leaves all of them as they were.
  SafeFileGroup outputs;
  std::vector<std::string> notes;
  if (picturePath) {
    PictureType type = PictureType::Bitmap;
    PictureTypeForPath(*picturePath, type);
    SavePicture(*picturePath, rows, type, EncodeParameterBlock(p, BlockForm::Parameters));
    notes.push_back("wrote the picture '" + *picturePath + "' (" + std::to_string(p.PictureWidth) + " x " +
                    std::to_string(p.PictureHeight) + ")");
  }
  if (o.Project) {
    SaveProject(*o.Project, p, tmp1, tmp2);
    notes.push_back("wrote the project file '" + *o.Project + "'");
  }
  if (o.DataBase) {
    SaveParameterFile(*o.DataBase + ".TMP0", p);
    CopyDataFile(tmp1, *o.DataBase + ".TMP1");
    CopyDataFile(tmp2, *o.DataBase + ".TMP2");
    notes.push_back("wrote the data files '" + *o.DataBase + ".TMP0', '.TMP1' and '.TMP2'");
  }
  outputs.Commit();
  for (const std::string& note : notes) Note(o, err, note);
}

}  // namespace vantorel::cli
