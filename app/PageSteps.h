// The undo steps of a project window's pages, without the windows: the pages' values by control
// name, which of them a step changed, the step's name, and whether taking it back or doing it
// again leaves values that the picture was made from.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vantorel {

// Control name -> the value it shows, as text.
using PageFields = std::map<std::string, std::string>;

// The names whose values differ between a and b (also those only one of them holds), sorted.
std::vector<std::string> ChangedFields(const PageFields& a, const PageFields& b);

// What a person calls the control ("AB-sequence", "picture width", ...); the name itself when
// it is none of the pages' controls.
std::string FieldLabel(const std::string& name);

// The name of a step that changed these fields: "change AB-sequence", "change picture width
// and picture height", "change several values".
std::string PageStepName(const std::vector<std::string>& fields);

// True when taking the step back (or doing it again) moves at least one of its fields away
// from the value the picture was made from: `now` holds it as `applied` does.
bool StepLeavesPicture(const std::vector<std::string>& fields, const PageFields& now, const PageFields& applied);

// The question asked before such a step is taken back (undo) or done again.
std::string LeavePictureQuestion(const std::string& stepName, bool undo);

}  // namespace vantorel
