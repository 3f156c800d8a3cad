// When the shared trust store cannot be attached, the handle keeps its own CA settings, so that
// libcurl's fallback verifies against them (and never runs without any CA).
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"
#include "transport/SharedTrustStore.h"

namespace orvane::site::testing {
namespace {

std::atomic<CURLoption> gFailing{CURLOPT_LASTENTRY};

CURLcode failChosenOption(CURLoption option) {
  return option == gFailing.load() ? CURLE_NOT_BUILT_IN : CURLE_OK;
}

struct FaultScope {
  explicit FaultScope(CURLoption option) {
    gFailing.store(option);
    transport::SharedTrustStore::setOptionFaultForTesting(&failChosenOption);
  }
  ~FaultScope() { transport::SharedTrustStore::setOptionFaultForTesting(nullptr); }
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
};

using Handle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// A handle for `url` that trusts the CA file `caFile` alone.
Handle handleTrusting(const std::string& url, const std::string& caFile) {
  Handle handle(curl_easy_init(), &curl_easy_cleanup);
  EXPECT_TRUE(handle);
  EXPECT_EQ(curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str()), CURLE_OK);
  EXPECT_EQ(curl_easy_setopt(handle.get(), CURLOPT_CAINFO, caFile.c_str()), CURLE_OK);
  EXPECT_EQ(curl_easy_setopt(handle.get(), CURLOPT_CAPATH, nullptr), CURLE_OK);
  EXPECT_EQ(curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT_MS, 20000L), CURLE_OK);
  EXPECT_EQ(curl_easy_setopt(
                handle.get(), CURLOPT_WRITEFUNCTION,
                +[](char*, std::size_t size, std::size_t count, void*) { return size * count; }),
            CURLE_OK);
  return handle;
}

TEST(TrustStoreFallback, AFailedAttachLeavesTheHandlesOwnCaSettings) {
  const standin::Certificate server = standin::Certificate::generate();
  LocalHttpsServer https(server.certPem(), server.keyPem(),
                         [](const ReceivedRequest&, std::size_t) {
                           return ScriptedReply{200, "{}"};
                         });
  const std::filesystem::path caFile =
      std::filesystem::temp_directory_path() /
      ("orvane-site-fallback-" + std::to_string(https.port()) + ".pem");
  {
    std::FILE* out = std::fopen(caFile.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs(server.caPem().c_str(), out);
    std::fclose(out);
  }
  // A store that does not know the server's CA: were it attached, verification would fail.
  const std::string unrelated = standin::Certificate::generateUnrelatedAuthorityPem();
  const auto store = transport::SharedTrustStore::create(unrelated, "", unrelated);
  ASSERT_TRUE(store);
  const std::string url = "https://" + https.host() + "/";

  {
    Handle attached = handleTrusting(url, caFile.string());
    ASSERT_EQ(store->attachTo(attached.get()), CURLE_OK);
    EXPECT_EQ(curl_easy_perform(attached.get()), CURLE_PEER_FAILED_VERIFICATION)
        << "the attached store alone decides";
  }
  const CURLoption options[] = {
    CURLOPT_SSL_CTX_FUNCTION,
    CURLOPT_SSL_CTX_DATA,
    CURLOPT_CAINFO_BLOB,
#if LIBCURL_VERSION_NUM >= 0x075700
    CURLOPT_CA_CACHE_TIMEOUT,
#endif
  };
  for (const CURLoption option : options) {
    Handle handle = handleTrusting(url, caFile.string());
    {
      FaultScope failing(option);
      EXPECT_EQ(store->attachTo(handle.get()), CURLE_NOT_BUILT_IN) << option;
    }
    EXPECT_EQ(curl_easy_perform(handle.get()), CURLE_OK)
        << "option " << option << ": the handle lost its CA file or kept the store";
    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    EXPECT_EQ(status, 200) << option;
  }
  std::filesystem::remove(caFile);
}

}  // namespace
}  // namespace orvane::site::testing
