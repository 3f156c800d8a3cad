#include "transport/CaBundle.h"

#include <curl/curl.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>
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

// A path libcurl was built with (CURLINFO_CAINFO or CURLINFO_CAPATH), or empty.
std::string libcurlDefault(CURLINFO info) {
  std::string path;
  if (CURL* probe = curl_easy_init()) {
    char* value = nullptr;
    if (curl_easy_getinfo(probe, info, &value) == CURLE_OK && value) path = value;
    curl_easy_cleanup(probe);
  }
  return path;
}

// The CA file libcurl was built to trust, then the usual places of the system bundle.
std::string systemTrustStorePem() {
  std::vector<std::string> candidates;
  if (std::string builtIn = libcurlDefault(CURLINFO_CAINFO); !builtIn.empty()) {
    candidates.push_back(std::move(builtIn));
  }
  candidates.insert(candidates.end(), {"/etc/ssl/certs/ca-certificates.crt",
                                       "/etc/pki/tls/certs/ca-bundle.crt", "/etc/ssl/cert.pem"});
  for (const std::string& path : candidates) {
    if (auto pem = readFile(path); pem && pem->find(kPemCertificate) != std::string::npos) {
      return *pem;
    }
  }
  // No bundle file: libcurl's CA directory, which stays trusted, still holds the system store.
  return std::string();
}

void appendPem(std::string& bundle, const std::string& pem) {
  if (!bundle.empty() && bundle.back() != '\n') bundle.push_back('\n');
  bundle.append(pem);
  if (!bundle.empty() && bundle.back() != '\n') bundle.push_back('\n');
}

}  // namespace

std::string extraCertificatesPem(const CurlTransportOptions& options) {
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
  return extra;
}

std::string withSystemCertificates(const std::string& extraPem) {
  std::string bundle = systemTrustStorePem();
  appendPem(bundle, extraPem);
  return bundle;
}

std::string trustedCertificatesPem(const CurlTransportOptions& options) {
  const std::string extra = extraCertificatesPem(options);
  return extra.empty() ? std::string() : withSystemCertificates(extra);
}

std::string systemCertificateDirectory() { return libcurlDefault(CURLINFO_CAPATH); }

std::string builtInCaFileText() {
  const std::string path = libcurlDefault(CURLINFO_CAINFO);
  if (path.empty()) return std::string();
  return readFile(path).value_or(std::string());
}

}  // namespace orvane::site::transport
