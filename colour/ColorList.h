// Editing the colour list of the "colors" page: the entries in ascending order of value with the
// colours below and above them. Every edit builds a complete new list (or refuses with a message
// for the user) and never changes the list it was given, so a window can swap the result in or
// keep what it had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CalcParams.h"

namespace vantorel {

struct ColorListState {
  std::vector<TColorEntry> Entries;  // ascending by value, equal values in their order
  uint32_t Below = 0xFFFFFF;         // exponents below the first value
  uint32_t Above = 0x000000;         // exponents above the last value
  bool operator==(const ColorListState&) const = default;
};

// An edit's outcome: the new list with the rows to select, or the reason it was refused.
struct ColorEdit {
  ColorListState State;
  std::vector<size_t> Selected;  // rows of the new list, ascending
  std::string Error;             // empty when the edit succeeded
  bool Ok() const { return Error.empty(); }
};

// Sorts by value, keeping equal values in their order. Returns the old row of every new row.
std::vector<size_t> SortColorEntries(std::vector<TColorEntry>& entries);

// A value typed by the user (decimal comma): a finite number, or nothing and a message.
std::optional<double> ReadColorValue(std::string_view text, std::string& message);

// "change values": one operation on the selected entries.
enum class ValueOperation { Multiply, Add, Power };
struct ValueChange {
  ValueOperation Operation = ValueOperation::Multiply;
  double Factor = 1.0;    // "multiply with:"
  double Addend = 0.0;    // "add number:"
  double Exponent = 1.0;  // "high (value^__):" the power of |v|, the sign of v kept
};

// A new entry (from "new" or a click on the colour bar), put where its value belongs.
ColorEdit InsertColorEntry(const ColorListState& list, TColorEntry entry);
// Replaces the entry at row by another colour and value, then sorts.
ColorEdit ReplaceColorEntry(const ColorListState& list, size_t row, TColorEntry entry);
// Deletes the selected rows; allowed only when at least one and not all rows are selected.
bool CanDeleteColorEntries(size_t selected, size_t count);
ColorEdit DeleteColorEntries(const ColorListState& list, const std::vector<size_t>& selected);
// Reverses the order of the colours, leaving the values in place, and exchanges the outer colours.
ColorListState ReverseColors(const ColorListState& list);
// Applies the change to every selected value. Every result is computed first; if one of them is
// not a finite number nothing changes. A negative factor of "multiply with:" mirrors the list,
// so the outer colours are exchanged with it.
ColorEdit ChangeColorValues(const ColorListState& list, const std::vector<size_t>& selected, const ValueChange& change);
// Exchanges the colours of the two selected rows.
ColorEdit SwapColors(const ColorListState& list, const std::vector<size_t>& selected);

// Which items of the list's context menu are available with k of n rows selected.
struct ColorMenuState {
  bool NewEntry, EditSelected, DeleteSelected, InvertOrder, EditValues, SwapColors;
};
ColorMenuState ColorMenuFor(size_t selected, size_t count);

}  // namespace vantorel
