#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

struct x509_store_st;

namespace orvane::site::transport {

/// The certificates a transport trusts, parsed once into one OpenSSL store that every TLS
/// connection of the transport verifies against. (Given the same certificates as a CA blob,
/// libcurl parses them into a new store for each connection: about 1 MiB and milliseconds each.)
///
/// Immutable once made. libcurl's callback uses it on the library thread while connecting; each
/// connection takes its own reference on the OpenSSL store, so connections may outlive this
/// object.
class SharedTrustStore {
 public:
  /// Parses every certificate in `trustedPem` (the system's store and the extra CAs) and adds
  /// `directory` (hashed CA files; empty: none) as a place to look up more. `extraPem` holds the
  /// extra CAs alone. Returns nullptr when `extraPem` is empty, when libcurl does not use the
  /// OpenSSL this library was built with, or when `trustedPem` holds no certificate OpenSSL can
  /// read: callers then give libcurl the PEM text instead.
  static std::shared_ptr<const SharedTrustStore> create(const std::string& trustedPem,
                                                        const std::string& directory,
                                                        std::string extraPem);

  /// The system's own store: the certificates in `systemPem` and the hashed CA files of
  /// `directory`. libcurl pools connections of every store made here together, so make it only
  /// from the files libcurl itself would read (see SystemTrustStore.h). Returns nullptr as
  /// `create` does; libcurl's default CA settings apply then.
  static std::shared_ptr<const SharedTrustStore> forSystem(const std::string& systemPem,
                                                           const std::string& directory);

  ~SharedTrustStore();

  SharedTrustStore(const SharedTrustStore&) = delete;
  SharedTrustStore& operator=(const SharedTrustStore&) = delete;

  /// Makes every new TLS connection of `handle` verify against this store, leaving verification
  /// itself as the handle has it. libcurl reads neither its CA file nor its CA directory then,
  /// and keeps none of its own stores for the handle. `handle` must carry no CA blob and no TLS
  /// context callback of its own.
  /// Returns CURLE_NOT_BUILT_IN or CURLE_UNKNOWN_OPTION when this libcurl cannot hand over its
  /// TLS context. On any failure the handle is left as it was: its CA file and directory stay
  /// set, so that libcurl's own CA settings can take over. The store must outlive the handle.
  CURLcode attachTo(CURL* handle) const;

  /// Test seam: when set, asked before each option `attachTo` sets; a result other than
  /// CURLE_OK is taken as that option's failure, and the option is not set.
  using OptionFault = CURLcode (*)(CURLoption option);
  static void setOptionFaultForTesting(OptionFault fault) noexcept;

 private:
  SharedTrustStore(x509_store_st* store, std::string extraPem);
  static std::shared_ptr<const SharedTrustStore> make(const std::string& trustedPem,
                                                      const std::string& directory,
                                                      std::string extraPem);
  static CURLcode onSslContext(CURL* handle, void* sslContext, void* self);

  x509_store_st* store_;
  std::string extraPem_;
};

}  // namespace orvane::site::transport
