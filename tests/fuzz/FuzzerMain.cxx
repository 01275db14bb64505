// The libFuzzer entry of one target, chosen by VANTOREL_FUZZ_TARGET when it is compiled.
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    vantorel::fuzz::VANTOREL_FUZZ_TARGET(data, size);
  } catch (const vantorel::fuzz::FuzzFailure& e) {
    std::fprintf(stderr, "fuzz target failed: %s\n", e.what());
    std::abort();
  }
  return 0;
}
