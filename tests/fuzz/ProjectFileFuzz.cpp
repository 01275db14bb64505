#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

namespace {

// A private folder for the files of the runs, in memory where the system has it.
struct Scratch {
  std::filesystem::path dir;
  Scratch() {
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "vantorel-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    dir = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string File(const char* name) const { return (dir / name).string(); }
};

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

void ProjectFile(const uint8_t* data, size_t size) {
  static const Scratch scratch;
  const std::string input = scratch.File("in.LPr"), out1 = scratch.File("a.LPr"), out2 = scratch.File("b.LPr");
  std::ofstream(input, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  PixelDataFile tmp1, tmp2;
  tmp1.Create(scratch.File("p.TMP1"));
  tmp2.Create(scratch.File("p.TMP2"));
  TCalcParams params;
  try {
    params = LoadProject(input, tmp1, tmp2);
  } catch (const FormatError&) {
    Check(tmp1.RecordCount() == 0 && tmp2.RecordCount() == 0, "a failed load left data");
    return;
  }
  Check(tmp1.RecordCount() == tmp2.RecordCount(), "the data files differ in length");
  try {
    SaveProject(out1, params, tmp1, tmp2);
    const TCalcParams again = LoadProject(out1, tmp1, tmp2);
    SaveProject(out2, again, tmp1, tmp2);
  } catch (const std::runtime_error& e) {
    throw FuzzFailure(std::string("a loaded project does not save and load back: ") + e.what());
  }
  Check(Bytes(out1) == Bytes(out2), "load -> save -> load -> save changed the project file");
}

}  // namespace vantorel::fuzz
