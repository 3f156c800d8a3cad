#include "text/UpperCase.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "text/Utf8.h"

namespace orvane::site::internal::text {
namespace {

// Code points first..last, every `step`-th one, map to themselves plus `delta`.
struct UpperRun {
  char32_t first;
  char32_t last;
  std::int32_t step;
  std::int32_t delta;
};

// A mapping to two or three code points (unused slots are 0).
struct UpperSpecial {
  char32_t from;
  char32_t to[3];
};

#include "text/UpperCaseTable.inc"

}  // namespace

void appendUpperCase(std::string& out, char32_t scalar) {
  if (scalar < 0x80) {
    out.push_back(static_cast<char>(scalar >= 'a' && scalar <= 'z' ? scalar - 0x20 : scalar));
    return;
  }
  const auto* const special =
      std::lower_bound(std::begin(kUpperSpecials), std::end(kUpperSpecials), scalar,
                       [](const UpperSpecial& entry, char32_t cp) { return entry.from < cp; });
  if (special != std::end(kUpperSpecials) && special->from == scalar) {
    for (char32_t mapped : special->to) {
      if (mapped != 0) appendScalar(out, mapped);
    }
    return;
  }
  // The last run starting at or before the scalar is the only one that can hold it.
  const auto* const next =
      std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), scalar,
                       [](char32_t cp, const UpperRun& run) { return cp < run.first; });
  if (next != std::begin(kUpperRuns)) {
    const UpperRun& run = *std::prev(next);
    if (scalar <= run.last && (scalar - run.first) % static_cast<char32_t>(run.step) == 0) {
      appendScalar(out, static_cast<char32_t>(static_cast<std::int64_t>(scalar) + run.delta));
      return;
    }
  }
  appendScalar(out, scalar);
}

std::string toUpperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  char32_t scalar = 0;
  while (pos < text.size()) {
    if (readScalar(text, pos, scalar)) {
      appendUpperCase(out, scalar);
    } else {
      out.push_back(text[pos]);
      ++pos;
    }
  }
  return out;
}

}  // namespace orvane::site::internal::text
