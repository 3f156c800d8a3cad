#include <gtest/gtest.h>

#include <map>
#include <string>

#include "request_manager_harness.h"
#include "support/LogCapture.h"

namespace orvane::site::testkit {
namespace {

TEST(RequestManagerUrl, KeysThatCannotStandInAQueryAreNeverSent) {
  for (const char* key : {"ab cd", "ab%", "ab%2", "ab%zz", "ab#cd", "ab&x=1", "ab&cd", "ab=cd",
                          "ab\ncd", "ab\x7f", "caf\xC3\xA9", "a\"b", "a<b", "a[b]"}) {
    LogCapture log;
    ManagerCall call(key);
    EXPECT_EQ(call.manager->calledUrl(), "nil") << key;
    call.start();
    EXPECT_TRUE(call.outcomes.empty()) << "reported later, never inside build";
    call.transport->runPosted();
    ASSERT_TRUE(isTransportError(call.only(), TransportErrorCode::invalidApiKey)) << key;
    EXPECT_EQ(call.transport->requestCount(), 0u);
    EXPECT_TRUE(log.lines().empty());
    const std::string& detail = call.only().error->userInfo.at("detail");
    EXPECT_NE(detail.find("character "), std::string::npos) << detail;
    EXPECT_EQ(detail.find(key), std::string::npos) << "the detail does not repeat the key";
  }
  ManagerCall nul(std::string("ab\0cd", 5));
  nul.start();
  nul.transport->runPosted();
  EXPECT_TRUE(isTransportError(nul.only(), TransportErrorCode::invalidApiKey));
}

TEST(RequestManagerUrl, AddressIsFormedFromHostPathAndQuery) {
  LogCapture quiet;
  struct Case {
    const char* host;
    std::string path;
    std::map<std::string, std::string> params;
    const char* url;
  } cases[] = {
      {"localhost:8443", "p", {{"key", "K"}}, "https://localhost:8443/p?key=K"},
      {"127.0.0.1", "a/b c", {{"key", "K"}}, "https://127.0.0.1/a/b%20c?key=K"},
      {"[::1]:9", "p%q?r#s", {{"key", "K"}}, "https://[::1]:9/p%25q%3Fr%23s?key=K"},
      {"h", "p", {{"key", "K"}, {"a", "1%202"}}, "https://h/p?a=1%202&key=K"},
      {"h", "p", {}, "https://h/p"},
      {"h", std::string("a\0b", 3), {}, "https://h/a%00b"},
      // Keys that can stand in a query are sent as given.
      {"h", "p", {{"key", "AbC-123_x.y~z"}}, "https://h/p?key=AbC-123_x.y~z"},
      {"h", "p", {{"key", "a+b"}}, "https://h/p?key=a+b"},
      {"h", "p", {{"key", "abc%2Bdef%3d"}}, "https://h/p?key=abc%2Bdef%3d"},
      {"h", "p", {{"key", ""}}, "https://h/p?key="},
      {"h", "p", {{"key", "a!$'()*,;:@/?b"}}, "https://h/p?key=a!$'()*,;:@/?b"},
  };
  for (const Case& c : cases) {
    ManagerCall call("", c.host, c.path);
    call.manager->setParams(c.params);
    EXPECT_EQ(call.manager->calledUrl(), std::string("Optional(") + c.url + ")");
    call.start();
    EXPECT_EQ(call.transport->lastRequest().url, c.url);
  }
  ManagerCall noParams;
  noParams.manager->setParams(std::nullopt);
  EXPECT_EQ(noParams.manager->calledUrl(),
            "Optional(https://site-api.orvane.com/mapApi/v1/siteService/geocode)");
}

TEST(RequestManagerUrl, HostsThatFormNoUrlEndTheCallWithInvalidUrl) {
  LogCapture quiet;
  for (const char* host : {"", "a b", "user@host", "host/path", "host?q", "h:", "h:99999", "h:8x",
                           "[::1", "caf\xC3\xA9.com", "-h"}) {
    ManagerCall call("KEY", host);
    EXPECT_EQ(call.manager->calledUrl(), "nil") << host;
    call.start();
    call.transport->runPosted();
    EXPECT_TRUE(isTransportError(call.only(), TransportErrorCode::invalidUrl)) << host;
    EXPECT_EQ(call.transport->requestCount(), 0u);
  }
  ManagerCall badParam;
  badParam.manager->setParams(std::map<std::string, std::string>{{"key", "K"}, {"q", "a&b"}});
  badParam.start();
  badParam.transport->runPosted();
  EXPECT_TRUE(isTransportError(badParam.only(), TransportErrorCode::invalidUrl));
}

TEST(RequestManagerUrl, FullUrlReplacesHostAndPathWhenItIsAnHttpsUrl) {
  LogCapture quiet;
  const char* standard =
      "Optional(https://site-api.orvane.com/mapApi/v1/siteService/geocode?key=K)";
  for (const auto& [url, called] :
       {std::pair<const char*, const char*>{"https://other.example:444/x/y?old=1#frag",
                                            "Optional(https://other.example:444/x/y?key=K)"},
        {"http://other.example/x", standard},
        {"not a url", standard}}) {
    ManagerCall call("K");
    call.manager->setUrl(std::string(url));
    EXPECT_EQ(call.manager->calledUrl(), called) << url;
  }
}

TEST(RequestManagerUrl, MethodHeadersAndBodyAreSentAsSet) {
  LogCapture quiet;
  ManagerCall get;
  get.manager->setMode(RequestMode::get);
  get.start();
  EXPECT_EQ(get.transport->lastRequest().method, "GET");
  EXPECT_FALSE(get.transport->lastRequest().body);
  EXPECT_TRUE(get.transport->lastRequest().headers.empty());

  ManagerCall put;
  put.manager->setMode(RequestMode::put);
  put.manager->setHeaderValue("X-Empty", "");
  put.manager->setBodyData(std::string("\x00\x01", 2));
  put.start();
  EXPECT_EQ(put.transport->lastRequest().method, "PUT");
  EXPECT_EQ(put.transport->lastRequest().body, std::string("\x00\x01", 2));
  ASSERT_EQ(put.transport->lastRequest().headers.size(), 1u);
  EXPECT_EQ(put.transport->lastRequest().headers[0].second, "");

  for (auto header : {std::pair<const char*, const char*>{"X-A", "1\r\nInjected: yes"},
                      {"Bad Name", "v"},
                      {"", "v"}}) {
    ManagerCall bad;
    bad.manager->setHeaderValue(header.first, header.second);
    bad.start();
    bad.transport->runPosted();
    EXPECT_TRUE(isTransportError(bad.only(), TransportErrorCode::invalidHeader)) << header.first;
    EXPECT_EQ(bad.transport->requestCount(), 0u);
  }
}

}  // namespace
}  // namespace orvane::site::testkit
