#include "tzif.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace orvane::site::standin::detail {
namespace {

struct Counts {
  std::uint32_t isUtc = 0, isStd = 0, leap = 0, time = 0, type = 0, chars = 0;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  void need(std::size_t n) const {
    if (bytes_.size() - pos_ < n) throw std::runtime_error("TZif file is cut short");
  }
  void skip(std::size_t n) {
    need(n);
    pos_ += n;
  }
  std::uint64_t bigEndian(std::size_t width) {
    need(width);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value = (value << 8) | static_cast<unsigned char>(bytes_[pos_++]);
    }
    return value;
  }
  std::int64_t signedBigEndian(std::size_t width) {
    std::uint64_t value = bigEndian(width);
    if (width == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return static_cast<std::int64_t>(value);
  }
  std::string_view take(std::size_t n) {
    need(n);
    std::string_view out = bytes_.substr(pos_, n);
    pos_ += n;
    return out;
  }
  std::string_view rest() const { return bytes_.substr(pos_); }

  // Header of RFC 8536 section 3.1; returns the version byte.
  char header(Counts& counts) {
    if (take(4) != "TZif") throw std::runtime_error("not a TZif file");
    char version = take(1)[0];
    skip(15);
    counts.isUtc = static_cast<std::uint32_t>(bigEndian(4));
    counts.isStd = static_cast<std::uint32_t>(bigEndian(4));
    counts.leap = static_cast<std::uint32_t>(bigEndian(4));
    counts.time = static_cast<std::uint32_t>(bigEndian(4));
    counts.type = static_cast<std::uint32_t>(bigEndian(4));
    counts.chars = static_cast<std::uint32_t>(bigEndian(4));
    if (counts.type == 0 || counts.type > 256 || counts.chars == 0) {
      throw std::runtime_error("TZif file has no local time types");
    }
    return version;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

std::size_t blockSize(const Counts& c, std::size_t timeWidth) {
  return c.time * timeWidth + c.time + c.type * 6 + c.chars + c.leap * (timeWidth + 4) + c.isStd +
         c.isUtc;
}

Tzif readBlock(Reader& in, const Counts& c, std::size_t timeWidth) {
  Tzif out;
  out.transitions.reserve(c.time);
  for (std::uint32_t i = 0; i < c.time; ++i) {
    out.transitions.push_back(in.signedBigEndian(timeWidth));
    if (i > 0 && out.transitions[i] <= out.transitions[i - 1]) {
      throw std::runtime_error("TZif transitions are not ascending");
    }
  }
  for (std::uint32_t i = 0; i < c.time; ++i) {
    out.typeIndexes.push_back(static_cast<std::uint8_t>(in.bigEndian(1)));
    if (out.typeIndexes.back() >= c.type) throw std::runtime_error("TZif type index out of range");
  }
  std::vector<std::uint8_t> abbreviationIndexes;
  for (std::uint32_t i = 0; i < c.type; ++i) {
    LocalTime type;
    type.utcOffset = static_cast<std::int32_t>(in.signedBigEndian(4));
    type.isDst = in.bigEndian(1) != 0;
    abbreviationIndexes.push_back(static_cast<std::uint8_t>(in.bigEndian(1)));
    out.types.push_back(type);
  }
  std::string_view chars = in.take(c.chars);
  for (std::uint32_t i = 0; i < c.type; ++i) {
    std::size_t begin = abbreviationIndexes[i];
    if (begin >= chars.size()) throw std::runtime_error("TZif abbreviation out of range");
    std::size_t end = chars.find('\0', begin);
    out.types[i].abbreviation = std::string(chars.substr(begin, end - begin));
  }
  in.skip(c.leap * (timeWidth + 4) + c.isStd + c.isUtc);
  return out;
}

}  // namespace

Tzif Tzif::parse(std::string_view bytes) {
  Reader in(bytes);
  Counts v1;
  const char version = in.header(v1);
  if (version == '\0') return readBlock(in, v1, 4);

  // Version 2 and later repeat the data with 64-bit times, then a footer "\n<rule>\n".
  in.skip(blockSize(v1, 4));
  Counts v2;
  in.header(v2);
  Tzif out = readBlock(in, v2, 8);
  std::string_view rest = in.rest();
  if (rest.size() >= 2 && rest.front() == '\n') {
    std::size_t close = rest.find('\n', 1);
    if (close == std::string_view::npos) throw std::runtime_error("TZif footer is not closed");
    std::string_view rule = rest.substr(1, close - 1);
    if (!rule.empty()) {
      out.footer = PosixTzRule::parse(rule);
      if (!out.footer) throw std::runtime_error("TZif footer rule is malformed");
    }
  }
  return out;
}

std::ptrdiff_t Tzif::transitionIndexAt(std::int64_t t) const {
  auto it = std::upper_bound(transitions.begin(), transitions.end(), t);
  return (it - transitions.begin()) - 1;
}

const LocalTime& Tzif::typeAfter(std::ptrdiff_t index) const {
  // Before the first transition, type 0 is in force (RFC 8536 section 3.2).
  return index < 0 ? types.front() : types[typeIndexes[static_cast<std::size_t>(index)]];
}

}  // namespace orvane::site::standin::detail
