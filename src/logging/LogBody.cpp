#include "logging/LogBody.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "text/Utf8.h"

namespace orvane::site::internal {
namespace {

constexpr std::string_view kMask = "****";

void appendHexByte(std::string& out, unsigned char byte) {
  static constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  out.append("\\x");
  out.push_back(kDigits[byte >> 4U]);
  out.push_back(kDigits[byte & 0x0FU]);
}

void appendUnicodeEscape(std::string& out, char32_t scalar) {
  static constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  out.append("\\u");
  for (int shift = 12; shift >= 0; shift -= 4) {
    out.push_back(
        kDigits[(static_cast<std::uint32_t>(scalar) >> static_cast<unsigned>(shift)) & 0x0FU]);
  }
}

// Escapes `text` into `out`, stopping before `limit` bytes of `text` have been taken. Returns
// how many bytes of `text` were taken.
std::size_t appendEscaped(std::string& out, std::string_view text, std::size_t limit) {
  std::size_t pos = 0;
  while (pos < text.size() && pos < limit) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80U) {
      switch (byte) {
        case '\n':
          out.append("\\n");
          break;
        case '\r':
          out.append("\\r");
          break;
        case '\t':
          out.append("\\t");
          break;
        case '\\':
          out.append("\\\\");
          break;
        default:
          if (byte < 0x20U || byte == 0x7FU) {
            appendHexByte(out, byte);
          } else {
            out.push_back(static_cast<char>(byte));
          }
      }
      ++pos;
      continue;
    }
    std::size_t next = pos;
    char32_t scalar = 0;
    if (!text::readScalar(text, next, scalar)) {
      appendHexByte(out, byte);
      ++pos;
      continue;
    }
    if (next > limit) break;  // never split a sequence at the cut
    // C1 controls and the Unicode line and paragraph separators end lines in some viewers.
    if ((scalar >= 0x80 && scalar <= 0x9F) || scalar == 0x2028 || scalar == 0x2029) {
      appendUnicodeEscape(out, scalar);
    } else {
      out.append(text.substr(pos, next - pos));
    }
    pos = next;
  }
  return pos;
}

}  // namespace

std::string logTextOfBody(std::string_view body, std::string_view secret, std::size_t limit) {
  std::string out;
  out.reserve(std::min(body.size(), limit) + 48);
  std::size_t taken = 0;
  if (secret.empty()) {
    taken = appendEscaped(out, body, limit);
  } else {
    // Mask within the cut part only; a secret that runs across the cut is masked whole, so that
    // no part of it shows.
    // Only the part that can show is searched, whatever the body's length.
    const std::string_view window = body.substr(0, limit + secret.size());
    while (taken < body.size() && taken < limit) {
      const std::size_t found = window.find(secret, taken);
      const std::size_t stop = found == std::string_view::npos ? body.size() : found;
      taken += appendEscaped(out, body.substr(taken, stop - taken), limit - taken);
      if (taken < stop) break;  // reached the cut
      if (found == std::string_view::npos) break;
      out.append(kMask);
      taken = found + secret.size();
    }
  }
  if (taken < body.size()) {
    out.append("...(cut, ").append(std::to_string(body.size())).append(" bytes in all)");
  }
  return out;
}

}  // namespace orvane::site::internal
