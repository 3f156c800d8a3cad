// The local stand-in of the place-search service, tested on its own over real HTTPS with a
// client that trusts only the stand-in's generated authority.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <orvane/site/standin/certificate.h>
#include <orvane/site/standin/dataset.h>
#include <orvane/site/standin/standin_server.h>
#include <orvane/site/standin/time_zone_database.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
using orvane::site::standin::Certificate;
using orvane::site::standin::Dataset;
using orvane::site::standin::StandinOptions;
using orvane::site::standin::StandinServer;
using orvane::site::standin::TimeZoneDatabase;

constexpr const char* kKey = StandinOptions::kDemoKey;
const json kParis = {{"lat", 48.8566}, {"lng", 2.3522}};
constexpr std::int64_t kWinter2024 = 1705320000;  // 2024-01-15T12:00:00Z
constexpr std::int64_t kSummer2024 = 1721044800;  // 2024-07-15T12:00:00Z

std::string path(const char* word) { return StandinServer::operationPath(word); }

// A directory of this process alone, so that test runs side by side do not meet.
std::filesystem::path scratchDir(const std::string& name) {
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / (name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

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

void expectSiteForm(const json& site) {
  ASSERT_TRUE(site.is_object());
  EXPECT_TRUE(site["siteId"].is_string());
  EXPECT_TRUE(site["name"].is_string());
  EXPECT_TRUE(site["formatAddress"].is_string());
  EXPECT_TRUE(site["address"]["countryCode"].is_string());
  EXPECT_TRUE(site["location"]["lat"].is_number());
  EXPECT_TRUE(site["location"]["lng"].is_number());
  EXPECT_TRUE(site["viewport"]["northeast"]["lat"].is_number());
  EXPECT_TRUE(site["viewport"]["southwest"]["lng"].is_number());
  EXPECT_TRUE(site["utcOffset"].is_number_integer());
}

void expectOk(const json& reply) {
  EXPECT_EQ(reply["returnCode"], "0");
  EXPECT_EQ(reply["returnDesc"], "OK");
}

TEST_F(StandinTest, SearchOperationsAnswerWithSites) {
  const json text = call("searchByText", {{"query", "paris"}, {"children", true}});
  expectOk(text);
  ASSERT_EQ(text["totalCount"], 1);
  const json& paris = text["sites"][0];
  expectSiteForm(paris);
  EXPECT_EQ(paris["name"], "Paris");
  EXPECT_EQ(paris["address"]["country"], "France");
  EXPECT_TRUE(paris["poi"]["rating"].is_number());
  EXPECT_TRUE(paris["poi"]["priceLevel"].is_number_integer());
  EXPECT_EQ(paris["poi"]["childrenNodes"].size(), 3u);
  EXPECT_TRUE(paris["poi"]["openingHours"]["periods"][0]["open"]["week"].is_number_integer());

  const json nearby = call("nearbySearch", {{"location", kParis}, {"radius", 1000000}});
  expectOk(nearby);
  ASSERT_GE(nearby["sites"].size(), 2u);
  EXPECT_EQ(nearby["sites"][0]["name"], "Paris");
  double previous = 0;
  for (const json& site : nearby["sites"]) {
    expectSiteForm(site);
    EXPECT_GE(site["distance"].get<double>(), previous);
    EXPECT_LE(site["distance"].get<double>(), 1000000);
    previous = site["distance"].get<double>();
  }

  const json detail = call("searchById", {{"siteId", paris["siteId"]}});
  expectOk(detail);
  EXPECT_EQ(detail["site"]["siteId"], paris["siteId"]);
  EXPECT_FALSE(detail["site"]["poi"].contains("childrenNodes"));
  const json unknown = call("searchById", {{"siteId", "no-such-site"}});
  EXPECT_EQ(unknown["returnCode"], "010011");
  EXPECT_FALSE(unknown.contains("site"));

  const json suggestion = call("querySuggestion", {{"query", "new"}, {"countryCode", "us"}});
  expectOk(suggestion);
  ASSERT_FALSE(suggestion["sites"].empty());
  for (const json& site : suggestion["sites"]) EXPECT_EQ(site["address"]["countryCode"], "US");
}

TEST_F(StandinTest, AutocompleteReportsMatchedPiecesByCodePoint) {
  const json reply = call("queryAutoComplete", {{"query", "new yo"}});
  expectOk(reply);
  ASSERT_EQ(reply["predictions"].size(), 1u);
  const json& prediction = reply["predictions"][0];
  EXPECT_EQ(prediction["description"], "New York, United States");
  EXPECT_EQ(prediction["matchedKeywords"],
            json::parse(R"([{"offset":0,"value":"New"},{"offset":4,"value":"Yo"}])"));
  EXPECT_EQ(prediction["matchedWords"],
            json::parse(R"([{"offset":0,"value":"New"},{"offset":4,"value":"York"}])"));
  EXPECT_EQ(reply["sites"][0]["prediction"], prediction);

  // "Abidjan, Côte d'Ivoire": after the two-byte "ô" offsets count characters, not bytes.
  const json abidjan = call("queryAutoComplete", {{"query", "abidjan ivo"}});
  ASSERT_EQ(abidjan["predictions"].size(), 1u);
  EXPECT_EQ(abidjan["predictions"][0]["description"], "Abidjan, Côte d'Ivoire");
  EXPECT_EQ(abidjan["predictions"][0]["matchedWords"][1],
            json::parse(R"({"offset":16,"value":"Ivoire"})"));
}

TEST_F(StandinTest, GeocodeAndReverseGeocodeFindPlaces) {
  const json geocoded = call("geocode", {{"address", "10 Main Street, Buenos Aires, Argentina"}});
  expectOk(geocoded);
  ASSERT_EQ(geocoded["sites"].size(), 1u);
  EXPECT_EQ(geocoded["sites"][0]["name"], "Buenos Aires");
  EXPECT_FALSE(geocoded["sites"][0].contains("poi"));

  const json reversed = call("reverseGeocode", {{"location", kParis}, {"returnPoi", true}});
  expectOk(reversed);
  ASSERT_FALSE(reversed["sites"].empty());
  EXPECT_EQ(reversed["sites"][0]["name"], "Paris");
  EXPECT_LT(reversed["sites"][0]["distance"].get<double>(), 5000);
  EXPECT_TRUE(reversed["sites"][0].contains("poi"));
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

TEST(StandinTimeZoneDatabase, OffsetsFollowTheZoneRules) {
  const TimeZoneDatabase& zones = TimeZoneDatabase::system();
  auto offsets = [&](const char* zone, std::int64_t t) {
    const auto o = zones.offsetsAt(zone, t);
    return std::make_pair(o.rawOffset, o.dstOffset);
  };
  using Pair = std::pair<std::int64_t, std::int64_t>;
  EXPECT_EQ(offsets("Australia/Sydney", kWinter2024), Pair(36000, 3600));  // southern summer
  EXPECT_EQ(offsets("Australia/Sydney", kSummer2024), Pair(36000, 0));
  EXPECT_EQ(offsets("Asia/Kolkata", kSummer2024), Pair(19800, 0));
  // Europe/Dublin's data marks winter as its daylight period; the lower offset is raw.
  EXPECT_EQ(offsets("Europe/Dublin", kWinter2024), Pair(0, 0));
  EXPECT_EQ(offsets("Europe/Dublin", kSummer2024), Pair(0, 3600));
  // The switch to summer time in 2024, one second either side of 01:00 UTC on 31 March.
  EXPECT_EQ(offsets("Europe/Paris", 1711846799), Pair(3600, 0));
  EXPECT_EQ(offsets("Europe/Paris", 1711846800), Pair(3600, 3600));
  // 2050 lies past the files' explicit transitions: the footer rule decides.
  EXPECT_EQ(offsets("Europe/Paris", 2540246400), Pair(3600, 3600));        // 2050-07-01
  EXPECT_EQ(offsets("America/New_York", 2525860800), Pair(-18000, 0));     // 2050-01-15
  EXPECT_EQ(offsets("America/Santiago", 2525860800), Pair(-14400, 3600));  // southern summer
  EXPECT_THROW(zones.offsetsAt("../etc/passwd", 0), std::invalid_argument);
  EXPECT_THROW(zones.offsetsAt("Nowhere/Atlantis", 0), std::runtime_error);
}

TEST_F(StandinTest, TextSearchPagesAndFilters) {
  const json all = call("searchByText", {{"query", "america"}, {"pageSize", 100}});
  const std::int64_t total = all["totalCount"];
  ASSERT_GT(total, 10);
  const json second =
      call("searchByText", {{"query", "america"}, {"pageSize", 5}, {"pageIndex", 2}});
  EXPECT_EQ(second["totalCount"], total);
  ASSERT_EQ(second["sites"].size(), 5u);
  EXPECT_EQ(second["sites"][0]["siteId"], all["sites"][5]["siteId"]);
  const json beyond = call("searchByText", {{"query", "america"}, {"pageIndex", 1000000}});
  EXPECT_TRUE(beyond["sites"].empty());

  const json near =
      call("searchByText", {{"query", "europe"}, {"location", kParis}, {"radius", 500000}});
  for (const json& site : near["sites"]) EXPECT_LE(site["distance"].get<double>(), 500000);
  EXPECT_EQ(call("searchByText", {{"query", "paris"}, {"poiType", "RESTAURANT"}})["totalCount"], 0);
  EXPECT_EQ(call("searchByText", {{"query", "paris"}, {"poiType", "LOCALITY"}})["totalCount"], 1);
}

TEST_F(StandinTest, MalformedRequestsGetAnEnvelopeWithStatus400) {
  struct Case {
    const char* word;
    std::string body;
    const char* mention;
  };
  const std::vector<Case> cases = {
      {"searchByText", "{\"query\":", "not valid JSON"},
      {"searchByText", "[1]", "not a JSON object"},
      {"searchByText", "{}", "\"query\" is missing"},
      {"nearbySearch", R"({"location":{"lat":1}})", "\"location.lng\" is missing"},
      {"nearbySearch", R"({"location":{"lat":91,"lng":0}})", "\"location.lat\" is out of range"},
      {"searchByText", R"({"query":"x","pageSize":0})", "\"pageSize\""},
      {"searchByText", R"({"query":"x","radius":1.5})", "\"radius\" must be a whole number"},
      {"querySuggestion", R"({"query":"x","poiTypes":"bank"})", "\"poiTypes\""},
      {"getTimezone", R"({"location":{"lat":1,"lng":2}})", "\"timestamp\" is missing"},
      {"searchById", R"({"siteId":7})", "\"siteId\" must be a string"},
  };
  for (const Case& c : cases) {
    const httplib::Result res = post(path(c.word), kKey, c.body);
    ASSERT_TRUE(res) << c.body;
    EXPECT_EQ(res->status, 400) << c.body;
    const json reply = json::parse(res->body);
    EXPECT_EQ(reply["returnCode"], "010010");
    EXPECT_NE(reply["returnDesc"].get<std::string>().find(c.mention), std::string::npos)
        << c.body << " -> " << reply["returnDesc"];
  }
}

TEST_F(StandinTest, KeysAreCheckedBeforeAnythingElse) {
  const std::string body = json{{"query", "paris"}}.dump();
  client_ = client(server_.caFile().string());
  for (const std::string& target :
       {path("searchByText") + "?x=1", path("searchByText") + "?key="}) {
    const httplib::Result res = client_->Post(target.c_str(), body, "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 403);
    EXPECT_EQ(json::parse(res->body)["returnCode"], "010001");
  }
  const httplib::Result wrong = post(path("searchByText"), "not-a-key", "not even JSON");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 403);
  const json envelope = json::parse(wrong->body);
  EXPECT_TRUE(envelope["returnDesc"].is_string());

  StandinOptions options;
  options.apiKeys = {"only-this-key"};
  StandinServer custom(options);
  custom.start();
  auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", custom.port());
  c->set_ca_cert_path(custom.caFile().c_str());
  const auto refused =
      c->Post((path("searchByText") + "?key=" + kKey).c_str(), body, "application/json");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 403);
  const auto accepted =
      c->Post((path("searchByText") + "?key=only-this-key").c_str(), body, "application/json");
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->status, 200);
  EXPECT_EQ(custom.requestsForKey("only-this-key"), 1);
}

TEST_F(StandinTest, ServerErrorFaultCountsDownPerKey) {
  const std::string key = StandinServer::faultKey(kKey, {"5xx-2-502"}, "countdown");
  const std::string body = json{{"siteId", "x"}}.dump();
  std::vector<int> statuses;
  for (int i = 0; i < 3; ++i) {
    const httplib::Result res = post(path("searchById"), key, body);
    ASSERT_TRUE(res);
    statuses.push_back(res->status);
  }
  EXPECT_EQ(statuses, (std::vector<int>{502, 502, 200}));
  EXPECT_EQ(server_.requestsForKey(key), 3);
  // Another tag is another countdown.
  const httplib::Result other =
      post(path("searchById"), StandinServer::faultKey(kKey, {"5xx-2-502"}, "other"), body);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 502);
  // Resetting the counters restarts the countdowns.
  server_.resetCounters();
  const httplib::Result again = post(path("searchById"), key, body);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 502);
  EXPECT_EQ(server_.counters().requests, 1);
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

// Compressing replies costs the stand-in far more than serving them and would make every
// benchmark measure its compressor: whatever the client accepts, replies come back as they are.
TEST_F(StandinTest, RepliesAreNeverCompressed) {
  client_ = client(server_.caFile().string());
  client_->set_decompress(false);  // a compressed body would show as it came
  const httplib::Headers acceptsCompression = {{"Accept-Encoding", "br, gzip, deflate"}};
  const std::string timezone = json{{"location", kParis}, {"timestamp", kWinter2024}}.dump();
  struct Case {
    std::string target;
    std::string key;
    std::string fault;  // X-Standin-Fault
    std::string body;
    int status;
  };
  const std::vector<Case> cases = {
      {path("searchByText"), kKey, "", json{{"query", "america"}, {"pageSize", 100}}.dump(), 200},
      {path("searchByText"), "not-a-key", "", "{}", 403},
      {path("searchByText"), kKey, "", "{\"query\":", 400},
      {"/mapApi/v1/siteService/nowhere", kKey, "", "{}", 404},
      {path("getTimezone"), kKey, "status-404", timezone, 404},
      {path("getTimezone"), kKey, "5xx-1-503", timezone, 503},
      {path("getTimezone"), kKey, "nocode-409", timezone, 409},
      {path("getTimezone"), kKey, "notjson-502", timezone, 502},
      {path("getTimezone"), kKey, "notutf8", timezone, 200},
      {path("getTimezone"), kKey, "truncated", timezone, 200},
      {path("getTimezone"), kKey, "empty", timezone, 200},
  };
  for (const Case& c : cases) {
    httplib::Headers headers = acceptsCompression;
    if (!c.fault.empty()) headers.emplace("X-Standin-Fault", c.fault);
    const httplib::Result res =
        client_->Post((c.target + "?key=" + c.key).c_str(), headers, c.body, "application/json");
    ASSERT_TRUE(res) << c.target << " " << c.fault;
    EXPECT_EQ(res->status, c.status) << c.target << " " << c.fault;
    EXPECT_FALSE(res->has_header("Content-Encoding"))
        << c.target << " " << c.fault << ": " << res->get_header_value("Content-Encoding");
    EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(res->body.size()));
    if (c.fault.empty()) {
      EXPECT_FALSE(json::parse(res->body, nullptr, false).is_discarded()) << c.target;
    }
  }
}

TEST_F(StandinTest, CountsRequestsConnectionsAndKeepsTheLastRequest) {
  const std::string lima = json{{"address", "Lima"}}.dump();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(post(path("geocode"), kKey, lima));
  EXPECT_EQ(server_.connectionsAccepted(), 1);  // kept alive and reused
  client_.reset();
  ASSERT_TRUE(post(path("geocode"), "someone-else", lima));
  EXPECT_EQ(server_.connectionsAccepted(), 2);

  const auto counters = server_.counters();
  EXPECT_EQ(counters.requests, 4);
  EXPECT_EQ(counters.requestsByPath.at(path("geocode")), 4);
  EXPECT_EQ(counters.requestsByKey.at(kKey), 3);
  EXPECT_EQ(counters.requestsByKey.at("someone-else"), 1);

  ASSERT_TRUE(post(path("searchByText"), kKey, R"({"query":"lima"})", {{"X-Test", "last"}}));
  const auto last = server_.lastRequest();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->method, "POST");
  EXPECT_EQ(last->path, path("searchByText"));
  EXPECT_EQ(last->target, path("searchByText") + "?key=" + kKey);
  EXPECT_EQ(last->queryValue("key"), kKey);
  EXPECT_EQ(last->body, R"({"query":"lima"})");
  EXPECT_EQ(last->header("x-test"), "last");
  EXPECT_EQ(last->header("Content-Type"), "application/json");
}

TEST_F(StandinTest, RefusesUnknownPathsAndMethods) {
  const httplib::Result unknown = post("/mapApi/v1/siteService/queryAutocomplete", kKey, "{}");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 404);  // the path word has an upper-case C
  client_ = client(server_.caFile().string());
  const httplib::Result get = client_->Get((path("geocode") + "?key=" + kKey).c_str());
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 405);
  EXPECT_EQ(json::parse(get->body)["returnCode"], "010405");
}

TEST_F(StandinTest, ClientTrustingAnotherAuthorityIsRefused) {
  const std::filesystem::path dir = scratchDir("standin-unrelated-ca");
  const std::filesystem::path caFile = dir / "ca.pem";
  std::ofstream(caFile) << Certificate::generateUnrelatedAuthorityPem();
  auto stranger = client(caFile.string());
  const httplib::Result res =
      stranger->Post((path("geocode") + "?key=" + kKey).c_str(), "{}", "application/json");
  EXPECT_FALSE(res);
  EXPECT_EQ(res.error(), httplib::Error::SSLServerVerification);
  EXPECT_EQ(server_.counters().requests, 0);
  std::filesystem::remove_all(dir);
}

TEST(StandinCertificate, RoundTripsThroughADirectoryAndRejectsMismatchedFiles) {
  const std::filesystem::path dir = scratchDir("standin-certs");
  const Certificate original = Certificate::generate();
  original.writeTo(dir);
  EXPECT_TRUE(Certificate::existsIn(dir));
  EXPECT_EQ(
      std::filesystem::status(dir / "key.pem").permissions() & std::filesystem::perms::group_read,
      std::filesystem::perms::none);
  const Certificate read = Certificate::readFrom(dir);
  EXPECT_EQ(read.caPem(), original.caPem());
  EXPECT_EQ(read.keyPem(), original.keyPem());

  // A server started over that directory uses those files.
  StandinOptions options;
  options.certificateDirectory = dir;
  StandinServer server(options);
  EXPECT_EQ(server.certificate().certPem(), original.certPem());
  EXPECT_EQ(server.caFile(), dir / "ca.pem");

  Certificate::generate().writeTo(dir / "other");
  std::filesystem::copy_file(dir / "other" / "key.pem", dir / "key.pem",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_THROW(Certificate::readFrom(dir), std::runtime_error);
  std::filesystem::remove_all(dir);
}

TEST(StandinDataset, PlacesComeFromTheZoneTable) {
  const Dataset& dataset = Dataset::system();
  const auto* place = dataset.findByZone("America/Argentina/Buenos_Aires");
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->name, "Buenos Aires");
  EXPECT_EQ(place->countryCode, "AR");
  EXPECT_EQ(place->country, "Argentina");
  // zone1970.tab gives -3436-05827: 34 degrees 36 minutes south, 58 degrees 27 minutes west.
  EXPECT_DOUBLE_EQ(place->lat, -(34 + 36 / 60.0));
  EXPECT_DOUBLE_EQ(place->lng, -(58 + 27 / 60.0));
  EXPECT_EQ(dataset.findBySiteId(place->siteId), place);
  // Seconds are read too: New York is +404251-0740023.
  const auto* newYork = dataset.findByZone("America/New_York");
  ASSERT_NE(newYork, nullptr);
  EXPECT_DOUBLE_EQ(newYork->lat, 40 + 42 / 60.0 + 51 / 3600.0);
  EXPECT_EQ(dataset.findByZone("Asia/Dubai")->otherCountryCodes.size(), 4u);
}

}  // namespace
