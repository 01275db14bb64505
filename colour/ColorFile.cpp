#include "colour/ColorFile.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

void PutRecord(std::vector<uint8_t>& out, double value, uint32_t color) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(color >> (8 * i)));
}

void GetRecord(const uint8_t* p, double& value, uint32_t& color) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(p[i]) << (8 * i);
  uint32_t c = 0;
  for (int i = 0; i < 4; ++i) c |= static_cast<uint32_t>(p[8 + i]) << (8 * i);
  value = std::bit_cast<double>(bits);
  color = c & 0xFFFFFF;  // a colour has no top byte
}

// Checks the number of entries a file of `size` bytes holds; returns it.
size_t EntryCount(uint64_t size) {
  const uint64_t records = size / kColorRecordSize;
  if (records < 3)
    throw FormatError("This is not a colour file: it holds " + std::to_string(records) +
                      " records of 12 bytes, but needs the two outer colours and at least one entry.");
  if (records - 2 > kMaxColorFileEntries)
    throw FormatError("This colour file holds " + std::to_string(records - 2) + " entries; at most " +
                      std::to_string(kMaxColorFileEntries) + " are read.");
  return static_cast<size_t>(records - 2);
}

}  // namespace

std::vector<uint8_t> EncodeColorFile(const ColorListState& list) {
  std::vector<uint8_t> out;
  out.reserve((list.Entries.size() + 2) * kColorRecordSize);
  PutRecord(out, 0.0, list.Below);
  PutRecord(out, 0.0, list.Above);
  for (const TColorEntry& e : list.Entries) PutRecord(out, e.Value, e.Color);
  return out;
}

ColorListState DecodeColorFile(const uint8_t* data, size_t size) {
  const size_t n = EntryCount(size);
  ColorListState list;
  double ignored = 0;
  GetRecord(data, ignored, list.Below);
  GetRecord(data + kColorRecordSize, ignored, list.Above);
  list.Entries.resize(n);
  for (size_t i = 0; i < n; ++i) {
    TColorEntry& e = list.Entries[i];
    GetRecord(data + (i + 2) * kColorRecordSize, e.Value, e.Color);
    if (!std::isfinite(e.Value))
      throw FormatError("Entry " + std::to_string(i + 1) + " of the colour file has the value " + FloatToText(e.Value) +
                        ", which is not a finite number.");
  }
  SortColorEntries(list.Entries);
  return list;
}

ColorListState LoadColorFile(const std::string& path) {
  InputFile file(path);
  // The size is checked before the buffer is made, so a huge file costs nothing.
  const size_t n = EntryCount(file.Size());
  std::vector<uint8_t> bytes((n + 2) * kColorRecordSize);
  if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size())
    throw IoError("Cannot read '" + path + "': the file became shorter while it was read");
  return DecodeColorFile(bytes.data(), bytes.size());
}

void SaveColorFile(const std::string& path, const ColorListState& list) {
  const std::vector<uint8_t> bytes = EncodeColorFile(list);
  WriteFileSafely(path, bytes.data(), bytes.size());
}

}  // namespace vantorel
