#include "internal/client/BodyTextWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

#include "internal/text/UpperCase.h"
#include "internal/text/Utf8.h"

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

BodyTextWriter::BodyTextWriter() { values_.reserve(kTypicalBodyBytes); }

bool BodyTextWriter::startMember(const char* key) {
  if (memberCount_ == kMostMembers) {
    failed_ = true;
    return false;
  }
  members_[memberCount_] = Member{key, values_.size(), values_.size()};
  return true;
}

void BodyTextWriter::endMember() { members_[memberCount_++].end = values_.size(); }

BodyTextWriter& BodyTextWriter::put(const char* key, const std::string& value) {
  if (!startMember(key)) return *this;
  appendText(value);
  endMember();
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, std::int64_t value) {
  if (!startMember(key)) return *this;
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  values_.append(digits, written.ptr);
  endMember();
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, bool value) {
  if (!startMember(key)) return *this;
  values_.append(value ? "true" : "false");
  endMember();
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, const Coordinate& value) {
  if (!startMember(key)) return *this;
  appendCoordinate(value);
  endMember();
  return *this;
}

BodyTextWriter& BodyTextWriter::put(const char* key, const CoordinateBounds& value) {
  if (!startMember(key)) return *this;
  values_.append("{\"northeast\":");
  appendCoordinate(value.northeast);
  values_.append(",\"southwest\":");
  appendCoordinate(value.southwest);
  values_.push_back('}');
  endMember();
  return *this;
}

BodyTextWriter& BodyTextWriter::putUpperCased(const char* key,
                                              const std::optional<std::string>& value) {
  if (!value || !startMember(key)) return *this;
  appendText(text::toUpperCase(*value));
  endMember();
  return *this;
}

BodyTextWriter& BodyTextWriter::putUpperCased(
    const char* key, const std::optional<std::vector<std::string>>& value) {
  if (!value || !startMember(key)) return *this;
  values_.push_back('[');
  for (std::size_t i = 0; i < value->size(); ++i) {
    if (i > 0) values_.push_back(',');
    appendText(text::toUpperCase((*value)[i]));
  }
  values_.push_back(']');
  endMember();
  return *this;
}

void BodyTextWriter::appendCoordinate(const Coordinate& value) {
  values_.append("{\"lat\":");
  appendNumber(value.lat);
  values_.append(",\"lng\":");
  appendNumber(value.lng);
  values_.push_back('}');
}

void BodyTextWriter::appendNumber(double value) {
  if (!std::isfinite(value)) {
    failed_ = true;
    return;
  }
  // The tree's own shortest round-trip form ("1.0", "1e+21", "-0.0"), so both bodies agree.
  char digits[64];
  char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
  values_.append(digits, end);
}

void BodyTextWriter::appendText(std::string_view text) {
  if (!text::isValidUtf8(text)) {
    failed_ = true;
    return;
  }
  values_.push_back('"');
  std::size_t plain = 0;  // start of the run not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && c != '"' && c != '\\') continue;
    values_.append(text.data() + plain, i - plain);
    plain = i + 1;
    if (c == '"') {
      values_.append("\\\"");
    } else if (c == '\\') {
      values_.append("\\\\");
    } else if (const char* escape = controlEscape(c)) {
      values_.append(escape);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
      values_.append(escaped, sizeof escaped);
    }
  }
  values_.append(text.data() + plain, text.size() - plain);
  values_.push_back('"');
}

std::optional<std::string> BodyTextWriter::finish() {
  if (failed_) return std::nullopt;
  // The tree keeps its members ordered by key; so does the text.
  std::sort(members_.begin(), members_.begin() + static_cast<std::ptrdiff_t>(memberCount_),
            [](const Member& a, const Member& b) { return std::strcmp(a.key, b.key) < 0; });
  std::size_t size = 2;
  for (std::size_t i = 0; i < memberCount_; ++i) {
    size += std::strlen(members_[i].key) + 4 + (members_[i].end - members_[i].begin);
  }
  std::string body;
  body.reserve(size);
  body.push_back('{');
  for (std::size_t i = 0; i < memberCount_; ++i) {
    if (i > 0) body.push_back(',');
    body.push_back('"');
    body.append(members_[i].key);
    body.append("\":");
    body.append(values_, members_[i].begin, members_[i].end - members_[i].begin);
  }
  body.push_back('}');
  return body;
}

}  // namespace orvane::site::internal
