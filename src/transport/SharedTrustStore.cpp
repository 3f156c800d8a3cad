#include "transport/SharedTrustStore.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/opensslv.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace orvane::site::transport {
namespace {

constexpr unsigned long kBuiltMajor = OPENSSL_VERSION_NUMBER >> 28;

std::atomic<SharedTrustStore::OptionFault> gOptionFault{nullptr};

template <typename Value>
CURLcode setOption(CURL* handle, CURLoption option, Value value) {
  if (const SharedTrustStore::OptionFault fault = gOptionFault.load()) {
    const CURLcode injected = fault(option);
    if (injected != CURLE_OK) return injected;
  }
  return curl_easy_setopt(handle, option, value);
}

// The callback hands libcurl's SSL_CTX to OpenSSL functions of this library, so libcurl must use
// OpenSSL alone (a build with several TLS libraries names them all) and the same major version.
bool libcurlUsesOurOpenSsl() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (!info || !info->ssl_version) return false;
  constexpr const char* kPrefix = "OpenSSL/";
  const char* version = info->ssl_version;
  if (std::strncmp(version, kPrefix, std::strlen(kPrefix)) != 0) return false;
  if (std::strchr(version, ' ') || std::strchr(version, '(')) return false;
  const unsigned long major = std::strtoul(version + std::strlen(kPrefix), nullptr, 10);
  return major == kBuiltMajor && (OpenSSL_version_num() >> 28) == kBuiltMajor;
}

// Adds every certificate (and CRL) in `pem` to `store`, as libcurl does with a CA blob.
bool addPem(X509_STORE* store, const std::string& pem) {
  if (pem.size() > static_cast<std::size_t>(INT_MAX)) return false;
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (!bio) return false;
  STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  if (!infos) return false;
  int added = 0;
  bool ok = true;
  for (int i = 0; ok && i < sk_X509_INFO_num(infos); ++i) {
    const X509_INFO* info = sk_X509_INFO_value(infos, i);
    if (info->x509) {
      ok = X509_STORE_add_cert(store, info->x509) == 1;
      ++added;
    }
    if (ok && info->crl) ok = X509_STORE_add_crl(store, info->crl) == 1;
  }
  sk_X509_INFO_pop_free(infos, X509_INFO_free);
  return ok && added > 0;
}

bool addDirectory(X509_STORE* store, const std::string& directory) {
  if (directory.empty()) return true;
#if OPENSSL_VERSION_NUMBER >= 0x30000000L
  return X509_STORE_load_path(store, directory.c_str()) == 1;
#else
  return X509_STORE_load_locations(store, nullptr, directory.c_str()) == 1;
#endif
}

}  // namespace

std::shared_ptr<const SharedTrustStore> SharedTrustStore::make(const std::string& trustedPem,
                                                               const std::string& directory,
                                                               std::string extraPem) {
  static const bool usable = libcurlUsesOurOpenSsl();
  if (!usable) return nullptr;
  X509_STORE* store = X509_STORE_new();
  // The flags libcurl sets on a store it makes: trusted issuers first, and intermediate CAs of
  // the store accepted as anchors.
  const bool ready =
      store && addPem(store, trustedPem) && addDirectory(store, directory) &&
      X509_STORE_set_flags(store, X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN) == 1;
  // Leave no parse errors behind in the calling thread's OpenSSL error queue.
  ERR_clear_error();
  if (!ready) {
    X509_STORE_free(store);
    return nullptr;
  }
  return std::shared_ptr<const SharedTrustStore>(new SharedTrustStore(store, std::move(extraPem)));
}

std::shared_ptr<const SharedTrustStore> SharedTrustStore::create(const std::string& trustedPem,
                                                                 const std::string& directory,
                                                                 std::string extraPem) {
  // Without extra CAs the store would share connections with the system store's (attachTo).
  if (extraPem.empty()) return nullptr;
  return make(trustedPem, directory, std::move(extraPem));
}

std::shared_ptr<const SharedTrustStore> SharedTrustStore::forSystem(const std::string& systemPem,
                                                                    const std::string& directory) {
  return make(systemPem, directory, std::string());
}

SharedTrustStore::SharedTrustStore(X509_STORE* store, std::string extraPem)
    : store_(store), extraPem_(std::move(extraPem)) {}

SharedTrustStore::~SharedTrustStore() { X509_STORE_free(store_); }

void SharedTrustStore::setOptionFaultForTesting(OptionFault fault) noexcept {
  gOptionFault.store(fault);
}

CURLcode SharedTrustStore::attachTo(CURL* handle) const {
  // Every option that can fail is set before the CA file and directory are cleared, so that a
  // failure leaves them in place for the caller's fallback to libcurl's own CA settings.
  CURLcode code = setOption(handle, CURLOPT_SSL_CTX_FUNCTION, &onSslContext);
  if (code != CURLE_OK) return code;
  code = setOption(handle, CURLOPT_SSL_CTX_DATA, const_cast<SharedTrustStore*>(this));
  // libcurl reuses a connection, or a TLS session, only for a transfer with the same CA file,
  // CA directory and CA blob. Without a blob, that is every transfer on the system store alone.
  // With extra CAs, the blob keeps a connection verified against one transport's extras from
  // carrying another transport's calls. libcurl still parses the blob per connection, but it
  // holds only the few extra CAs, which are in the store already (OpenSSL skips duplicates).
  // The store outlives the handle, so libcurl may use the text in place.
  const bool withBlob = !extraPem_.empty();
  if (code == CURLE_OK && withBlob) {
    curl_blob blob{const_cast<char*>(extraPem_.data()), extraPem_.size(), CURL_BLOB_NOCOPY};
    code = setOption(handle, CURLOPT_CAINFO_BLOB, &blob);
  }
#if LIBCURL_VERSION_NUM >= 0x075700  // the option (and the cache) came with libcurl 7.87
  // libcurl's CA cache (one per multi handle, keyed by the CA file alone) would otherwise keep
  // the first store it saw without CA file and hand it to later connections after the callback
  // (libcurl 7.87 to 8.2 set up their CA store after calling it). A libcurl without the cache
  // does not know the option, which is as good.
  if (code == CURLE_OK) {
    code = setOption(handle, CURLOPT_CA_CACHE_TIMEOUT, 0L);
    if (code == CURLE_UNKNOWN_OPTION) code = CURLE_OK;
  }
#endif
  if (code != CURLE_OK) {
    // Back to a handle without callback and without blob, as it came.
    (void)curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, nullptr);
    (void)curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, nullptr);
    if (withBlob) (void)curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, nullptr);
    return code;
  }
  // Clearing a text option only frees it, which cannot fail.
  (void)curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
  (void)curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  return CURLE_OK;
}

// libcurl calls this for each new connection, before the handshake.
CURLcode SharedTrustStore::onSslContext(CURL*, void* sslContext, void* self) {
  auto* context = static_cast<SSL_CTX*>(sslContext);
  X509_STORE* store = static_cast<const SharedTrustStore*>(self)->store_;
#if OPENSSL_VERSION_NUMBER >= 0x30000000L
  SSL_CTX_set1_cert_store(context, store);
#else
  if (X509_STORE_up_ref(store) != 1) return CURLE_OUT_OF_MEMORY;
  SSL_CTX_set_cert_store(context, store);
#endif
  return CURLE_OK;
}

}  // namespace orvane::site::transport
