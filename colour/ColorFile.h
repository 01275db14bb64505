// Colour files "*.Pal": a colour list kept apart from any project. The file is a sequence of
// 12-byte little-endian records without header: an IEEE double value, then an int32 colour
// 0x00BBGGRR. Record 0 holds the colour below the list, record 1 the colour above it (their values
// are 0 and are ignored), records 2 ... n + 1 the entries in ascending order of value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "colour/ColorList.h"

namespace vantorel {

constexpr size_t kColorRecordSize = 12;
// Files with more entries than this are refused before anything is read into memory.
constexpr size_t kMaxColorFileEntries = 100000;

std::vector<uint8_t> EncodeColorFile(const ColorListState& list);
// Reads a whole file's bytes (trailing bytes that fill no record are ignored). Throws FormatError
// when there is no entry, too many entries or a value that is not a finite number. The entries
// come back sorted by value.
ColorListState DecodeColorFile(const uint8_t* data, size_t size);

// Throws IoError (the system's message) or FormatError; the caller's list is not touched.
ColorListState LoadColorFile(const std::string& path);
// Builds the bytes first, then writes them through a temporary file and a rename, so a failed
// save leaves an existing file as it was. Throws IoError.
void SaveColorFile(const std::string& path, const ColorListState& list);

}  // namespace vantorel
