// Runs the orvane-site command-line tool as a process against the stand-in it starts itself
// (--standin): every operation's output, and the command lines it refuses.
// Built only when the tool is (ORVANE_SITE_CLI_PATH comes from tests/CMakeLists.txt).
#ifdef ORVANE_SITE_CLI_PATH

#include <algorithm>
#include <set>
#include <sstream>

#include "tool_fixture.h"

namespace {

using nlohmann::json;
using tool_test::ToolRun;

class CliTool : public tool_test::ToolTest {
 protected:
  ToolRun runTool(const std::vector<std::string>& args) { return finish(spawn(args)); }

  // The whole of standard output as one JSON document (a log line there would break it).
  json runJson(std::vector<std::string> args) {
    args.insert(args.begin(), "--standin");
    const ToolRun result = runTool(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    json document = json::parse(result.out, nullptr, false);
    EXPECT_FALSE(document.is_discarded()) << "stdout is not JSON:\n" << result.out;
    return document;
  }
};

// Absent fields are left out of the output, never written as null.
bool holdsNull(const json& value) {
  if (!value.is_structured()) return value.is_null();
  return std::any_of(value.begin(), value.end(), [](const json& part) { return holdsNull(part); });
}

std::string firstSiteName(const json& reply) {
  if (!reply.contains("sites") || reply["sites"].empty()) return "(no sites)";
  return reply["sites"][0].value("name", "(no name)");
}

TEST_F(CliTool, EveryOperationPrintsItsResponseAsJson) {
  const json search = runJson({"text-search", "--query", "Paris", "--page-size", "2"});
  ASSERT_EQ(firstSiteName(search), "Paris") << search.dump(2);
  EXPECT_EQ(search["returnCode"], "0");
  EXPECT_GE(search["totalCount"].get<int>(), 1);
  EXPECT_LE(search["sites"].size(), 2u);
  EXPECT_TRUE(search["sites"][0]["location"].contains("lat"));
  EXPECT_FALSE(holdsNull(search));
  const std::string parisId = search["sites"][0]["siteId"];

  const json nearby =
      runJson({"nearby-search", "--lat", "48.85", "--lng", "2.35", "--radius", "50000"});
  EXPECT_EQ(firstSiteName(nearby), "Paris") << nearby.dump(2);
  EXPECT_TRUE(nearby["sites"][0].contains("distance"));

  const json detail = runJson({"detail", "--site-id", parisId});
  EXPECT_EQ(detail["site"]["siteId"], parisId);
  EXPECT_EQ(detail["site"]["name"], "Paris");
  EXPECT_TRUE(detail["site"]["address"].is_object());

  const json suggestion = runJson({"suggest", "--query", "Pari"});
  EXPECT_EQ(firstSiteName(suggestion), "Paris") << suggestion.dump(2);

  const json completion = runJson({"autocomplete", "--query", "Pari"});
  ASSERT_FALSE(completion["predictions"].empty()) << completion.dump(2);
  EXPECT_TRUE(completion["predictions"][0]["matchedWords"].is_array());

  const json geocoded = runJson({"geocode", "--address", "Paris, France"});
  EXPECT_EQ(firstSiteName(geocoded), "Paris") << geocoded.dump(2);

  const json reverse = runJson({"reverse-geocode", "--lat", "48.85", "--lng", "2.35"});
  EXPECT_EQ(firstSiteName(reverse), "Paris") << reverse.dump(2);

  // 14 November 2023: Paris keeps standard time, one hour east of UTC.
  const json zone =
      runJson({"timezone", "--lat", "48.85", "--lng", "2.35", "--timestamp", "1700000000"});
  EXPECT_EQ(zone["timeZoneId"], "Europe/Paris");
  EXPECT_EQ(zone["rawOffset"], 3600);
  EXPECT_EQ(zone["dstOffset"], 0);
}

// --all-pages prints one document per page, in order, until the limit or the reply's totalCount.
TEST_F(CliTool, AllPagesPrintsEachPageUpToTheLimitOrTheTotal) {
  const json first = runJson({"text-search", "--query", "San", "--page-size", "1"});
  const int total = first["totalCount"].get<int>();
  ASSERT_GE(total, 3) << first.dump(2);
  for (const int limit : {2, 1000}) {
    const ToolRun result = runTool({"--standin", "text-search", "--query", "San", "--page-size",
                                    "1", "--all-pages", std::to_string(limit)});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> siteIds;
    std::istringstream lines(result.out);
    std::string document;
    for (std::string line; std::getline(lines, line);) {
      document += line + "\n";
      if (line != "}") continue;
      const json page = json::parse(document);
      document.clear();
      ASSERT_EQ(page["sites"].size(), 1u) << page.dump(2);
      siteIds.push_back(page["sites"][0]["siteId"]);
    }
    EXPECT_TRUE(document.empty()) << document;
    EXPECT_EQ(siteIds.size(), static_cast<std::size_t>(std::min(limit, total))) << result.out;
    EXPECT_EQ(siteIds[0], first["sites"][0]["siteId"]);
    EXPECT_EQ(std::set<std::string>(siteIds.begin(), siteIds.end()).size(), siteIds.size());
  }
}

TEST_F(CliTool, UsageErrorsExitTwoWithoutCalling) {
  const std::vector<std::vector<std::string>> misuses = {
      {},                                                           // no subcommand
      {"--standin", "text-search"},                                 // --query missing
      {"--standin", "timezone", "--lat", "1", "--timestamp", "0"},  // --lng missing
      {"--standin", "suggest", "--query", "x", "--lat", "1"},       // half a position
      {"--standin", "reverse-geocode", "--lat", "nan", "--lng", "1"},
      {"--standin", "geocode", "--address", "x", "--bounds", "1,2,3"},
      {"--standin", "geocode", "--address", "x", "--bounds", "1,2,3,north"},
      {"--standin", "geocode", "--address", "x", "--ne-lat", "1"},  // one corner of four
      {"--standin", "--format", "xml", "geocode", "--address", "x"},
      {"--standin", "--host", "127.0.0.1:1", "geocode", "--address", "x"},
      {"--standin", "--timeout", "0", "geocode", "--address", "x"},
      {"geocode", "--address", "x"},  // no key at all
  };
  for (const auto& args : misuses) {
    const ToolRun result = runTool(args);
    std::string line;
    for (const auto& arg : args) line += arg + " ";
    EXPECT_EQ(result.exitCode, 2) << line << "\n" << result.err;
    EXPECT_TRUE(result.out.empty()) << line << "\n" << result.out;
  }

  // A file that exists but holds no certificate is refused before any call.
  const std::string notPem = path("not-a-ca.pem");
  tool_test::writeFile(notPem, "not a certificate\n");
  const ToolRun badCa = runTool(
      {"--host", "127.0.0.1:1", "--key", "k", "--ca-file", notPem, "geocode", "--address", "x"});
  EXPECT_EQ(badCa.exitCode, 2) << badCa.err;
  EXPECT_NE(badCa.err.find("--ca-file"), std::string::npos) << badCa.err;

  const ToolRun help = runTool({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("2  the command line is wrong"), std::string::npos) << help.out;
}

}  // namespace

#endif  // ORVANE_SITE_CLI_PATH
