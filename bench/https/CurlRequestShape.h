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

  /// A multi handle with CurlTransport's connection limits (32 to one host, 128 in all), so
  /// that raw curl sends over as many kept connections as the library does.
  static CURLM* makeMulti();

  /// One easy handle per element of `bodies`, each configured for the request, writing into
  /// its own body and carrying it as CURLOPT_PRIVATE.
  std::vector<CURL*> makeHandles(std::vector<std::string>& bodies) const;

  /// True when `handle` finished with `result` and an HTTP 200 reply.
  static bool succeeded(CURL* handle, CURLcode result);

 private:
  std::string url_;
  std::string body_;
  std::string caBundle_;
  curl_slist* headers_ = nullptr;
};

}  // namespace orvane::site::bench
