#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace vantorel {

namespace {

// significant: digits shown, or 0 for the fewest that read back as the same value.
std::string GeneralText(double value, bool allowExponent, int significant = 15) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0) return "0";

  // d.ddd...e±x; std::to_chars is independent of the C locale.
  char buf[64];
  const auto res = significant > 0
                       ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, significant - 1)
                       : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string s(buf, res.ptr);
  bool negative = false;
  size_t pos = 0;
  if (s[0] == '-') {
    negative = true;
    pos = 1;
  }
  const size_t epos = s.find('e');
  std::string digits;
  for (size_t i = pos; i < epos; ++i)
    if (s[i] != '.') digits.push_back(s[i]);
  const int exp10 = std::atoi(s.c_str() + epos + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  // Position of the decimal point: value = 0.d1d2... * 10^point
  const int point = exp10 + 1;
  std::string out;
  if (negative) out.push_back('-');
  if (allowExponent && (point > 15 || point < -3)) {
    out.push_back(digits[0]);
    if (digits.size() > 1) {
      out.push_back(kDecimalSeparator);
      out.append(digits, 1, std::string::npos);
    }
    out.push_back('E');
    out.append(std::to_string(exp10));
  } else if (point <= 0) {
    out.append("0");
    out.push_back(kDecimalSeparator);
    out.append(static_cast<size_t>(-point), '0');
    out.append(digits);
  } else {
    if (digits.size() <= static_cast<size_t>(point)) {
      out.append(digits);
      out.append(static_cast<size_t>(point) - digits.size(), '0');
    } else {
      out.append(digits, 0, static_cast<size_t>(point));
      out.push_back(kDecimalSeparator);
      out.append(digits, static_cast<size_t>(point), std::string::npos);
    }
  }
  return out;
}

}  // namespace

std::string FloatToText(double value) { return GeneralText(value, true); }
std::string FloatToPlainText(double value) { return GeneralText(value, false); }
std::string FloatToExactText(double value) { return GeneralText(value, true, 0); }

namespace {

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

std::optional<double> Parse(std::string_view text, bool acceptPoint) {
  text = Trim(text);
  std::string norm;
  size_t i = 0;
  auto digit = [&](size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) norm.push_back(text[i++]);
  size_t ndigits = 0;
  while (digit(i)) {
    norm.push_back(text[i++]);
    ++ndigits;
  }
  if (i < text.size() && (text[i] == kDecimalSeparator || (acceptPoint && text[i] == '.'))) {
    norm.push_back('.');
    ++i;
    while (digit(i)) {
      norm.push_back(text[i++]);
      ++ndigits;
    }
  }
  if (ndigits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    norm.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) norm.push_back(text[i++]);
    if (!digit(i)) return std::nullopt;
    while (digit(i)) norm.push_back(text[i++]);
  }
  if (i != text.size()) return std::nullopt;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(norm.data(), norm.data() + norm.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Underflow gives zero; overflow is not a number we can hold.
    bool bigExponent = false;
    const size_t e = norm.find('e');
    if (e != std::string::npos && norm.find('-', e) == std::string::npos) bigExponent = true;
    // Without an exponent part, a value too small for a double has no non-zero digit before
    // the decimal point.
    if (e == std::string::npos) bigExponent = norm.find_first_of("123456789") < norm.find('.');
    if (bigExponent) return std::nullopt;
    return (norm[0] == '-') ? -0.0 : 0.0;
  }
  if (ec != std::errc() || end != norm.data() + norm.size()) return std::nullopt;
  return v;
}

}  // namespace

std::optional<double> TextToFloat(std::string_view text) { return Parse(text, false); }
std::optional<double> TextToFloatLenient(std::string_view text) { return Parse(text, true); }

std::optional<int> TextToInt(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

std::string FixedText(double value, int decimals) {
  char buf[512];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return FloatToText(value);
  std::string s(buf, res.ptr);
  for (char& ch : s)
    if (ch == '.') ch = kDecimalSeparator;
  return s;
}

}  // namespace vantorel
