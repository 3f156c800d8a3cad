#pragma once

#include <curl/curl.h>

#include <string>
#include <utility>
#include <vector>

namespace orvane::site::bench {

/// One request as the library sends it (URL, method POST, headers, body), replayed with raw
/// libcurl and the options CurlTransport sets, trusting the same authority (given as PEM text,
/// as CurlTransport gives it).
class CurlRequestShape {
 public:
  CurlRequestShape(std::string url, std::vector<std::pair<std::string, std::string>> headers,
                   std::string body, std::string caFile);
  ~CurlRequestShape();
  CurlRequestShape(const CurlRequestShape&) = delete;
  CurlRequestShape& operator=(const CurlRequestShape&) = delete;

  /// Sets every option of the request on `handle`; the reply body is appended to `sink`.
  void configure(CURL* handle, std::string* sink) const;

  /// True when `handle` finished with `result` and an HTTP 200 reply.
  static bool succeeded(CURL* handle, CURLcode result);

 private:
  std::string url_;
  std::string body_;
  std::string caBundle_;
  curl_slist* headers_ = nullptr;
};

}  // namespace orvane::site::bench
