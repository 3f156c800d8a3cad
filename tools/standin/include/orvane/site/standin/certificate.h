#pragma once

#include <filesystem>
#include <string>

namespace orvane::site::standin {

/// TLS material of the stand-in: a private certificate authority and a server certificate that it
/// signed for "localhost", 127.0.0.1 and ::1, all as PEM text.
///
/// Everything is made at run time with OpenSSL (EC P-256 keys, SHA-256 signatures), so no key or
/// certificate is ever checked in. Clients trust `caPem()` (or the ca.pem file written by
/// `writeTo`) instead of turning verification off.
///
/// Instances are immutable values; all members are safe to call from any thread. Failures of
/// OpenSSL or of the file system throw std::runtime_error.
class Certificate {
 public:
  /// File names used by `writeTo` and `readFrom`.
  static constexpr const char* kCaFile = "ca.pem";
  static constexpr const char* kCertFile = "cert.pem";
  static constexpr const char* kKeyFile = "key.pem";

  /// Makes a fresh authority and a server certificate signed by it (valid from one hour ago for
  /// `validDays` days).
  static Certificate generate(int validDays = 30);

  /// Makes the PEM of a self-signed authority that has signed nothing: a client that trusts only
  /// it must refuse the stand-in's certificate.
  static std::string generateUnrelatedAuthorityPem();

  /// Reads ca.pem, cert.pem and key.pem from `directory`.
  static Certificate readFrom(const std::filesystem::path& directory);

  /// True when `directory` holds all three files.
  static bool existsIn(const std::filesystem::path& directory);

  /// Writes ca.pem, cert.pem and key.pem into `directory` (created when missing); key.pem is
  /// readable by its owner only.
  void writeTo(const std::filesystem::path& directory) const;

  /// PEM of the authority's certificate: what a client must trust.
  const std::string& caPem() const { return caPem_; }
  /// PEM of the server certificate.
  const std::string& certPem() const { return certPem_; }
  /// PEM of the server certificate's private key (PKCS#8, unencrypted).
  const std::string& keyPem() const { return keyPem_; }

 private:
  Certificate(std::string caPem, std::string certPem, std::string keyPem);

  std::string caPem_;
  std::string certPem_;
  std::string keyPem_;
};

}  // namespace orvane::site::standin
