// Reading the text colour formats of other programs (.ggr, .gpl, .map): lines, words and numbers
// in the C form ("0.5", never "0,5"), whatever the locale. Shared by their readers only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel::import {

// The lines of a text, without their line ends (LF, CR LF or CR) and without a leading UTF-8
// byte order mark. Refuses bytes that no text holds (a zero byte) with a FormatError naming `what`.
std::vector<std::string_view> TextLines(const uint8_t* data, size_t size, const std::string& what);

std::string_view Trim(std::string_view s);
// Splits off the first word (run of non-blanks) of s; s keeps the rest, trimmed at its start.
std::string_view NextWord(std::string_view& s);

// A whole word as a number; nothing when it is not one (or not finite).
std::optional<double> Real(std::string_view word);
std::optional<long long> Whole(std::string_view word);

// "line 12" for messages, the first line being 1.
std::string LineName(size_t index);
// The start of a line as the user would recognise it in a message, at most 40 characters.
std::string Quote(std::string_view line);

// A colour 0x00BBGGRR from three levels 0 ... 255.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

}  // namespace vantorel::import
