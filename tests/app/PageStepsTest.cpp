#include <gtest/gtest.h>

#include "app/PageSteps.h"

namespace vantorel {
namespace {

TEST(PageSteps, ChangedFieldsNameTheStepAndTellWhetherThePictureIsLeft) {
  const PageFields before{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}, {"SpinEdit4", "300"}};
  struct Row {
    PageFields after;
    std::vector<std::string> changed;
    std::string name;
  };
  const Row rows[] = {
      {before, {}, "change nothing"},
      {{{"Edit1", "AAB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}, {"SpinEdit4", "300"}}, {"Edit1"}, "change AB-sequence"},
      {{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "800"}, {"SpinEdit4", "600"}},
       {"SpinEdit3", "SpinEdit4"},
       "change picture width and picture height"},
      {{{"Edit1", "B"}, {"Edit3", "1"}, {"SpinEdit3", "1"}, {"SpinEdit4", "300"}},
       {"Edit1", "Edit3", "SpinEdit3"},
       "change several values"},
      {{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}}, {"SpinEdit4"}, "change picture height"},
      {{{"Edit1", "AB"}, {"Edit3", "0"}, {"SpinEdit3", "400"}, {"SpinEdit4", "300"}, {"Zz", "1"}}, {"Zz"}, "change Zz"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ChangedFields(before, r.after), r.changed) << r.name;
    EXPECT_EQ(PageStepName(r.changed), r.name);
  }
  EXPECT_EQ(FieldLabel("colors"), "colours");

  // A step leaves the picture when one of its fields shows the value the picture was made from.
  const PageFields applied{{"Edit1", "AB"}, {"colors", "x"}};
  EXPECT_TRUE(StepLeavesPicture({"Edit1"}, {{"Edit1", "AB"}}, applied));
  EXPECT_FALSE(StepLeavesPicture({"Edit1"}, {{"Edit1", "AAB"}}, applied));
  EXPECT_FALSE(StepLeavesPicture({"Edit3"}, {{"Edit3", "0"}}, applied));  // never applied
  EXPECT_TRUE(StepLeavesPicture({"Edit3", "colors"}, {{"Edit3", "1"}, {"colors", "x"}}, applied));
  EXPECT_EQ(LeavePictureQuestion("change colour", true).substr(0, 22), "Undo \"change colour\"?\n");
  EXPECT_EQ(LeavePictureQuestion("change colour", false).substr(0, 4), "Redo");
}

}  // namespace
}  // namespace vantorel
