#include "https/CurlRequestShape.h"

#include <fstream>
#include <sstream>

namespace orvane::site::bench {
namespace {

// CurlTransport's documented limits.
constexpr long kMaxConnectionsPerHost = 32;
constexpr long kMaxConnectionsInAll = 128;

std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* sink) {
  static_cast<std::string*>(sink)->append(data, size * count);
  return size * count;
}

}  // namespace

CurlRequestShape::CurlRequestShape(std::string url,
                                   std::vector<std::pair<std::string, std::string>> headers,
                                   std::string body, std::string caFile)
    : url_(std::move(url)), body_(std::move(body)) {
  std::ifstream file(caFile, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  caBundle_ = text.str();
  for (const auto& [name, value] : headers) {
    headers_ = curl_slist_append(headers_, (name + ": " + value).c_str());
  }
}

CurlRequestShape::~CurlRequestShape() { curl_slist_free_all(headers_); }

CURLM* CurlRequestShape::makeMulti() {
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
  curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, kMaxConnectionsInAll);
  return multi;
}

std::vector<CURL*> CurlRequestShape::makeHandles(std::vector<std::string>& bodies) const {
  std::vector<CURL*> handles(bodies.size());
  for (std::size_t i = 0; i < handles.size(); ++i) {
    handles[i] = curl_easy_init();
    configure(handles[i], &bodies[i]);
    curl_easy_setopt(handles[i], CURLOPT_PRIVATE, &bodies[i]);
  }
  return handles;
}

void CurlRequestShape::configure(CURL* handle, std::string* sink) const {
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_blob blob{const_cast<char*>(caBundle_.data()), caBundle_.size(), CURL_BLOB_NOCOPY};
  curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &blob);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https,http");
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
  curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, 60000L);
  curl_easy_setopt(handle, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(handle, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "orvane-site");
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body_.data());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers_);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &appendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, sink);
}

bool CurlRequestShape::succeeded(CURL* handle, CURLcode result) {
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  return result == CURLE_OK && status == 200;
}

}  // namespace orvane::site::bench
