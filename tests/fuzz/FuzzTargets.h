// Fuzz targets: each takes any bytes and checks what must hold for them. A broken promise
// throws FuzzFailure; crashes and undefined behaviour are the sanitizers' to find.
// libFuzzer runs one target per program (FuzzerMain.cxx, clang builds with VANTOREL_FUZZ);
// CorpusTest.cpp replays the stored inputs of every target in every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantorel::fuzz {

class FuzzFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

inline void Check(bool ok, const std::string& what) {
  if (!ok) throw FuzzFailure(what);
}

// Parameter blocks: decode -> encode -> decode gives the same block in both forms.
void ParameterFile(const uint8_t* data, size_t size);
// Project files on disk: a load that fails leaves no data; a loaded project saves, loads back
// and saves again to the same bytes.
void ProjectFile(const uint8_t* data, size_t size);
// Formula texts: load, derive, evaluate at fixed points; the compiled program gives the tree
// walk's values to the bit.
void Formula(const uint8_t* data, size_t size);
// Colour files: a file that loads has sorted entries and saves to bytes that load back to the
// same list and save again to the same bytes.
void ColourFile(const uint8_t* data, size_t size);
// GIMP gradients: a gradient that reads joins up from 0 to 1 and samples to ordered stops from 0
// to 1, which written as a gradient and read again are the same stops.
void GimpGradient(const uint8_t* data, size_t size);
// GIMP palettes and .map palettes: evenly spaced colours that write and read back the same.
void GimpPalette(const uint8_t* data, size_t size);
void MapPalette(const uint8_t* data, size_t size);

}  // namespace vantorel::fuzz
