// Runs the orvane-site command-line tool as a process against the local stand-in: with
// --standin (the tool starts it itself) and with --host/--ca-file pointing at a stand-in this
// test starts, which also shows what the tool sent.
// Built only when the tool is (ORVANE_SITE_CLI_PATH comes from tests/CMakeLists.txt).
#ifdef ORVANE_SITE_CLI_PATH

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <orvane/site/standin/standin_server.h>

extern char** environ;

namespace {

using nlohmann::json;
using orvane::site::standin::StandinOptions;
using orvane::site::standin::StandinServer;

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the tool with `args`, standard output and error captured in files. The environment is
// the test's own without ORVANE_SITE_API_KEY, so that no key leaks in by accident.
ProcessResult runTool(const std::vector<std::string>& args) {
  const std::string dir = ::testing::TempDir();
  const std::string stem = dir + "/orvane-site-cli-" + std::to_string(::getpid());
  const std::string outPath = stem + ".out";
  const std::string errPath = stem + ".err";

  std::vector<std::string> argStrings{ORVANE_SITE_CLI_PATH};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string(*entry).rfind("ORVANE_SITE_API_KEY=", 0) != 0) envp.push_back(*entry);
  }
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ProcessResult result;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
    return result;
  }
  // A hung tool must fail the test, not hang it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "the tool did not end within 120 s";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return result;
}

// The whole of standard output as one JSON document (a log line there would break it).
json parsedOutput(const ProcessResult& result) {
  EXPECT_EQ(result.exitCode, 0) << result.err;
  json document = json::parse(result.out, nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << "stdout is not JSON:\n" << result.out;
  return document;
}

json runJson(std::vector<std::string> args) {
  args.insert(args.begin(), "--standin");
  return parsedOutput(runTool(args));
}

// Absent fields are left out of the output, never written as null.
bool holdsNull(const json& value) {
  if (value.is_null()) return true;
  if (value.is_structured()) {
    for (const auto& element : value) {
      if (holdsNull(element)) return true;
    }
  }
  return false;
}

std::string firstSiteName(const json& reply) {
  if (!reply.contains("sites") || reply["sites"].empty()) return "(no sites)";
  return reply["sites"][0].value("name", "(no name)");
}

TEST(CliTool, EveryOperationPrintsItsResponseAsJson) {
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

TEST(CliTool, TableFormatPrintsOneAlignedRowPerPlace) {
  const ProcessResult result = runTool(
      {"--standin", "text-search", "--query", "Paris", "--page-size", "1", "--format", "table"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::istringstream lines(result.out);
  std::string summary, header, rule, row;
  std::getline(lines, summary);
  std::getline(lines, header);
  std::getline(lines, rule);
  std::getline(lines, row);
  EXPECT_NE(summary.find("totalCount:"), std::string::npos) << result.out;
  EXPECT_EQ(header.rfind("#  name", 0), 0u) << result.out;
  EXPECT_EQ(rule.find_first_not_of("- "), std::string::npos) << result.out;
  EXPECT_EQ(row.rfind("1  Paris", 0), 0u) << result.out;
  // The siteId column starts at the same place in the header and in the row.
  const std::size_t column = header.find("  siteId") + 2;
  ASSERT_LT(column, row.size()) << result.out;
  EXPECT_EQ(row.substr(column - 2, 2), "  ") << result.out;
  EXPECT_NE(row[column], ' ') << result.out;

  const ProcessResult zone = runTool({"--standin", "--format", "table", "timezone", "--lat",
                                      "35.68", "--lng", "139.69", "--timestamp", "1700000000"});
  ASSERT_EQ(zone.exitCode, 0) << zone.err;
  EXPECT_NE(zone.out.find("timeZoneId    Asia/Tokyo"), std::string::npos) << zone.out;
  EXPECT_NE(zone.out.find("rawOffset     32400"), std::string::npos) << zone.out;
}

TEST(CliTool, FailedCallExitsOneAndPrintsDomainCodeAndDescription) {
  const ProcessResult refused =
      runTool({"--standin", "--key", "not-a-key", "geocode", "--address", "Paris"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.out.empty()) << refused.out;
  EXPECT_NE(refused.err.find("OrvaneSite.ErrorType 1: API Error"), std::string::npos)
      << refused.err;

  // Without the stand-in's authority the tool refuses its certificate: verification stays on.
  StandinServer server;
  server.start();
  const ProcessResult untrusted =
      runTool({"--host", server.host(), "--key", StandinOptions::kDemoKey, "--max-retry", "0",
               "timezone", "--lat", "0", "--lng", "0", "--timestamp", "0"});
  EXPECT_EQ(untrusted.exitCode, 1);
  EXPECT_NE(untrusted.err.find("OrvaneSite.TransportError 5: Secure connection failed"),
            std::string::npos)
      << untrusted.err;
  EXPECT_EQ(server.counters().requests, 0);
}

TEST(CliTool, LibraryLogLinesGoToStandardErrorOnlyWithVerbose) {
  const ProcessResult quiet = runTool({"--standin", "reverse-geocode", "--lat", "1", "--lng", "2"});
  parsedOutput(quiet);
  EXPECT_EQ(quiet.out.find("[OrvaneSite]"), std::string::npos);
  EXPECT_EQ(quiet.err.find("[OrvaneSite]"), std::string::npos) << quiet.err;

  const ProcessResult verbose =
      runTool({"--standin", "reverse-geocode", "--lat", "1", "--lng", "2", "--verbose"});
  parsedOutput(verbose);
  EXPECT_EQ(verbose.out.find("[OrvaneSite]"), std::string::npos);
  EXPECT_NE(verbose.err.find("[OrvaneSite]"), std::string::npos) << verbose.err;
  EXPECT_NE(verbose.err.find("reverseGeocode"), std::string::npos) << verbose.err;
  EXPECT_EQ(verbose.err.find(StandinOptions::kDemoKey), std::string::npos) << verbose.err;
}

TEST(CliTool, UsageErrorsExitTwoWithoutCalling) {
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
    const ProcessResult result = runTool(args);
    std::string line;
    for (const auto& arg : args) line += arg + " ";
    EXPECT_EQ(result.exitCode, 2) << line << "\n" << result.err;
    EXPECT_TRUE(result.out.empty()) << line << "\n" << result.out;
  }

  // A file that exists but holds no certificate is refused before any call.
  const std::string notPem = ::testing::TempDir() + "/orvane-site-cli-not-a-ca.pem";
  std::ofstream(notPem) << "not a certificate\n";
  const ProcessResult badCa = runTool(
      {"--host", "127.0.0.1:1", "--key", "k", "--ca-file", notPem, "geocode", "--address", "x"});
  EXPECT_EQ(badCa.exitCode, 2) << badCa.err;
  EXPECT_NE(badCa.err.find("--ca-file"), std::string::npos) << badCa.err;
  std::remove(notPem.c_str());

  const ProcessResult help = runTool({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("2  the command line is wrong"), std::string::npos) << help.out;
}

// A stand-in of the test's own shows the body each flag produced.
class CliRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new StandinServer();
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  json sentBody(std::vector<std::string> args) {
    const std::vector<std::string> connection = {"--host",    server_->host(),
                                                 "--ca-file", server_->caFile().string(),
                                                 "--key",     StandinOptions::kDemoKey};
    args.insert(args.begin(), connection.begin(), connection.end());
    server_->resetCounters();
    // The stand-in may refuse made-up values; what matters here is what was sent.
    runTool(args);
    const auto request = server_->lastRequest();
    if (!request) {
      ADD_FAILURE() << "nothing reached the server";
      return json();
    }
    return json::parse(request->body);
  }

  static StandinServer* server_;
};

StandinServer* CliRequestTest::server_ = nullptr;

TEST_F(CliRequestTest, EveryFlagReachesTheRequestBody) {
  EXPECT_EQ(sentBody({"text-search",
                      "--query",
                      "cafe",
                      "--lat",
                      "48.5",
                      "--lng",
                      "-2.25",
                      "--radius",
                      "0",
                      "--poi-type",
                      "restaurant",
                      "--ov-poi-type",
                      "eating_drinking",
                      "--country-code",
                      "fr",
                      "--language",
                      "en",
                      "--page-size",
                      "5",
                      "--page-index",
                      "2",
                      "--children"}),
            json::parse(R"({"query":"cafe","location":{"lat":48.5,"lng":-2.25},"radius":0,
                "poiType":"RESTAURANT","ovPoiType":"EATING_DRINKING","countryCode":"fr",
                "language":"en","pageSize":5,"pageIndex":2,"children":true})"));
  EXPECT_EQ(sentBody({"nearby-search", "--lat", "1", "--lng", "2", "--query", "q", "--radius", "10",
                      "--poi-type", "bank", "--ov-poi-type", "x", "--language", "de", "--page-size",
                      "3", "--page-index", "1"}),
            json::parse(R"({"location":{"lat":1.0,"lng":2.0},"query":"q","radius":10,
                "poiType":"BANK","ovPoiType":"X","language":"de","pageSize":3,"pageIndex":1})"));
  EXPECT_EQ(sentBody({"suggest", "--query", "s", "--bounds", "2,3,-1,-4", "--poi-types",
                      "bank,cafe", "--country-code", "us", "--language", "en", "--no-children"}),
            json::parse(R"({"query":"s","bounds":{"northeast":{"lat":2.0,"lng":3.0},
                "southwest":{"lat":-1.0,"lng":-4.0}},"poiTypes":["BANK","CAFE"],
                "countryCode":"us","language":"en","children":false})"));
  EXPECT_EQ(sentBody({"geocode", "--address", "a", "--ne-lat", "2", "--ne-lng", "3", "--sw-lat",
                      "-1", "--sw-lng", "-4", "--language", "fr"}),
            json::parse(R"({"address":"a","bounds":{"northeast":{"lat":2.0,"lng":3.0},
                "southwest":{"lat":-1.0,"lng":-4.0}},"language":"fr"})"));
  EXPECT_EQ(sentBody({"reverse-geocode", "--lat", "-33.5", "--lng", "151", "--return-poi=false"}),
            json::parse(R"({"location":{"lat":-33.5,"lng":151.0},"returnPoi":false})"));
  EXPECT_EQ(sentBody({"timezone", "--lat", "0", "--lng", "0", "--timestamp", "-5"}),
            json::parse(R"({"location":{"lat":0.0,"lng":0.0},"timestamp":-5})"));
  EXPECT_EQ(sentBody({"autocomplete", "--query", "", "--radius", "7", "--language", ""}),
            json::parse(R"({"query":"","radius":7,"language":""})"));
}

TEST_F(CliRequestTest, OptionalFieldsAreLeftOutUnlessGiven) {
  EXPECT_EQ(sentBody({"detail", "--site-id", "abc"}), json::parse(R"({"siteId":"abc"})"));
  // The last of --children / --no-children wins.
  EXPECT_EQ(sentBody({"detail", "--site-id", "abc", "--children", "--no-children"}),
            json::parse(R"({"siteId":"abc","children":false})"));
  EXPECT_EQ(sentBody({"detail", "--site-id", "abc", "--no-children", "--children"}),
            json::parse(R"({"siteId":"abc","children":true})"));
  // An empty list is a value: it is sent, unlike a list left out.
  EXPECT_EQ(sentBody({"suggest", "--query", "s", "--poi-types", ""}),
            json::parse(R"({"query":"s","poiTypes":[]})"));
}

}  // namespace

#endif  // ORVANE_SITE_CLI_PATH
