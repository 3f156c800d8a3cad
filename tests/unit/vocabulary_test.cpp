#include <orvane/site/vocabulary/LocationType.h>
#include <orvane/site/vocabulary/OvLocationType.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace orvane::site {
namespace {

// Read while the test program's own static objects are built: an application linking the library
// statically may do the same, and must not see strings that are not constructed yet.
const std::string kZooAtStartup = LocationType::ZOO;
const std::string kProvencalAtStartup = OvLocationType::PROVENCAL_RESTAURANT;
const std::size_t kOvCountAtStartup = OvLocationType::all().size();

TEST(VocabularyTest, ConstantsAreReadyForStaticInitializers) {
  EXPECT_EQ(kZooAtStartup, "zoo");
  EXPECT_EQ(kProvencalAtStartup, "provençal_restaurant");
  EXPECT_EQ(kOvCountAtStartup, OvLocationType::all().size());
}

// Each test starts from the values found when it begins and puts them all back at the end, so an
// assignment cannot leak into other tests.
class VocabularyAssignmentTest : public ::testing::Test {
 protected:
  VocabularyAssignmentTest() : entries_(LocationType::all()) {
    entries_.insert(entries_.end(), OvLocationType::all().begin(), OvLocationType::all().end());
    for (const auto& entry : entries_) saved_.push_back(*entry.variable);
  }
  ~VocabularyAssignmentTest() override {
    for (std::size_t i = 0; i < entries_.size(); ++i) *entries_[i].variable = saved_[i];
  }

  std::vector<VocabularyEntry> entries_;
  std::vector<std::string> saved_;
};

TEST_F(VocabularyAssignmentTest, AssigningOneConstantChangesNoOther) {
  // Every constant in turn, through the listing, against every other constant.
  for (std::size_t changed = 0; changed < entries_.size(); ++changed) {
    *entries_[changed].variable = "changed";
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (i != changed && *entries_[i].variable != saved_[i]) {
        ADD_FAILURE() << "assigning " << entries_[changed].name << " changed " << entries_[i].name;
      }
    }
    *entries_[changed].variable = saved_[changed];
  }
}

}  // namespace
}  // namespace orvane::site
