// The local stand-in of the place-search service, tested on its own over real HTTPS with a
// client that trusts only the stand-in's generated authority.
#include <gtest/gtest.h>
#include <httplib.h>

#include <orvane/site/standin/standin_server.h>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using nlohmann::json;
using orvane::site::standin::StandinOptions;
using orvane::site::standin::StandinServer;

constexpr const char* kKey = StandinOptions::kDemoKey;
const json kParis = {{"lat", 48.8566}, {"lng", 2.3522}};
constexpr std::int64_t kWinter2024 = 1705320000;  // 2024-01-15T12:00:00Z
constexpr std::int64_t kSummer2024 = 1721044800;  // 2024-07-15T12:00:00Z

std::string path(const char* word) { return StandinServer::operationPath(word); }

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override { server_.start(); }

  std::unique_ptr<httplib::SSLClient> client(const std::string& caFile) const {
    auto c = std::make_unique<httplib::SSLClient>("localhost", server_.port());
    c->set_ca_cert_path(caFile.c_str());
    c->enable_server_certificate_verification(true);
    c->set_keep_alive(true);
    c->set_tcp_nodelay(true);
    return c;
  }

  httplib::Result post(const std::string& target, const std::string& key, const std::string& body,
                       const httplib::Headers& headers = {}) {
    if (!client_) client_ = client(server_.caFile().string());
    return client_->Post((target + "?key=" + key).c_str(), headers, body, "application/json");
  }

  // Posts and parses a reply that must be JSON.
  json call(const char* word, const json& body, int expectedStatus = 200) {
    const httplib::Result res = post(path(word), kKey, body.dump());
    if (!res) {
      ADD_FAILURE() << word << ": no reply, error " << static_cast<int>(res.error());
      return json();
    }
    EXPECT_EQ(res->status, expectedStatus) << word << ": " << res->body;
    return json::parse(res->body);
  }

  StandinServer server_;
  std::unique_ptr<httplib::SSLClient> client_;
};

void expectOk(const json& reply) {
  EXPECT_EQ(reply["returnCode"], "0");
  EXPECT_EQ(reply["returnDesc"], "OK");
}

TEST_F(StandinTest, TimezoneGivesRealOffsetsInSecondsAtTheTimestamp) {
  const json winter = call("getTimezone", {{"location", kParis}, {"timestamp", kWinter2024}});
  expectOk(winter);
  EXPECT_EQ(winter["timeZoneId"], "Europe/Paris");
  EXPECT_EQ(winter["rawOffset"], 3600);
  EXPECT_EQ(winter["dstOffset"], 0);
  EXPECT_EQ(winter["timeZoneName"], "CET");
  const json summer = call("getTimezone", {{"location", kParis}, {"timestamp", kSummer2024}});
  EXPECT_EQ(summer["rawOffset"], 3600);
  EXPECT_EQ(summer["dstOffset"], 3600);
  EXPECT_EQ(summer["timeZoneName"], "CEST");
  // Milliseconds are refused rather than read as a date thousands of years away.
  call("getTimezone", {{"location", kParis}, {"timestamp", kSummer2024 * 1000}}, 400);
}

TEST_F(StandinTest, FaultsDamageTheReplyAsAsked) {
  const std::string body = json{{"location", kParis}, {"timestamp", kWinter2024}}.dump();
  const std::string timezone = path("getTimezone");

  const httplib::Result noBody = post(timezone, kKey, body, {{"X-Standin-Fault", "nobody-404"}});
  ASSERT_TRUE(noBody);
  EXPECT_EQ(noBody->status, 404);
  EXPECT_TRUE(noBody->body.empty());

  const httplib::Result noCode =
      post(timezone, StandinServer::faultKey(kKey, {"nocode-409"}), body);
  ASSERT_TRUE(noCode);
  EXPECT_EQ(noCode->status, 409);
  EXPECT_FALSE(json::parse(noCode->body).contains("returnCode"));

  const httplib::Result notJson = post(timezone, kKey, body, {{"X-Standin-Fault", "notjson-502"}});
  ASSERT_TRUE(notJson);
  EXPECT_TRUE(json::parse(notJson->body, nullptr, false).is_discarded());

  const httplib::Result truncated =
      post(timezone, StandinServer::faultKey(kKey, {"truncated"}), body);
  ASSERT_TRUE(truncated);
  EXPECT_EQ(truncated->status, 200);
  EXPECT_TRUE(json::parse(truncated->body, nullptr, false).is_discarded());

  // The connection ends without a reply, or with fewer bytes than its length promised.
  EXPECT_FALSE(post(timezone, StandinServer::faultKey(kKey, {"drop"}), body));
  EXPECT_FALSE(post(timezone, StandinServer::faultKey(kKey, {"cut"}), body));

  const httplib::Result unknown = post(timezone, kKey, body, {{"X-Standin-Fault", "explode"}});
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 400);

  // After all that the server still answers normally.
  const httplib::Result fine = post(timezone, kKey, body);
  ASSERT_TRUE(fine);
  EXPECT_EQ(fine->status, 200);
}

}  // namespace
