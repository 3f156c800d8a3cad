#include "text_match.h"

namespace orvane::site::standin::detail {
namespace {

bool isWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

}  // namespace

std::string foldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::vector<std::string> queryTokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\n' || c == '\r') {
      if (!current.empty()) tokens.push_back(foldCase(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(foldCase(current));
  return tokens;
}

std::vector<WordSpan> wordsOf(std::string_view text) {
  std::vector<WordSpan> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !isWordByte(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t begin = i;
    while (i < text.size() && isWordByte(static_cast<unsigned char>(text[i]))) ++i;
    if (i > begin) words.push_back({begin, i - begin});
  }
  return words;
}

bool containsFolded(std::string_view haystack, std::string_view needle) {
  return foldCase(haystack).find(foldCase(needle)) != std::string::npos;
}

bool containsPhrase(std::string_view text, std::string_view phrase) {
  if (phrase.empty()) return false;
  const std::string folded = foldCase(text);
  const std::string wanted = foldCase(phrase);
  for (std::size_t at = folded.find(wanted); at != std::string::npos;
       at = folded.find(wanted, at + 1)) {
    const std::size_t end = at + wanted.size();
    const bool startsWord = at == 0 || !isWordByte(static_cast<unsigned char>(folded[at - 1]));
    const bool endsWord =
        end == folded.size() || !isWordByte(static_cast<unsigned char>(folded[end]));
    if (startsWord && endsWord) return true;
  }
  return false;
}

std::int64_t codePointOffset(std::string_view text, std::size_t bytes) {
  std::int64_t count = 0;
  for (std::size_t i = 0; i < bytes && i < text.size(); ++i) {
    // Count lead bytes only; continuation bytes are 10xxxxxx.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace orvane::site::standin::detail
