#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::site::testkit {

/// The text of a file in tests/fixtures (found through ORVANE_SITE_TEST_FIXTURES). Fails the
/// calling test (and returns "") when the file cannot be read.
std::string readFixture(std::string_view name);

/// A generated text-search reply and the number of sites in it.
struct GeneratedReply {
  std::string json;
  std::size_t siteCount = 0;
};

/// A compact text-search reply of at least `minimumBytes` (1 MiB by default), made by repeating
/// the 20 sites of text_search_20_sites.json; "totalCount" holds the number of sites. For
/// benchmarks and tests.
GeneratedReply makeTextSearchReply(std::size_t minimumBytes = std::size_t{1} << 20);

}  // namespace orvane::site::testkit
