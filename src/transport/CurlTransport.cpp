#include "orvane/site/transport/CurlTransport.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "orvane/site/transport/ConnectionPool.h"
#include "transport/CaBundle.h"
#include "transport/CurlSettings.h"
#include "transport/CurlTransfer.h"
#include "transport/SecretMask.h"
#include "transport/ServiceLoop.h"

namespace orvane::site {

struct CurlTransport::Settings {
  CurlTransportOptions options;
  std::shared_ptr<const transport::CurlSettings> curl;
};

CurlTransport::CurlTransport(CurlTransportOptions options) {
  // libcurl sends the value as it is: a line break would start a header of the caller's making.
  if (options.userAgent.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    throw std::invalid_argument("the user agent holds a line break or NUL");
  }
  auto curl = std::make_shared<transport::CurlSettings>();
  std::string extraPem = transport::extraCertificatesPem(options);
  if (!extraPem.empty()) {
    curl->caBundle = transport::withSystemCertificates(extraPem);
    curl->trustStore = transport::SharedTrustStore::create(
        curl->caBundle, transport::systemCertificateDirectory(), std::move(extraPem));
  }
  curl->proxy = options.proxy;
  curl->proxySecrets = transport::proxySecrets(options.proxy);
  curl->noProxy = options.noProxy;
  curl->userAgent = options.userAgent;
  curl->maxResponseBytes = options.maxResponseBytes;
  switch (options.httpVersion) {
    case CurlTransportOptions::HttpVersion::http1_1:
      curl->httpVersion = CURL_HTTP_VERSION_1_1;
      curl->waitForMultiplexing = false;
      break;
    case CurlTransportOptions::HttpVersion::http2:
      curl->httpVersion = CURL_HTTP_VERSION_2_PRIOR_KNOWLEDGE;
      break;
    case CurlTransportOptions::HttpVersion::automatic:
      curl->httpVersion = CURL_HTTP_VERSION_2TLS;
      break;
  }
  curl->replyBudget = std::make_shared<transport::ReplyBudget>(options.maxResponseBytesInAll);
  try {
    curl->transportShare = std::make_shared<const ConnectionPool>(options.connectionLimits);
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("CurlTransport: the connection limits must be positive");
  }
  curl->defaultPool = std::make_shared<const ConnectionPool>();
  auto settings = std::make_shared<Settings>();
  settings->options = std::move(options);
  settings->curl = std::move(curl);
  settings_ = std::move(settings);
}

CurlTransport::~CurlTransport() = default;

namespace {

// Cancels one transfer on the library thread; holds it weakly, so a finished transfer is not
// kept alive by its handle.
class CurlExchange final : public HttpTransport::Exchange {
 public:
  explicit CurlExchange(std::weak_ptr<transport::CurlTransfer> transfer)
      : transfer_(std::move(transfer)) {}

  void cancel() override {
    std::shared_ptr<transport::CurlTransfer> transfer = transfer_.lock();
    if (!transfer || !transfer->markCancelled()) return;
    transport::ServiceLoop& loop = transport::ServiceLoop::shared();
    loop.post([&loop, transfer = std::move(transfer)] { loop.cancel(transfer); });
  }

 private:
  std::weak_ptr<transport::CurlTransfer> transfer_;
};

}  // namespace

void CurlTransport::send(HttpRequest request, Completion completion) {
  (void)sendCancellable(std::move(request), std::move(completion));
}

std::shared_ptr<HttpTransport::Exchange> CurlTransport::sendCancellable(HttpRequest request,
                                                                        Completion completion) {
  auto transfer = std::make_shared<transport::CurlTransfer>(std::move(request), settings_->curl,
                                                            std::move(completion));
  auto exchange = std::make_shared<CurlExchange>(transfer);
  transport::ServiceLoop& loop = transport::ServiceLoop::shared();
  loop.post([&loop, transfer = std::move(transfer)] { loop.start(transfer); });
  return exchange;
}

void CurlTransport::runAfter(std::chrono::nanoseconds delay, Task task) {
  transport::ServiceLoop::shared().postAfter(delay, std::move(task));
}

void CurlTransport::post(Task task) { transport::ServiceLoop::shared().post(std::move(task)); }

const CurlTransportOptions& CurlTransport::options() const noexcept { return settings_->options; }

std::uint64_t CurlTransport::connectionsOpened() const noexcept {
  return settings_->curl->connections->opened.load(std::memory_order_relaxed);
}

std::uint64_t CurlTransport::tlsHandshakes() const noexcept {
  return settings_->curl->connections->tlsHandshakes.load(std::memory_order_relaxed);
}

bool CurlTransport::isLibraryThread() noexcept { return transport::ServiceLoop::isLoopThread(); }

}  // namespace orvane::site
