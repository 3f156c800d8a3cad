// Fuzzes the transport's settings that reach the wire or the error texts: the proxy and the user
// agent. Whatever the input: a CurlTransport refuses a user agent with CR, LF or NUL (and only
// such a one) with std::invalid_argument; a failure text quoting the proxy, as libcurl's do,
// shows neither the proxy setting nor its password once masked; and masking the credentials of
// addresses leaves nothing more to mask.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "orvane/site/internal/CurlTransport.h"
#include "transport/SecretMask.h"

namespace {

using namespace orvane::site;

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz_transport_options: %s [%s]\n", what, detail.c_str());
  std::abort();
}

bool holdsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void checkUserAgent(const std::string& agent, const std::string& proxy) {
  CurlTransportOptions options;
  options.userAgent = agent;
  options.proxy = proxy;
  bool refused = false;
  try {
    CurlTransport transport(options);
  } catch (const std::invalid_argument&) {
    refused = true;
  }
  if (refused != holdsLineBreakOrNul(agent)) {
    fail(refused ? "a user agent refused without cause" : "a user agent with a line break taken",
         agent);
  }
}

// The password of a proxy setting, found independently of the library: between the first ":"
// after the scheme and the last "@".
std::string passwordOf(const std::string& proxy) {
  const std::size_t scheme = proxy.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const std::size_t at = proxy.rfind('@');
  if (at == std::string::npos || at <= start) return {};
  const std::size_t colon = proxy.find(':', start);
  if (colon == std::string::npos || colon > at) return {};
  return proxy.substr(colon + 1, at - colon - 1);
}

void checkMasking(const std::string& proxy, const std::string& before, const std::string& after) {
  std::string text = before + proxy + after;
  transport::maskSecrets(text, transport::proxySecrets(proxy));
  transport::maskUrlCredentials(text);
  // A text made of '*' can reappear out of the masks themselves.
  const auto visible = [](const std::string& secret) {
    return !secret.empty() && secret.find('*') == std::string::npos;
  };
  if (visible(proxy) && text.find(proxy) != std::string::npos) fail("the proxy shows in", text);
  const std::string password = passwordOf(proxy);
  if (visible(password) && text.find(password) != std::string::npos) {
    fail("the proxy's password shows in", text);
  }
  std::string again = text;
  transport::maskUrlCredentials(again);
  if (again != text) fail("credentials left after masking", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string proxy = in.ConsumeRandomLengthString(80);
  const std::string agent = in.ConsumeRandomLengthString(80);
  const std::string before = in.ConsumeRandomLengthString(40);
  const std::string after = in.ConsumeRemainingBytesAsString();
  checkUserAgent(agent, proxy);
  checkMasking(proxy, before, after);
  return 0;
}
