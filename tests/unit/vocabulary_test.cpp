#include <orvane/site/vocabulary/LocationType.h>
#include <orvane/site/vocabulary/OvLocationType.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace orvane::site {
namespace {

// Read while the test program's own static objects are built: an application linking the library
// statically may do the same, and must not see strings that are not constructed yet.
const std::string kZooAtStartup = LocationType::ZOO;
const std::string kProvencalAtStartup = OvLocationType::PROVENCAL_RESTAURANT;
const std::size_t kOvCountAtStartup = OvLocationType::all().size();

// The name a value calls for: ASCII upper case, except that ç becomes Ç and a NO-BREAK SPACE
// becomes an underscore. Any other byte outside [a-z0-9_] yields an empty name, so the check
// fails on stray characters in a value.
std::string NameFor(const std::string& value) {
  const std::string cedilla = "\xC3\xA7";
  const std::string no_break_space = "\xC2\xA0";
  std::string name;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (value.compare(i, 2, cedilla) == 0) {
      name += "\xC3\x87";
      ++i;
    } else if (value.compare(i, 2, no_break_space) == 0) {
      name += '_';
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      name += static_cast<char>(c - 'a' + 'A');
    } else if ((c >= '0' && c <= '9') || c == '_') {
      name += c;
    } else {
      return std::string();
    }
  }
  return name;
}

bool IsPlainAscii(const std::string& value) {
  for (const char c : value) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::set<std::string> ValuesOf(const std::vector<VocabularyEntry>& entries) {
  std::set<std::string> values;
  for (const auto& entry : entries) values.insert(*entry.variable);
  return values;
}

std::vector<VocabularyEntry> BothVocabularies() {
  std::vector<VocabularyEntry> entries = LocationType::all();
  entries.insert(entries.end(), OvLocationType::all().begin(), OvLocationType::all().end());
  return entries;
}

TEST(VocabularyTest, ListsEveryConstantOnceInDeclarationOrder) {
  const auto& generic = LocationType::all();
  const auto& maker = OvLocationType::all();
  ASSERT_EQ(generic.size(), 148u);
  ASSERT_EQ(maker.size(), 718u);

  EXPECT_EQ(generic.front().name, "ACCOUNTING");
  EXPECT_EQ(generic.front().variable, &LocationType::ACCOUNTING);
  EXPECT_EQ(generic.back().name, "ZOO");
  EXPECT_EQ(generic.back().variable, &LocationType::ZOO);
  EXPECT_EQ(maker.front().name, "EATING_DRINKING");
  EXPECT_EQ(maker.front().variable, &OvLocationType::EATING_DRINKING);
  EXPECT_EQ(maker[1].variable, &OvLocationType::RESTAURANT);
  EXPECT_EQ(maker.back().name, "CITIES");
  EXPECT_EQ(maker.back().variable, &OvLocationType::CITIES);

  // Distinct variables in the listing make every constant independent of the others.
  std::set<const std::string*> variables;
  for (const auto& entry : BothVocabularies()) variables.insert(entry.variable);
  EXPECT_EQ(variables.size(), 148u + 718u);
}

TEST(VocabularyTest, ValuesAreDistinctWithinEachAnd64AreShared) {
  const auto generic = ValuesOf(LocationType::all());
  const auto maker = ValuesOf(OvLocationType::all());
  EXPECT_EQ(generic.size(), 148u);
  EXPECT_EQ(maker.size(), 718u);

  std::set<std::string> shared;
  for (const auto& value : generic) {
    if (maker.count(value) != 0) shared.insert(value);
  }
  EXPECT_EQ(shared.size(), 64u);
  for (const char* value :
       {"restaurant", "cafe", "bank", "school", "country", "address", "geocode"}) {
    EXPECT_EQ(shared.count(value), 1u) << value;
  }
  EXPECT_NE(&LocationType::RESTAURANT, &OvLocationType::RESTAURANT);
}

TEST(VocabularyTest, EveryNameIsItsValueInUpperCase) {
  std::vector<std::string> departures;
  for (const auto& entry : BothVocabularies()) {
    EXPECT_EQ(entry.name, NameFor(*entry.variable)) << *entry.variable;
    if (!IsPlainAscii(*entry.variable)) departures.emplace_back(entry.name);
  }
  EXPECT_EQ(departures, (std::vector<std::string>{"PROVEN\xC3\x87"
                                                  "AL_RESTAURANT",
                                                  "AUTOMOTIVE_REPAIR_SHOP"}));
  for (const auto& entry : LocationType::all()) EXPECT_TRUE(IsPlainAscii(*entry.variable));
}

TEST(VocabularyTest, KeepsUnusualValuesByteForByte) {
  const std::string& provencal = OvLocationType::PROVENÇAL_RESTAURANT;
  EXPECT_EQ(provencal.size(), 21u);
  EXPECT_EQ(provencal,
            "proven\xC3\xA7"
            "al_restaurant");

  const std::string& automotive = OvLocationType::AUTOMOTIVE_REPAIR_SHOP;
  ASSERT_EQ(automotive.size(), 23u);
  EXPECT_EQ(automotive.substr(0, 10), "automotive");
  EXPECT_EQ(static_cast<unsigned char>(automotive[10]), 0xC2);
  EXPECT_EQ(static_cast<unsigned char>(automotive[11]), 0xA0);
  EXPECT_EQ(automotive.substr(12), "repair_shop");
  EXPECT_NE(automotive, "automotive_repair_shop");

  EXPECT_EQ(OvLocationType::HIGHWAY__ENTRANCE, "highway__entrance");
  EXPECT_EQ(OvLocationType::TRANSPORT__CENTER, "transport__center");
  EXPECT_EQ(OvLocationType::EARTHQUAKE_ASSEMBLY_POINT_, "earthquake_assembly_point_");
  EXPECT_EQ(OvLocationType::GARDENING_CERVICE_CENTER, "gardening_cervice_center");
  EXPECT_EQ(OvLocationType::TEPPANYAKKI_RESTAURANT, "teppanyakki_restaurant");
  EXPECT_EQ(OvLocationType::ORDER_9_AREA_POLICE_STATION, "order_9_area_police_station");
  EXPECT_EQ(LocationType::ADMINISTRATIVE_AREA_LEVEL_1, "administrative_area_level_1");
  EXPECT_EQ(LocationType::POSTAL_CODE_PREFIX, "postal_code_prefix");
}

TEST(VocabularyTest, ConstantsAreReadyForStaticInitializers) {
  EXPECT_EQ(kZooAtStartup, "zoo");
  EXPECT_EQ(kProvencalAtStartup,
            "proven\xC3\xA7"
            "al_restaurant");
  EXPECT_EQ(kOvCountAtStartup, 718u);
}

// Each test starts from the values found when it begins and puts them all back at the end, so an
// assignment cannot leak into other tests.
class VocabularyAssignmentTest : public ::testing::Test {
 protected:
  VocabularyAssignmentTest() : entries_(BothVocabularies()) {
    for (const auto& entry : entries_) saved_.push_back(*entry.variable);
  }
  ~VocabularyAssignmentTest() override {
    for (std::size_t i = 0; i < entries_.size(); ++i) *entries_[i].variable = saved_[i];
  }

  const std::vector<VocabularyEntry> entries_;
  std::vector<std::string> saved_;
};

TEST_F(VocabularyAssignmentTest, AssigningOneConstantChangesNoOther) {
  LocationType::MUSEUM = "art_museum";
  EXPECT_EQ(LocationType::MUSEUM, "art_museum");
  EXPECT_EQ(OvLocationType::MUSEUM, "museum");
  LocationType::MUSEUM = "museum";

  OvLocationType::RESTAURANT = "diner";
  EXPECT_EQ(LocationType::RESTAURANT, "restaurant");
  OvLocationType::RESTAURANT = "restaurant";

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

TEST_F(VocabularyAssignmentTest, AsciiAliasIsTheSameVariable) {
  EXPECT_EQ(&OvLocationType::PROVENCAL_RESTAURANT, &OvLocationType::PROVENÇAL_RESTAURANT);

  OvLocationType::PROVENCAL_RESTAURANT = "provencal_restaurant";
  EXPECT_EQ(OvLocationType::PROVENÇAL_RESTAURANT, "provencal_restaurant");

  OvLocationType::PROVENÇAL_RESTAURANT = "occitan_restaurant";
  EXPECT_EQ(OvLocationType::PROVENCAL_RESTAURANT, "occitan_restaurant");
  EXPECT_EQ(OvLocationType::ROMANIAN_RESTAURANT, "romanian_restaurant");
}

}  // namespace
}  // namespace orvane::site
