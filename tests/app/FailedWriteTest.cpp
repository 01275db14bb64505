// Every way the programs save a file, made to fail by a file size limit (which no permission
// bit bypasses, not even root's): the old file survives, no temporary file stays behind, and
// the error names the file and the system's reason. The renderer's outputs are tested as a set
// in tests/cli; the window's parameter and project saves in tests/gui.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "app/Recovery.h"
#include "colour/ColorFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

// While alive, no file this process writes may grow beyond 16 bytes; the signal is ignored,
// so writes fail with EFBIG.
class SmallFileLimit {
 public:
  SmallFileLimit() : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_);
    const rlimit small{16, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~SmallFileLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
  }

 private:
  rlimit old_{};
  void (*handler_)(int);
};

TEST(FailedWrite, EverySavePathKeepsTheOldFileAndNamesTheSystemsError) {
  test::TempDir dir;
  TCalcParams params = DefaultCalcParams();
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir.file("p.TMP1"));
  tmp2.Create(dir.file("p.TMP2"));
  const std::vector<double> records(100, 0.25);
  tmp1.Write(records.data(), records.size());
  tmp2.Write(records.data(), records.size());
  TPicture picture;
  picture.Resize(400, 400);  // noise: the encoders fail part way through the image
  for (int32_t k = 0; k < 400 * 400; ++k) picture.SetPixel(k % 400, k / 400, (uint32_t(k) * 2654435761u) >> 8);
  const std::pair<const char*, std::function<void(const std::string&)>> paths[] = {
      {"parameter file", [&](const std::string& path) { SaveParameterFile(path, params); }},
      {"temporary parameter file", [&](const std::string& path) { WriteTempParameters(path, params); }},
      {"project", [&](const std::string& path) { SaveProject(path, params, tmp1, tmp2); }},
      {"bitmap", [&](const std::string& path) { SaveBitmap(path, picture); }},
      {"JPEG", [&](const std::string& path) { SaveJpeg(path, picture); }},
      {"PNG",
       [&](const std::string& path) { SavePicture(path, picture, PictureType::Png, std::vector<uint8_t>(64, 1)); }},
      {"colour file", [&](const std::string& path) { SaveColorFile(path, ColorListState{params.ColorList}); }},
  };
  for (const auto& [name, save] : paths) {
    SCOPED_TRACE(name);
    const std::string path = dir.file("old file");
    test::WriteBytes(path, {'o', 'l', 'd'});
    const std::string what = test::ErrorOf<IoError>([&] {
      SmallFileLimit limit;
      save(path);
    });
    EXPECT_NE(what.find("'" + path + "': File too large"), std::string::npos) << what;
    EXPECT_EQ(test::ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3) << "a temporary file stayed";
  }
  // Recovery never replaces a file, so its failure must leave no file at all where the project
  // would have been: the next try is not blocked by a half project.
  SaveParameterFile(dir.file("p.TMP0"), params);
  std::filesystem::create_directory(dir.file("out"));
  const std::string what = test::ErrorOf<IoError>([&] {
    SmallFileLimit limit;
    RecoverProject(dir.file("p.TMP0"), dir.file("out"));
  });
  EXPECT_NE(what.find("File too large"), std::string::npos) << what;
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("out"))) << "a partial project or temporary file stayed";
}

}  // namespace
}  // namespace vantorel
