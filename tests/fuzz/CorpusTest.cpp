// Replays the stored inputs of every fuzz target, so that every build (gcc alone too) runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/FuzzTargets.h"
#include "support/TestSupport.h"

namespace vantorel::fuzz {
namespace {

TEST(FuzzCorpus, EveryStoredInputKeepsItsTargetsPromises) {
  const std::pair<const char*, void (*)(const uint8_t*, size_t)> targets[] = {
      {"ParameterFile", ParameterFile}, {"ProjectFile", ProjectFile},   {"Formula", Formula},
      {"ColourFile", ColourFile},       {"GimpGradient", GimpGradient}, {"GimpPalette", GimpPalette},
      {"MapPalette", MapPalette}};
  for (const auto& [name, run] : targets) {
    const std::filesystem::path dir = std::filesystem::path(VANTOREL_SOURCE_DIR) / "tests/fuzz/corpus" / name;
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::vector<unsigned char> bytes = test::ReadBytes(entry.path().string());
      try {
        run(bytes.data(), bytes.size());
      } catch (const FuzzFailure& e) {
        ADD_FAILURE() << entry.path() << ": " << e.what();
      }
      ++inputs;
    }
    EXPECT_GE(inputs, 5) << name;
  }
}

}  // namespace
}  // namespace vantorel::fuzz
