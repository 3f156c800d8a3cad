// Records of a reply are placed together in shared blocks; each must still live exactly as long
// as its own references, whatever happens to the reply and to later replies. Under
// AddressSanitizer a record read after its memory went back (or was handed to a later reply)
// is reported.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "orvane/site/decode.h"
#include "orvane/site/records/OpeningHours.h"
#include "orvane/site/records/Period.h"
#include "orvane/site/records/TimeOfWeek.h"
#include "support/ReplyFixtures.h"

namespace orvane::site {
namespace {

std::shared_ptr<TextSearchResponse> decodeFixture(const std::string& reply) {
  auto result = decode<TextSearchResponse>(reply);
  EXPECT_TRUE(result.ok());
  return result.ok() ? result.value() : nullptr;
}

std::shared_ptr<TimeOfWeek> lastClosing(const Site& site) {
  return site.poi->openingHours->periods->back()->close;
}

TEST(RecordLifetime, EachRecordLivesExactlyAsLongAsItsOwnReferences) {
  const std::string reply = testkit::readFixture("text_search_20_sites.json");
  auto response = decodeFixture(reply);
  ASSERT_NE(response, nullptr);
  const auto& sites = *response->sites;
  std::shared_ptr<Site> firstSite = sites.front();
  std::shared_ptr<TimeOfWeek> closing = lastClosing(*sites.back());
  std::shared_ptr<Poi> middlePoi = sites[sites.size() / 2]->poi;
  const std::string siteId = *firstSite->siteId;
  const std::string closingTime = *closing->time;
  const auto week = *closing->week;
  const auto poiPhone = middlePoi->phone;
  response.reset();

  // Later replies must not be placed over the records still held.
  for (int i = 0; i < 200; ++i) {
    auto later = decodeFixture(reply);
    ASSERT_NE(later, nullptr);
    later->sites->front()->siteId = "overwritten";
    *lastClosing(*later->sites->back())->time = "9999";
  }

  EXPECT_EQ(*firstSite->siteId, siteId);
  EXPECT_EQ(*closing->time, closingTime);
  EXPECT_EQ(*closing->week, week);
  EXPECT_EQ(middlePoi->phone, poiPhone);
  EXPECT_EQ(firstSite.use_count(), 1);
  EXPECT_EQ(closing.use_count(), 1);

  // A record dropped from its site dies while the site lives.
  std::weak_ptr<OpeningHours> hours = firstSite->poi->openingHours;
  std::weak_ptr<Period> period = firstSite->poi->openingHours->periods->front();
  firstSite->poi->openingHours = nullptr;
  EXPECT_TRUE(hours.expired());
  EXPECT_TRUE(period.expired());
  EXPECT_EQ(*firstSite->siteId, siteId);
}

}  // namespace
}  // namespace orvane::site
