#include "SecretMask.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

namespace orvane::site::testkit::cassette {
namespace {

constexpr const char* kMask = "***";

std::string jsonEscaped(const std::string& text, bool asciiOnly) {
  const std::string quoted =
      nlohmann::json(text).dump(-1, ' ', asciiOnly, nlohmann::json::error_handler_t::replace);
  return quoted.substr(1, quoted.size() - 2);
}

std::string withEscapedSlashes(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '/') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// A key goes into the URL as the application wrote it, often percent-encoded already; the
// service, and the bodies that quote it, see it decoded.
std::string percentDecoded(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

}  // namespace

SecretMask::SecretMask(const std::vector<std::string>& secrets) {
  std::vector<std::string> plain;
  for (const std::string& secret : secrets) {
    plain.push_back(secret);
    plain.push_back(percentDecoded(secret));
  }
  for (const std::string& secret : plain) {
    if (secret.empty()) continue;
    for (const bool asciiOnly : {false, true}) {
      const std::string escaped = jsonEscaped(secret, asciiOnly);
      forms_.push_back(escaped);
      forms_.push_back(withEscapedSlashes(escaped));
    }
    forms_.push_back(secret);
  }
  std::sort(forms_.begin(), forms_.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  forms_.erase(std::unique(forms_.begin(), forms_.end()), forms_.end());
}

std::size_t SecretMask::matchAt(const std::string& text, std::size_t at, const std::string& form) {
  std::size_t position = at;
  for (const char expected : form) {
    if (position >= text.size()) return 0;
    const char c = text[position];
    if (c == '%' && position + 2 < text.size()) {
      const int high = hexValue(text[position + 1]);
      const int low = hexValue(text[position + 2]);
      if (high >= 0 && low >= 0 && static_cast<char>(high * 16 + low) == expected) {
        position += 3;
        continue;
      }
    }
    if (c == expected || (c == '+' && expected == ' ')) {
      ++position;
      continue;
    }
    return 0;
  }
  return position - at;
}

std::string SecretMask::apply(const std::string& text) const {
  if (forms_.empty()) return text;
  std::string result;
  result.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t matched = 0;
    for (const std::string& form : forms_) {
      matched = matchAt(text, at, form);
      if (matched > 0) break;
    }
    if (matched > 0) {
      result += kMask;
      at += matched;
    } else {
      result += text[at++];
    }
  }
  return result;
}

}  // namespace orvane::site::testkit::cassette
