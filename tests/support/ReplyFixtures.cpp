#include "support/ReplyFixtures.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace orvane::site::testkit {
namespace {

constexpr const char* kSitesFixture = "text_search_20_sites.json";

/// The fixture's sites as compact JSON texts.
std::vector<std::string> compactFixtureSites() {
  simdjson::dom::parser parser;
  simdjson::dom::array sites;
  const std::string text = readFixture(kSitesFixture);
  if (parser.parse(text)["sites"].get(sites) != simdjson::SUCCESS) {
    ADD_FAILURE() << kSitesFixture << " holds no \"sites\" array";
    return {};
  }
  std::vector<std::string> compact;
  for (simdjson::dom::element site : sites) compact.push_back(simdjson::minify(site));
  return compact;
}

}  // namespace

std::string readFixture(std::string_view name) {
  const std::string path = std::string(ORVANE_SITE_TEST_FIXTURES) + "/" + std::string(name);
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ADD_FAILURE() << "cannot read fixture " << path;
    return "";
  }
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

GeneratedReply makeTextSearchReply(std::size_t minimumBytes) {
  static const std::vector<std::string> sites = compactFixtureSites();
  std::string list;
  std::size_t count = 0;
  while (!sites.empty() && (count < sites.size() || list.size() < minimumBytes)) {
    if (count > 0) list += ',';
    list += sites[count % sites.size()];
    ++count;
  }
  GeneratedReply reply;
  reply.json = R"({"returnCode":"0","returnDesc":"OK","totalCount":)" + std::to_string(count) +
               R"(,"sites":[)" + list + "]}";
  reply.siteCount = count;
  return reply;
}

}  // namespace orvane::site::testkit
