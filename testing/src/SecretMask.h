#pragma once

#include <string>
#include <vector>

namespace orvane::site::testkit::cassette {

/// Replaces secrets by "***" in text written to a cassette: each as given and percent-decoded,
/// and each of those as is, JSON-escaped (with or without non-ASCII escapes and escaped slashes)
/// and percent-encoded in any way (any hex case, any characters left unencoded, '+' for a
/// space).
class SecretMask {
 public:
  explicit SecretMask(const std::vector<std::string>& secrets);

  std::string apply(const std::string& text) const;

 private:
  // The length of the percent-encoded or literal form of `form` at `text[at]`; 0: none there.
  static std::size_t matchAt(const std::string& text, std::size_t at, const std::string& form);

  // The written forms to look for, longest first so that a longer form is not cut short.
  std::vector<std::string> forms_;
};

}  // namespace orvane::site::testkit::cassette
