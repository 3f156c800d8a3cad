#include "facade/client/BodyTextWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include <nlohmann/json.hpp>

#include "text/UpperCase.h"
#include "text/Utf8.h"

namespace orvane::site::internal {
namespace {

constexpr std::size_t kTypicalBodyBytes = 256;

const char* controlEscape(char c) {
  switch (c) {
    case '\b':
      return "\\b";
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\f':
      return "\\f";
    case '\r':
      return "\\r";
    default:
      return nullptr;
  }
}

}  // namespace

BodyTextWriter::BodyTextWriter() {
  body_.reserve(kTypicalBodyBytes);
  body_.push_back('{');
}

bool BodyTextWriter::startMember(const char* key) {
  if (failed_) return false;
  if (lastKey_) {
    if (std::strcmp(lastKey_, key) >= 0) {
      failed_ = true;
      return false;
    }
    body_.push_back(',');
  }
  lastKey_ = key;
  body_.push_back('"');
  body_.append(key);
  body_.append("\":");
  return true;
}

BodyTextWriter& BodyTextWriter::put(const char* key, const std::string& value) {
  if (!startMember(key)) return *this;
  appendText(value);
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, std::int64_t value) {
  if (!startMember(key)) return *this;
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  body_.append(digits, written.ptr);
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, bool value) {
  if (!startMember(key)) return *this;
  body_.append(value ? "true" : "false");
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, const Coordinate& value) {
  if (!startMember(key)) return *this;
  appendCoordinate(value);
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, const CoordinateBounds& value) {
  if (!startMember(key)) return *this;
  body_.append("{\"northeast\":");
  appendCoordinate(value.northeast);
  body_.append(",\"southwest\":");
  appendCoordinate(value.southwest);
  body_.push_back('}');
  return *this;
}

BodyTextWriter& BodyTextWriter::putUpperCased(const char* key,
                                              const std::optional<std::string>& value) {
  if (!value || !startMember(key)) return *this;
  appendText(text::toUpperCase(*value));
  return *this;
}

BodyTextWriter& BodyTextWriter::putUpperCased(
    const char* key, const std::optional<std::vector<std::string>>& value) {
  if (!value || !startMember(key)) return *this;
  body_.push_back('[');
  for (std::size_t i = 0; i < value->size(); ++i) {
    if (i > 0) body_.push_back(',');
    appendText(text::toUpperCase((*value)[i]));
  }
  body_.push_back(']');
  return *this;
}

void BodyTextWriter::appendCoordinate(const Coordinate& value) {
  body_.append("{\"lat\":");
  appendNumber(value.lat);
  body_.append(",\"lng\":");
  appendNumber(value.lng);
  body_.push_back('}');
}

void BodyTextWriter::appendNumber(double value) {
  if (!std::isfinite(value)) {
    failed_ = true;
    return;
  }
  // The tree's own shortest round-trip form ("1.0", "1e+21", "-0.0"), so both bodies agree.
  char digits[64];
  char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
  body_.append(digits, end);
}

void BodyTextWriter::appendText(std::string_view text) {
  if (!text::isValidUtf8(text)) {
    failed_ = true;
    return;
  }
  body_.push_back('"');
  std::size_t plain = 0;  // start of the run not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && c != '"' && c != '\\') continue;
    body_.append(text.data() + plain, i - plain);
    plain = i + 1;
    if (c == '"') {
      body_.append("\\\"");
    } else if (c == '\\') {
      body_.append("\\\\");
    } else if (const char* escape = controlEscape(c)) {
      body_.append(escape);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
      body_.append(escaped, sizeof escaped);
    }
  }
  body_.append(text.data() + plain, text.size() - plain);
  body_.push_back('"');
}

std::optional<std::string> BodyTextWriter::finish() {
  if (failed_) return std::nullopt;
  body_.push_back('}');
  return std::move(body_);
}

}  // namespace orvane::site::internal
