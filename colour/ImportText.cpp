#include "colour/ImportText.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/IoError.h"

namespace vantorel::import {

std::vector<std::string_view> TextLines(const uint8_t* data, size_t size, const std::string& what) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string_view::npos)
    throw FormatError("This is not " + what + ": it holds bytes that no text file holds.");
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back(text);
      break;
    }
    lines.push_back(text.substr(0, end));
    const size_t next = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2 : end + 1;
    text.remove_prefix(next);
  }
  return lines;
}

namespace {
bool Blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
}  // namespace

std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view NextWord(std::string_view& s) {
  s = Trim(s);
  size_t n = 0;
  while (n < s.size() && !Blank(s[n])) ++n;
  const std::string_view word = s.substr(0, n);
  s = Trim(s.substr(n));
  return word;
}

std::optional<double> Real(std::string_view word) {
  if (word.empty()) return std::nullopt;
  if (word.front() == '+') word.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<long long> Whole(std::string_view word) {
  if (word.empty()) return std::nullopt;
  if (word.front() == '+') word.remove_prefix(1);
  long long v = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return v;
}

std::string LineName(size_t index) { return "line " + std::to_string(index + 1); }

std::string Quote(std::string_view line) {
  line = Trim(line);
  std::string out;
  for (char c : line.substr(0, 40)) out += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
  if (line.size() > 40) out += "...";
  return "\"" + out + "\"";
}

}  // namespace vantorel::import
