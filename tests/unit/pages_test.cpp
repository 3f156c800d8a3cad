// A search's pages as a range: which page indexes it asks for, and where it stops.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/MockSiteConnection.h"
#include "orvane/site/testing/ReadyCall.h"

namespace orvane::site {
namespace {

using ::testing::_;

// A reply of `sites` sites and `total` matches.
std::shared_ptr<TextSearchResponse> page(std::size_t sites, std::optional<std::int64_t> total) {
  auto response = std::make_shared<TextSearchResponse>();
  response->sites = std::vector<std::shared_ptr<Site>>(sites, std::make_shared<Site>());
  response->totalCount = total;
  return response;
}

TextSearchRequest search(std::optional<std::int64_t> pageSize,
                         std::optional<std::int64_t> pageIndex) {
  return TextSearchRequest("tea", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt, pageSize, pageIndex, std::nullopt);
}

TEST(Pages, AskForEachIndexLazilyAndStopWhereTheyShould) {
  struct Case {
    const char* name;
    std::optional<std::int64_t> pageSize;
    std::optional<std::int64_t> firstIndex;
    std::size_t maxPages;
    std::vector<std::size_t> sitesPerPage;  // what the service answers, page by page
    std::optional<std::int64_t> total;
    std::vector<std::int64_t> expectedIndexes;
  };
  const Case cases[] = {
      {"up to totalCount", 20, std::nullopt, 10, {20, 20, 5}, 45, {1, 2, 3}},
      {"a last full page", 20, std::nullopt, 10, {20, 20}, 40, {1, 2}},
      {"the size of the first page", std::nullopt, std::nullopt, 10, {10, 10, 10}, 25, {1, 2, 3}},
      {"at most maxPages", 20, std::nullopt, 2, {20, 20}, 1000, {1, 2}},
      {"from the request's index", 20, 3, 10, {20, 5}, 65, {3, 4}},
      {"an empty page ends", 20, std::nullopt, 10, {20, 0}, std::nullopt, {1, 2}},
      {"none at all", 20, std::nullopt, 0, {}, 45, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto connection = std::make_shared<site::testkit::MockSiteConnection>();
    std::vector<std::int64_t> asked;
    EXPECT_CALL(*connection, textSearch(_, _, _))
        .WillRepeatedly([&](TextSearchRequest request, const CallOptions&, auto) {
          asked.push_back(request.pageIndex.value_or(-1));
          EXPECT_EQ(request.pageSize, c.pageSize);
          const std::size_t sites = c.sitesPerPage.at(asked.size() - 1);
          return site::testkit::readyCall(page(sites, c.total));
        });
    SiteClient client(connection);
    auto pages = client.textSearchPages(search(c.pageSize, c.firstIndex), c.maxPages);
    EXPECT_TRUE(asked.empty()) << "no call before the iteration begins";
    std::size_t seen = 0;
    for (const auto& result : pages) {
      EXPECT_TRUE(result.ok());
      ++seen;
    }
    EXPECT_EQ(asked, c.expectedIndexes);
    EXPECT_EQ(seen, c.expectedIndexes.size());
  }
}

TEST(Pages, AnErrorIsTheLastElement) {
  auto connection = std::make_shared<site::testkit::MockSiteConnection>();
  EXPECT_CALL(*connection, textSearch(_, _, _))
      .WillOnce(
          [](auto, const CallOptions&, auto) { return site::testkit::readyCall(page(20, 100)); })
      .WillOnce([](auto, const CallOptions&, auto) {
        return site::testkit::readyCall<TextSearchResponse>(
            makeTransportError(TransportErrorCode::connectionFailed));
      });
  SiteClient client(connection);
  std::vector<bool> outcomes;
  for (const auto& result : client.textSearchPages(search(20, std::nullopt), 10)) {
    outcomes.push_back(result.ok());
  }
  EXPECT_EQ(outcomes, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace orvane::site
