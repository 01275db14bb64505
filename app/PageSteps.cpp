#include "app/PageSteps.h"

#include <array>
#include <utility>

namespace vantorel {

std::vector<std::string> ChangedFields(const PageFields& a, const PageFields& b) {
  std::vector<std::string> changed;
  auto i = a.begin();
  auto j = b.begin();
  while (i != a.end() || j != b.end()) {
    if (j == b.end() || (i != a.end() && i->first < j->first)) {
      changed.push_back((i++)->first);
    } else if (i == a.end() || j->first < i->first) {
      changed.push_back((j++)->first);
    } else {
      if (i->second != j->second) changed.push_back(i->first);
      ++i;
      ++j;
    }
  }
  return changed;
}

std::string FieldLabel(const std::string& name) {
  static constexpr std::array<std::pair<const char*, const char*>, 21> kLabels{{
      {"CheckBox1", "use fixed"},
      {"RadioGroup1", "fixed formula"},
      {"Memo1", "formula"},
      {"Edit8", "W"},
      {"Edit9", "V"},
      {"Edit10", "U"},
      {"Edit1", "AB-sequence"},
      {"Edit2", "start value"},
      {"SpinEdit1", "iterations"},
      {"SpinEdit2", "calm down"},
      {"CheckBox2", "smart-iterate"},
      {"Edit11", "error limit"},
      {"Edit3", "centre X"},
      {"Edit4", "centre Y"},
      {"Edit5", "rotation"},
      {"Edit6", "width"},
      {"Edit7", "height"},
      {"SpinEdit3", "picture width"},
      {"SpinEdit4", "picture height"},
      {"CheckBox3", "adjust ratio"},
      {"colors", "colours"},
  }};
  for (const auto& [control, label] : kLabels)
    if (name == control) return label;
  return name;
}

std::string PageStepName(const std::vector<std::string>& fields) {
  if (fields.empty()) return "change nothing";
  if (fields.size() == 1) return "change " + FieldLabel(fields[0]);
  if (fields.size() == 2) return "change " + FieldLabel(fields[0]) + " and " + FieldLabel(fields[1]);
  return "change several values";
}

bool StepLeavesPicture(const std::vector<std::string>& fields, const PageFields& now, const PageFields& applied) {
  for (const std::string& f : fields) {
    const auto a = applied.find(f);
    const auto n = now.find(f);
    if (a != applied.end() && n != now.end() && a->second == n->second) return true;
  }
  return false;
}

std::string LeavePictureQuestion(const std::string& stepName, bool undo) {
  return std::string(undo ? "Undo" : "Redo") + " \"" + stepName +
         "\"?\nThe picture was made with the values this step changes; afterwards the pages differ from "
         "the picture until it is computed (or its colours are applied) again.";
}

}  // namespace vantorel
