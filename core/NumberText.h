// The one place where numbers become text and text becomes numbers.
// The program shows and reads decimals with a comma.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

constexpr char kDecimalSeparator = ',';

// General float-to-text form: at most 15 significant digits, trailing zeros dropped,
// scientific form (e.g. "1E-5", "1,5E20") for very small and very large magnitudes,
// decimal comma. 0.01 gives "0,01".
std::string FloatToText(double value);

// As FloatToText, but never with an exponent part ("0,00001", "100000000000000000000"): the
// form that formula texts use, since the formula parser reads no exponents.
std::string FloatToPlainText(double value);

// As FloatToText, but with as many significant digits as it takes to read back as the same
// value (17 at most): the form of files that must keep numbers exactly.
std::string FloatToExactText(double value);

// Text to number with the decimal comma only ("0,5", "-1,5E-3", " 2 "). A point is refused.
// Returns nothing when the text is not a number.
std::optional<double> TextToFloat(std::string_view text);

// As TextToFloat, but accepts a point as well as a comma (command-line input, formula texts).
std::optional<double> TextToFloatLenient(std::string_view text);

// Whole numbers: optional sign and digits, surrounding blanks allowed, within int32.
std::optional<int> TextToInt(std::string_view text);

// Fixed notation with the given number of decimals, decimal comma ("25,00").
std::string FixedText(double value, int decimals);

}  // namespace vantorel
