#include "transport/CaBundle.h"

#include <curl/curl.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace orvane::site::transport {
namespace {

constexpr const char* kPemCertificate = "-----BEGIN CERTIFICATE-----";

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// The CA file libcurl was built to trust, then the usual places of the system bundle.
std::string systemTrustStorePem() {
  std::vector<std::string> candidates;
  if (CURL* probe = curl_easy_init()) {
    char* builtIn = nullptr;
    if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &builtIn) == CURLE_OK && builtIn) {
      candidates.emplace_back(builtIn);
    }
    curl_easy_cleanup(probe);
  }
  candidates.insert(candidates.end(), {"/etc/ssl/certs/ca-certificates.crt",
                                       "/etc/pki/tls/certs/ca-bundle.crt", "/etc/ssl/cert.pem"});
  for (const std::string& path : candidates) {
    if (auto pem = readFile(path); pem && pem->find(kPemCertificate) != std::string::npos) {
      return *pem;
    }
  }
  // No bundle file: libcurl's CA directory (left in place) still holds the system store.
  return std::string();
}

void appendPem(std::string& bundle, const std::string& pem) {
  if (!bundle.empty() && bundle.back() != '\n') bundle.push_back('\n');
  bundle.append(pem);
  if (!bundle.empty() && bundle.back() != '\n') bundle.push_back('\n');
}

}  // namespace

std::string trustedCertificatesPem(const CurlTransportOptions& options) {
  if (options.caInfoFile.empty() && options.caInfoPem.empty()) return std::string();

  std::string extra;
  if (!options.caInfoFile.empty()) {
    auto pem = readFile(options.caInfoFile);
    if (!pem) {
      throw std::invalid_argument("CurlTransportOptions::caInfoFile cannot be read: " +
                                  options.caInfoFile);
    }
    if (pem->find(kPemCertificate) == std::string::npos) {
      throw std::invalid_argument("CurlTransportOptions::caInfoFile holds no PEM certificate: " +
                                  options.caInfoFile);
    }
    appendPem(extra, *pem);
  }
  if (!options.caInfoPem.empty()) {
    if (options.caInfoPem.find(kPemCertificate) == std::string::npos) {
      throw std::invalid_argument("CurlTransportOptions::caInfoPem holds no PEM certificate");
    }
    appendPem(extra, options.caInfoPem);
  }

  std::string bundle = systemTrustStorePem();
  appendPem(bundle, extra);
  return bundle;
}

}  // namespace orvane::site::transport
