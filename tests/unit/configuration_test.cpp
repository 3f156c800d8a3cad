// The builder context's setters and their lines, build(), and how the cache takes a context.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientConfig.h"
#include "orvane/site/ContextDataCache.h"
#include "support/LogCapture.h"

namespace orvane::site {
namespace {

// The builder context is process-wide: put it back to the defaults around each test. The
// capture keeps the setters' lines off standard output.
class Configuration : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    log.clear();
  }
  void TearDown() override { reset(); }
  static void reset() {
    ApiContext()
        .setApiScheme("https")
        .setBaseUrl(ClientConfig::BaseUrl)
        .setMaxRetry(3)
        .setRetryInterval(1.0)
        .setTimeoutInterval(60.0)
        .setApiKey("");
    ContextDataCache::setShared(std::make_shared<ContextDataCache>());
  }
  std::vector<std::string> take() {
    std::vector<std::string> lines = log.lines();
    log.clear();
    return lines;
  }
  testkit::LogCapture log;
};

TEST_F(Configuration, EverySetterLogsItsLineExceptTheKey) {
  ApiContext()
      .setApiScheme("http")
      .setBaseUrl("localhost:8443")
      .setMaxRetry(5)
      .setRetryInterval(2)
      .setTimeoutInterval(2.25)
      .setApiKey("secret-key-value");
  const std::vector<std::string> expected = {
      "[OrvaneSite][ApiContext.apiScheme] INFO: Api Scheme changed to: http",
      "[OrvaneSite][ApiContext.baseUrl] INFO: Api Host changed to: localhost:8443",
      "[OrvaneSite][ApiContext.maxRetry] INFO: Max Retry changed to: 5",
      "[OrvaneSite][ApiContext.retryInterval] INFO: Retry Interval changed to: 2.0",
      "[OrvaneSite][ApiContext.timeoutInterval] INFO: Timeout Interval changed to: 2.25",
  };
  EXPECT_EQ(take(), expected);

  ApiContext().setMaxRetry(-1);  // taken as it is
  EXPECT_EQ(take(), std::vector<std::string>{
                        "[OrvaneSite][ApiContext.maxRetry] INFO: Max Retry changed to: -1"});
}

TEST_F(Configuration, SettersWriteTheOneSharedBuilderContextNotTheReceiver) {
  ApiContext receiver;
  EXPECT_EQ(&receiver.setApiKey("KEY1").setMaxRetry(7), &receiver);
  EXPECT_EQ(receiver.apiKey(), "") << "a context passed on without build() keeps the defaults";
  EXPECT_EQ(receiver.maxRetry(), 3);
  auto built = ApiContext().build();
  EXPECT_EQ(built->apiKey(), "KEY1");
  EXPECT_EQ(built->maxRetry(), 7);
  EXPECT_EQ(ApiContext().build(), built);
}

TEST_F(Configuration, CacheUpdateRules) {
  ContextDataCache::set(ApiContext()
                            .setApiKey("first-key")
                            .setApiScheme("")
                            .setBaseUrl("")
                            .setMaxRetry(0)
                            .setRetryInterval(-2.5)
                            .setTimeoutInterval(0)
                            .build());
  auto cache = ContextDataCache::shared();
  EXPECT_EQ(cache->apiKey(), "first-key");
  EXPECT_EQ(cache->apiScheme(), "https") << "empty scheme falls back";
  EXPECT_EQ(cache->baseUrl(), "site-api.orvane.com") << "empty host falls back";
  EXPECT_EQ(cache->maxRetry(), 0) << "retry values are copied unchecked";
  EXPECT_EQ(cache->retryInterval(), -2.5);
  EXPECT_EQ(cache->timeoutInterval(), 0.0);

  ContextDataCache::set(
      ApiContext().setApiKey("").setBaseUrl("localhost:9443").setApiScheme("http").build());
  EXPECT_EQ(cache->apiKey(), "first-key") << "an empty key keeps the cached one";
  EXPECT_EQ(cache->baseUrl(), "localhost:9443");
  EXPECT_EQ(cache->apiScheme(), "http");

  ContextDataCache::set(ApiContext().setApiKey("x").build());
  EXPECT_EQ(cache->apiKey(), "x") << "a one-character key is stored";

  ContextDataCache::set(nullptr);
  EXPECT_EQ(cache->apiKey(), "x") << "a null context changes nothing";
  EXPECT_EQ(cache->baseUrl(), "localhost:9443");
}

}  // namespace
}  // namespace orvane::site
