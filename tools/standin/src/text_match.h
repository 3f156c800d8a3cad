#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::site::standin::detail {

/// ASCII letters in lower case; other bytes (UTF-8 included) unchanged.
std::string foldCase(std::string_view text);

/// Pieces of `text` between spaces, tabs, commas and semicolons, case-folded.
std::vector<std::string> queryTokens(std::string_view text);

/// A word of a text: its byte position and length. Words are runs of letters, digits and
/// non-ASCII bytes.
struct WordSpan {
  std::size_t begin = 0;
  std::size_t size = 0;
};
std::vector<WordSpan> wordsOf(std::string_view text);

/// True when `needle` occurs in `haystack`, ignoring ASCII case.
bool containsFolded(std::string_view haystack, std::string_view needle);

/// True when `phrase` occurs in `text` ignoring ASCII case, starting and ending at word bounds.
bool containsPhrase(std::string_view text, std::string_view phrase);

/// Number of Unicode code points in the first `bytes` bytes of UTF-8 `text`: the offsets the
/// stand-in reports in matched words are counted in code points.
std::int64_t codePointOffset(std::string_view text, std::size_t bytes);

}  // namespace orvane::site::standin::detail
