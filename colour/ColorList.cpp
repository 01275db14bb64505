#include "colour/ColorList.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/NumberText.h"

namespace vantorel {

namespace {

ColorEdit Refused(const ColorListState& list, std::string message) {
  ColorEdit e;
  e.State = list;
  e.Error = std::move(message);
  return e;
}

// Sorts the state's entries and maps the rows that were selected to their new places.
ColorEdit Sorted(ColorListState state, const std::vector<bool>& selectedBefore) {
  const std::vector<size_t> order = SortColorEntries(state.Entries);
  ColorEdit e;
  for (size_t row = 0; row < order.size(); ++row)
    if (order[row] < selectedBefore.size() && selectedBefore[order[row]]) e.Selected.push_back(row);
  e.State = std::move(state);
  return e;
}

std::vector<bool> Mask(const std::vector<size_t>& rows, size_t count) {
  std::vector<bool> mask(count, false);
  for (size_t r : rows)
    if (r < count) mask[r] = true;
  return mask;
}

}  // namespace

std::vector<size_t> SortColorEntries(std::vector<TColorEntry>& entries) {
  std::vector<size_t> order(entries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return entries[a].Value < entries[b].Value; });
  std::vector<TColorEntry> sorted;
  sorted.reserve(entries.size());
  for (size_t i : order) sorted.push_back(entries[i]);
  entries = std::move(sorted);
  return order;
}

std::optional<double> ReadColorValue(std::string_view text, std::string& message) {
  const std::optional<double> v = TextToFloat(text);
  if (!v || !std::isfinite(*v)) {
    message = "\"" + std::string(text) + "\" is not a valid value: enter a finite number such as 0,25 or -1,5E-3.";
    return std::nullopt;
  }
  return v;
}

ColorEdit InsertColorEntry(const ColorListState& list, TColorEntry entry) {
  if (!std::isfinite(entry.Value))
    return Refused(list, "The value " + FloatToText(entry.Value) + " is not a finite number.");
  ColorListState state = list;
  state.Entries.push_back(entry);
  std::vector<bool> mask(state.Entries.size(), false);
  mask.back() = true;
  return Sorted(std::move(state), mask);
}

ColorEdit ReplaceColorEntry(const ColorListState& list, size_t row, TColorEntry entry) {
  if (row >= list.Entries.size()) return Refused(list, "No entry is chosen.");
  if (!std::isfinite(entry.Value))
    return Refused(list, "The value " + FloatToText(entry.Value) + " is not a finite number.");
  ColorListState state = list;
  state.Entries[row] = entry;
  std::vector<bool> mask(state.Entries.size(), false);
  mask[row] = true;
  return Sorted(std::move(state), mask);
}

bool CanDeleteColorEntries(size_t selected, size_t count) { return selected > 0 && selected < count; }

ColorEdit DeleteColorEntries(const ColorListState& list, const std::vector<size_t>& selected) {
  const std::vector<bool> mask = Mask(selected, list.Entries.size());
  const size_t k = static_cast<size_t>(std::count(mask.begin(), mask.end(), true));
  if (!CanDeleteColorEntries(k, list.Entries.size())) return Refused(list, "The list must keep at least one entry.");
  ColorEdit e;
  e.State.Below = list.Below;
  e.State.Above = list.Above;
  for (size_t i = 0; i < list.Entries.size(); ++i)
    if (!mask[i]) e.State.Entries.push_back(list.Entries[i]);
  return e;
}

ColorListState ReverseColors(const ColorListState& list) {
  ColorListState state = list;
  const size_t n = state.Entries.size();
  for (size_t j = 0; j < n / 2; ++j) std::swap(state.Entries[j].Color, state.Entries[n - 1 - j].Color);
  std::swap(state.Below, state.Above);
  return state;
}

ColorEdit ChangeColorValues(const ColorListState& list, const std::vector<size_t>& selected,
                            const ValueChange& change) {
  const std::vector<bool> mask = Mask(selected, list.Entries.size());
  ColorListState state = list;
  for (size_t i = 0; i < state.Entries.size(); ++i) {
    if (!mask[i]) continue;
    const double v = state.Entries[i].Value;
    double r = v;
    switch (change.Operation) {
      case ValueOperation::Multiply: r = v * change.Factor; break;
      case ValueOperation::Add: r = v + change.Addend; break;
      case ValueOperation::Power:
        // The power of |v| with the sign of v; 0 stays 0 whatever the power.
        if (v != 0.0) r = std::copysign(std::pow(std::fabs(v), change.Exponent), v);
        break;
    }
    if (!std::isfinite(r))
      return Refused(list, "The value " + FloatToText(v) + " would become " + FloatToText(r) +
                               ", which is not a finite number. No value was changed.");
    state.Entries[i].Value = r;
  }
  if (change.Operation == ValueOperation::Multiply && change.Factor < 0) std::swap(state.Below, state.Above);
  return Sorted(std::move(state), mask);
}

ColorEdit SwapColors(const ColorListState& list, const std::vector<size_t>& selected) {
  std::vector<size_t> rows;
  for (size_t r : selected)
    if (r < list.Entries.size() && std::find(rows.begin(), rows.end(), r) == rows.end()) rows.push_back(r);
  if (rows.size() != 2) return Refused(list, "Choose exactly two entries to swap their colours.");
  ColorEdit e;
  e.State = list;
  std::swap(e.State.Entries[rows[0]].Color, e.State.Entries[rows[1]].Color);
  std::sort(rows.begin(), rows.end());
  e.Selected = rows;
  return e;
}

ColorMenuState ColorMenuFor(size_t selected, size_t count) {
  const size_t k = selected, n = count;
  return {true, k == 1, CanDeleteColorEntries(k, n), k == 0 || k == n, k >= 1, k == 2};
}

}  // namespace vantorel
