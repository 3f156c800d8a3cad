// Cassettes: calls recorded from the stand-in replay alike without it, the key never reaches
// the file, faults written by hand drive an option client, and the tool records and replays.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/site.h"
#include "orvane/site/testing.h"
#include "support/LocalProcess.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;

// A key with characters that a URL percent-encodes and JSON escapes: the service knows it
// decoded, the client sends it encoded, and a body may quote it.
const std::string kKey = "k+y/\xc3\xa9\"1";
const std::string kWireKey = "k%2By%2F%C3%A9%221";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string freshPath(const std::string& name) {
  const std::string path =
      ::testing::TempDir() + "/cassette-" + std::to_string(::getpid()) + "-" + name + ".jsonl";
  std::remove(path.c_str());
  return path;
}

template <class Response>
std::string sitesOf(const Result<Response>& result) {
  if (!result.ok()) return "error: " + result.error().localizedDescription;
  std::string names;
  if (!result.value()->sites) return names;
  for (const auto& site : *result.value()->sites) names += site->name.value_or("?") + ";";
  return names;
}

// Each call's decoded result, as text to compare runs by. The geocode carries the key in its
// body, so its record is masked and replay must mask alike to find it.
const std::vector<std::function<std::string(SiteClient&)>> kCalls{
    [](SiteClient& client) {
      auto result =
          client.timezone(TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en")).get();
      return result.ok() ? result.value()->timeZoneId.value_or("?")
                         : result.error().localizedDescription;
    },
    [](SiteClient& client) {
      return sitesOf(client.geocode(GeocodeRequest("Paris " + kKey, {}, {})).get());
    },
    [](SiteClient& client) {
      return sitesOf(
          client.textSearch(TextSearchRequest("Paris", {}, {}, {}, {}, {}, {}, 2, {}, {})).get());
    },
};

std::vector<std::string> callAll(ClientOptions options) {
  SiteClient client(options.setAttemptTimeout(10s));
  std::vector<std::string> results;
  for (const auto& call : kCalls) results.push_back(call(client));
  return results;
}

std::vector<std::string> recordFromStandin(const std::string& cassette) {
  testkit::Standin standin(std::vector<std::string>{kKey});
  ClientOptions options = standin.clientOptions();
  options.setApiKey(kWireKey).setTransport(std::make_shared<testkit::RecordingTransport>(
      standin.transport(), cassette, std::vector<std::string>{kWireKey}));
  return callAll(options);
}

TEST(Cassette, RecordedCallsReplayAlikeOnceTheStandinIsGone) {
  const std::string cassette = freshPath("replay");
  const std::vector<std::string> recorded = recordFromStandin(cassette);
  EXPECT_NE(recorded[0].find("Europe/Paris"), std::string::npos) << recorded[0];
  ClientOptions options;
  options.setApiKey(kWireKey).setTransport(
      std::make_shared<testkit::ReplayTransport>(cassette, std::vector<std::string>{kWireKey}));
  EXPECT_EQ(callAll(options), recorded);
}

TEST(Cassette, TheKeyNeverReachesTheCassetteInAnyEncoding) {
  const std::string cassette = freshPath("key");
  recordFromStandin(cassette);
  const std::string text = readFile(cassette);
  ASSERT_NE(text.find("\"operation\":\"geocode\""), std::string::npos) << text;
  for (const std::string& form :
       {kKey, kWireKey, std::string("k%2by%2f%c3%a9%221"), std::string("k+y/\xc3\xa9\\\"1"),
        std::string("k+y/\\u00e9\\\"1"), std::string("key=")}) {
    EXPECT_EQ(text.find(form), std::string::npos) << form << " in\n" << text;
  }
}

TEST(Cassette, AnUnmatchedRequestNamesTheNearestRecordedOne) {
  const std::string cassette = freshPath("nearest");
  std::ofstream(cassette)
      << R"({"operation":"timezone","request":{"location":{"lat":1,"lng":2}},"status":200,"reply":"{}"})"
      << "\n\n"
      << R"({"operation":"geocode","request":{"address":"Lyon"},"status":200,"reply":"{}"})"
      << "\n"
      << R"({"operation":"geocode","request":{"address":"Paris, France"},"status":200,"reply":"{}"})"
      << "\n";
  ClientOptions options;
  options.setApiKey("any").setTransport(std::make_shared<testkit::ReplayTransport>(cassette));
  const auto result = SiteClient(options).geocode(GeocodeRequest("Paris, Franc", {}, {})).get();
  ASSERT_FALSE(result.ok());
  const std::string detail = result.error().userInfo.at("detail");
  EXPECT_NE(
      detail.find("nearest recorded request is geocode {\"address\":\"Paris, France\"} (line 4)"),
      std::string::npos)
      << detail;
}

TEST(Cassette, ACassetteThatDoesNotParseNamesItsLine) {
  const std::string cassette = freshPath("broken");
  std::ofstream(cassette) << R"({"operation":"geocode","status":200})"
                          << "\n"
                          << R"({"operation":)"
                          << "\n";
  try {
    testkit::ReplayTransport replay(cassette);
    ADD_FAILURE() << "the broken cassette was accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
}

TEST(Cassette, AHandWrittenServerErrorIsRetried) {
  ClientOptions options;
  options.setApiKey("any")
      .setRetryPolicy(RetryPolicy::specSchedule().setMaxAttempts(3).setInitialPause(10ms))
      .setTransport(std::make_shared<testkit::ReplayTransport>(
          ORVANE_SITE_TEST_FIXTURES "/../../examples/cassettes/server-error-then-timezone.jsonl"));
  const auto result = SiteClient(options)
                          .timezone(TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"))
                          .get();
  ASSERT_TRUE(result.ok()) << result.error().localizedDescription;
  EXPECT_EQ(result.value()->timeZoneId, "Europe/Paris");
}

#ifdef ORVANE_SITE_CLI_PATH
std::string runTool(std::vector<std::string> args) {
  const std::string out = freshPath("out");
  args.insert(args.begin(), ORVANE_SITE_CLI_PATH);
  const pid_t pid =
      testkit::spawnProcess(args, {"/dev/null", out, "/dev/null"}, {"ORVANE_SITE_API_KEY"});
  EXPECT_EQ(testkit::waitForProcess(pid, std::chrono::seconds(120)).exitCode, 0) << args[1];
  return readFile(out);
}

TEST(Cassette, TheToolPrintsTheSameFromItsReplayAsFromItsRecording) {
  const std::string cassette = freshPath("tool");
  const std::vector<std::string> call{"geocode", "--address", "Paris, France"};
  std::vector<std::string> record{"--standin", "--record", cassette};
  record.insert(record.end(), call.begin(), call.end());
  std::vector<std::string> replay{"--replay", cassette};
  replay.insert(replay.end(), call.begin(), call.end());
  const std::string recorded = runTool(record);
  EXPECT_NE(recorded.find("Paris"), std::string::npos) << recorded;
  EXPECT_EQ(runTool(replay), recorded);
}
#endif

}  // namespace
}  // namespace orvane::site
