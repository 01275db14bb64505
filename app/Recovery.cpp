#include "app/Recovery.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "app/ParameterFile.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

constexpr uint64_t kRecordBytes = 8;
constexpr size_t kChunkBytes = kProjectChunkRecords * kRecordBytes;

void Report(const ProjectProgress& progress, const char* text) {
  if (progress.Stage) progress.Stage(text);
}

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Taken(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The data file beside the TMP0 file: the same path with its last character replaced.
std::string DataFilePath(const std::string& tmp0Path, char digit) {
  std::string path = tmp0Path;
  if (!path.empty()) path.back() = digit;
  return path;
}

void AppendRecords(const InputFile& source, uint64_t records, SafeFile& target) {
  std::vector<char> buffer(kChunkBytes);
  uint64_t offset = 0;
  const uint64_t bytes = records * kRecordBytes;
  while (offset < bytes) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(bytes - offset, buffer.size()));
    if (source.ReadAt(offset, buffer.data(), n) != n)
      throw FormatError("The data file '" + source.Path() + "' became shorter while it was read.");
    target.Write(buffer.data(), n);
    offset += n;
  }
}

}  // namespace

std::string RecoveredProjectName(const std::string& tmp0Path) {
  const std::string name = FileName(tmp0Path);
  return (name.size() > 5 ? name.substr(0, name.size() - 5) : name) + ".LPr";
}

RecoveryResult RecoverProject(const std::string& tmp0Path, const std::string& targetDir,
                              const ProjectProgress& progress) {
  Report(progress, "restoring parameterfile");
  const std::string name = RecoveredProjectName(tmp0Path);
  RecoveryResult result;
  result.Target = targetDir.empty() || targetDir.back() == '/' ? targetDir + name : targetDir + "/" + name;
  if (Taken(result.Target)) throw FormatError("error: " + name + " already exists!");

  TCalcParams p;
  {
    const InputFile tmp0(tmp0Path);
    try {
      p = ReadParameterBlock(tmp0).Params;
      CheckLoadedBlock(p);
    } catch (const FormatError& e) {
      throw FormatError("'" + tmp0Path + "' is not a usable temporary parameter file. " + e.what());
    }
  }

  Report(progress, "restoring data");
  std::unique_ptr<InputFile> data1, data2;
  try {
    data1 = std::make_unique<InputFile>(DataFilePath(tmp0Path, '1'));
    data2 = std::make_unique<InputFile>(DataFilePath(tmp0Path, '2'));
  } catch (const IoError&) {
    data1.reset();
    data2.reset();
  }

  const int64_t pixels = int64_t(p.PictureWidth) * p.PictureHeight;
  int64_t n = 0;
  if (data1 && data2)
    n = std::min<int64_t>(static_cast<int64_t>(std::min(data1->Size(), data2->Size()) / kRecordBytes), pixels);
  if (n > std::numeric_limits<int32_t>::max())
    throw FormatError("The data files hold more pixel records than a project file can carry.");
  if (n >= pixels) {
    p.State = StateFinished;
    p.ProgressColumn = p.ProgressRow = 0;
    if (p.IterationsDone == 0) p.IterationsDone = p.Iterations;
  } else {
    p.ProgressColumn = static_cast<int32_t>(n % p.PictureWidth);
    p.ProgressRow = static_cast<int32_t>(n / p.PictureWidth);
  }

  const std::vector<uint8_t> block = EncodeParameterBlock(p, BlockForm::Project, static_cast<int32_t>(n));
  SafeFile target(result.Target);
  target.Write(block.data(), block.size());
  if (n > 0) {
    AppendRecords(*data1, uint64_t(n), target);
    AppendRecords(*data2, uint64_t(n), target);
  }
  try {
    target.CommitNew();
  } catch (const IoError&) {
    if (Taken(result.Target)) throw FormatError("error: " + name + " already exists!");
    throw;
  }
  result.Records = n;
  result.DataRestored = data1 && data2;
  result.Message = result.DataRestored ? name + " successfully restored." : kRecoveryDataError;
  return result;
}

}  // namespace vantorel
