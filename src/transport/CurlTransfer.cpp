#include "transport/CurlTransfer.h"

#include <simdjson.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "transport/SecretMask.h"
#include "transport/SystemTrustStore.h"

namespace orvane::site::transport {
namespace {

HttpOutcome::Failure classify(CURLcode result) {
  switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
      return HttpOutcome::Failure::timedOut;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_PROXY:
      return HttpOutcome::Failure::connectionFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
      return HttpOutcome::Failure::tlsFailure;
    default:
      return HttpOutcome::Failure::otherFailure;
  }
}

// OpenSSL's words for a handshake that found no protocol version both sides accept.
bool offeredTooOldAProtocol(const char* detail) {
  static constexpr std::string_view kSigns[] = {"protocol version", "unsupported protocol",
                                                "no protocols available", "version too low"};
  const std::string_view text(detail);
  return std::any_of(std::begin(kSigns), std::end(kSigns), [text](std::string_view sign) {
    return text.find(sign) != std::string_view::npos;
  });
}

// libcurl reads 0 as "no time-out", so even the shortest time-out is at least 1 ms.
long timeoutMilliseconds(double seconds) {
  if (std::isnan(seconds) || seconds <= 0) seconds = 60.0;
  seconds = std::min(seconds, 1e7);
  return std::max(1L, std::lround(std::ceil(seconds * 1000.0)));
}

// "host[:port]" of an absolute URL (any user part dropped); the whole text when it has no "//".
std::string hostOf(const std::string& url) {
  std::size_t from = url.find("://");
  from = from == std::string::npos ? 0 : from + 3;
  const std::size_t to = url.find_first_of("/?#", from);
  std::string authority = url.substr(from, to == std::string::npos ? std::string::npos : to - from);
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  return authority;
}

// Retry-After as a number of seconds; an HTTP date is read as "retry soon" (one second), since
// the two clocks need not agree.
std::optional<std::chrono::seconds> parseRetryAfter(const char* data, std::size_t size) {
  static constexpr char kName[] = "retry-after:";
  constexpr std::size_t kNameSize = sizeof(kName) - 1;
  if (size <= kNameSize || strncasecmp(data, kName, kNameSize) != 0) return std::nullopt;
  std::size_t at = kNameSize;
  while (at < size && (data[at] == ' ' || data[at] == '\t')) ++at;
  if (at == size || data[at] == '\r' || data[at] == '\n') return std::nullopt;
  long long seconds = 0;
  bool digits = false;
  while (at < size && data[at] >= '0' && data[at] <= '9') {
    digits = true;
    seconds = std::min<long long>(seconds * 10 + (data[at] - '0'), 24LL * 3600);
    ++at;
  }
  if (!digits) return std::chrono::seconds(1);
  return std::chrono::seconds(seconds);
}

std::string_view protocolOf(long httpVersion) {
  switch (httpVersion) {
    case CURL_HTTP_VERSION_1_0:
      return "HTTP/1.0";
    case CURL_HTTP_VERSION_1_1:
      return "HTTP/1.1";
    case CURL_HTTP_VERSION_2_0:
      return "HTTP/2";
    case CURL_HTTP_VERSION_3:
      return "HTTP/3";
    default:
      return {};
  }
}

// Only a connection that may turn out HTTP/2 is worth waiting for: over TLS, or in clear where
// HTTP/2 is spoken without upgrade.
bool waitsForMultiplexing(const std::string& url, const CurlSettings& settings) {
  if (!settings.waitForMultiplexing) return false;
  return settings.httpVersion == CURL_HTTP_VERSION_2_PRIOR_KNOWLEDGE ||
         strncasecmp(url.c_str(), "https://", 8) == 0;
}

bool hasHeader(const HttpRequest& request, const char* name) {
  return std::any_of(request.headers.begin(), request.headers.end(), [name](const auto& header) {
    return strcasecmp(header.first.c_str(), name) == 0;
  });
}

}  // namespace

CurlTransfer::CurlTransfer(HttpRequest request, std::shared_ptr<const CurlSettings> settings,
                           HttpTransport::Completion completion)
    : request_(std::move(request)),
      settings_(std::move(settings)),
      completion_(std::move(completion)),
      hostKey_(hostOf(request_.url)) {
  prepare();
}

bool CurlTransfer::setTimeoutFrom(std::chrono::steady_clock::time_point now) {
  long timeoutMs = timeoutMilliseconds(request_.timeoutSeconds);
  if (request_.deadline) {
    if (*request_.deadline <= now) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*request_.deadline - now);
    timeoutMs = std::min<long>(timeoutMs, std::max<long>(1L, static_cast<long>(left.count())));
  }
  return handle_ && curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, timeoutMs) == CURLE_OK;
}

CurlTransfer::~CurlTransfer() {
  giveBackBudget();
  if (handle_) curl_easy_cleanup(handle_);
  curl_slist_free_all(headers_);
}

void CurlTransfer::prepare() {
  handle_ = curl_easy_init();
  if (!handle_) {
    preparationFailure_ = "libcurl could not create a transfer";
    return;
  }
  // Redirects are not followed, so only the request's own URL is ever fetched.
  const long timeoutMs = timeoutMilliseconds(request_.timeoutSeconds);
  const struct {
    CURLoption option;
    long value;
  } numbers[] = {
      {CURLOPT_NOSIGNAL, 1L},
      {CURLOPT_SSL_VERIFYPEER, 1L},
      {CURLOPT_SSL_VERIFYHOST, 2L},
      // The library's own floor, whatever the system's OpenSSL configuration allows.
      {CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2)},
      {CURLOPT_FOLLOWLOCATION, 0L},
      {CURLOPT_TIMEOUT_MS, timeoutMs},
      {CURLOPT_TCP_KEEPALIVE, 1L},
      {CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED)},
      {CURLOPT_HTTP_VERSION, settings_->httpVersion},
      {CURLOPT_PIPEWAIT, waitsForMultiplexing(request_.url, *settings_) ? 1L : 0L},
  };
  CURLcode code = CURLE_OK;
  for (const auto& number : numbers) {
    if (code == CURLE_OK) code = curl_easy_setopt(handle_, number.option, number.value);
  }
  // An empty proxy and no-proxy list keep libcurl from reading the proxy variables of the
  // environment.
  const struct {
    CURLoption option;
    const char* value;
  } texts[] = {
      {CURLOPT_URL, request_.url.c_str()},
      {CURLOPT_PROTOCOLS_STR, "https,http"},
      {CURLOPT_PROXY, settings_->proxy.c_str()},
      {CURLOPT_NOPROXY, settings_->proxy.empty() ? "" : settings_->noProxy.c_str()},
      {CURLOPT_USERAGENT, settings_->userAgent.c_str()},
      {CURLOPT_ACCEPT_ENCODING, ""},
  };
  for (const auto& text : texts) {
    if (code == CURLE_OK) code = curl_easy_setopt(handle_, text.option, text.value);
  }
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer_);
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &onData);
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &onHeader);
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_HEADERDATA, this);
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_PRIVATE, this);
  if (code == CURLE_OK) code = prepareTrust();
  if (code == CURLE_OK) code = prepareMethodAndBody();
  if (code == CURLE_OK) code = prepareHeaders();
  if (code != CURLE_OK) {
    preparationFailure_ = std::string("libcurl rejected an option: ") + curl_easy_strerror(code);
    curl_easy_cleanup(handle_);
    handle_ = nullptr;
  }
}

// The system store plus the transport's extra CAs, or the system store alone; each parsed once
// where libcurl lets the transfer share a parsed store, else libcurl's own CA settings.
CURLcode CurlTransfer::prepareTrust() {
  const std::string& bundle = settings_->caBundle;
  trustStore_ = settings_->trustStore;
  if (!trustStore_ && bundle.empty()) trustStore_ = currentSystemTrustStore();
  if (trustStore_) {
    const CURLcode code = trustStore_->attachTo(handle_);
    if (code != CURLE_NOT_BUILT_IN && code != CURLE_UNKNOWN_OPTION) return code;
    trustStore_ = nullptr;
  }
  if (bundle.empty()) return CURLE_OK;
  // The settings outlive the transfer, so libcurl may use the text in place.
  curl_blob blob{const_cast<char*>(bundle.data()), bundle.size(), CURL_BLOB_NOCOPY};
  return curl_easy_setopt(handle_, CURLOPT_CAINFO_BLOB, &blob);
}

CURLcode CurlTransfer::prepareMethodAndBody() {
  const std::string& method = request_.method;
  if (method == "GET" && !request_.body) return curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
  CURLcode code = CURLE_OK;
  if (method == "POST") {
    code = curl_easy_setopt(handle_, CURLOPT_POST, 1L);
  } else {
    code = curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  if (code != CURLE_OK || (!request_.body && method != "POST")) return code;
  static const char kNoBody[] = "";
  const std::size_t size = request_.body ? request_.body->size() : 0;
  const char* data = request_.body ? request_.body->data() : kNoBody;
  code = curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
  if (code == CURLE_OK) code = curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, data);
  return code;
}

CURLcode CurlTransfer::prepareHeaders() {
  std::vector<std::string> lines;
  for (const auto& [name, value] : request_.headers) {
    // "Name;" is libcurl's way to send a header with an empty value ("Name:" would remove it).
    std::string line = name;
    line += value.empty() ? ";" : ": ";
    line += value;
    lines.push_back(std::move(line));
  }
  // Send only the header fields the request names: no default "Accept: */*", no form
  // Content-Type for a body, and no "Expect: 100-continue" wait before larger bodies.
  if (!hasHeader(request_, "Accept")) lines.emplace_back("Accept:");
  if (!hasHeader(request_, "Content-Type")) lines.emplace_back("Content-Type:");
  if (!hasHeader(request_, "Expect")) lines.emplace_back("Expect:");
  for (const std::string& line : lines) {
    curl_slist* next = curl_slist_append(headers_, line.c_str());
    if (!next) return CURLE_OUT_OF_MEMORY;
    headers_ = next;
  }
  return curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
}

std::size_t CurlTransfer::onData(char* data, std::size_t size, std::size_t count, void* self) {
  const std::size_t bytes = size * count;
  // 0 makes libcurl end the transfer with a write error.
  return static_cast<CurlTransfer*>(self)->keep(data, bytes) ? bytes : 0;
}

bool CurlTransfer::keep(const char* data, std::size_t bytes) {
  const std::size_t limit = settings_->maxResponseBytes;
  if (limit != 0 && (bytes > limit || body_.size() > limit - bytes)) {
    bodyTooLarge_ = true;
    return false;
  }
  if (!settings_->replyBudget->take(bytes)) {
    budgetExceeded_ = true;
    return false;
  }
  budgetTaken_ += bytes;
  try {
    // A reply of announced length is held in one block of its size: growing by doubling would
    // hold up to twice the reply, and copy it meanwhile. The block has room for the padding
    // the decoder's parser reads past the text, so the reply is decoded where it lies.
    curl_off_t length = -1;
    if (body_.empty() && body_.capacity() < bytes &&
        curl_easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length > 0 && (limit == 0 || static_cast<std::size_t>(length) <= limit)) {
      body_.reserve(static_cast<std::size_t>(length) + simdjson::SIMDJSON_PADDING);
    }
    body_.append(data, bytes);
  } catch (...) {
    return false;
  }
  return true;
}

void CurlTransfer::giveBackBudget() noexcept {
  settings_->replyBudget->give(budgetTaken_);
  budgetTaken_ = 0;
}

std::size_t CurlTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  const std::size_t bytes = size * count;
  // A status line starts the headers of a new reply (after an interim one): forget older ones.
  if (bytes >= 5 && std::string_view(data, 5) == "HTTP/") transfer->retryAfter_.reset();
  if (auto pause = parseRetryAfter(data, bytes)) transfer->retryAfter_ = pause;
  return bytes;
}

void CurlTransfer::tallyConnections() noexcept {
  if (tallied_ || !handle_) return;
  tallied_ = true;
  long opened = 0;
  if (curl_easy_getinfo(handle_, CURLINFO_NUM_CONNECTS, &opened) != CURLE_OK || opened <= 0) {
    return;
  }
  ConnectionTally& tally = *settings_->connections;
  tally.opened.fetch_add(static_cast<std::uint64_t>(opened), std::memory_order_relaxed);
  const char* scheme = nullptr;
  if (curl_easy_getinfo(handle_, CURLINFO_SCHEME, &scheme) == CURLE_OK && scheme &&
      strcasecmp(scheme, "https") == 0) {
    tally.tlsHandshakes.fetch_add(static_cast<std::uint64_t>(opened), std::memory_order_relaxed);
  }
}

HttpOutcome CurlTransfer::outcome(CURLcode result) {
  HttpOutcome outcome;
  outcome.retryAfter = retryAfter_;
  long version = 0;
  if (handle_ && curl_easy_getinfo(handle_, CURLINFO_HTTP_VERSION, &version) == CURLE_OK) {
    outcome.protocol = protocolOf(version);
  }
  outcome.queueWait = sentAt_ ? *sentAt_ - createdAt_ : std::chrono::nanoseconds::zero();
  long status = 0;
  if (handle_ && curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
    outcome.statusCode = status;
  }
  if (result == CURLE_OK) {
    outcome.body = std::move(body_);
    return outcome;
  }
  if (bodyTooLarge_) {
    outcome.failure = HttpOutcome::Failure::otherFailure;
    outcome.failureDetail =
        "the reply body is larger than " + std::to_string(settings_->maxResponseBytes) + " bytes";
    return outcome;
  }
  if (budgetExceeded_) {
    outcome.failure = HttpOutcome::Failure::otherFailure;
    outcome.failureDetail = "the replies under way would hold more than " +
                            std::to_string(settings_->replyBudget->limit()) +
                            " bytes in all (the transport's reply budget)";
    return outcome;
  }
  outcome.failure = classify(result);
  outcome.failureDetail = curl_easy_strerror(result);
  if (errorBuffer_[0] != '\0') outcome.failureDetail.append(": ").append(errorBuffer_);
  if (outcome.failure == HttpOutcome::Failure::tlsFailure && offeredTooOldAProtocol(errorBuffer_)) {
    outcome.failureDetail.append(
        " (the server offered too old a protocol; TLS 1.2 or later is required)");
  }
  long proxyStatus = 0;
  if (handle_ && !settings_->proxy.empty() &&
      curl_easy_getinfo(handle_, CURLINFO_HTTP_CONNECTCODE, &proxyStatus) == CURLE_OK &&
      proxyStatus >= 300) {
    // The proxy answered and refused the tunnel (a 407 for wrong credentials): every attempt
    // would meet the same answer, so this is no connection failure to retry.
    outcome.failure = HttpOutcome::Failure::otherFailure;
    outcome.statusCode = proxyStatus;
    outcome.failureDetail = "the proxy refused the tunnel with status " +
                            std::to_string(proxyStatus) + " (" + outcome.failureDetail + ")";
  }
  // libcurl's messages may quote the proxy setting, credentials and all.
  maskSecrets(outcome.failureDetail, settings_->proxySecrets);
  maskUrlCredentials(outcome.failureDetail);
  return outcome;
}

void CurlTransfer::complete(HttpOutcome outcome) {
  HttpTransport::Completion completion = std::move(completion_);
  completion_ = nullptr;
  struct GiveBack {
    CurlTransfer& transfer;
    ~GiveBack() { transfer.giveBackBudget(); }
  } giveBack{*this};
  if (completion) completion(std::move(outcome));
}

}  // namespace orvane::site::transport
