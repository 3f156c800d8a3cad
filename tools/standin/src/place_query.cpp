#include "place_query.h"

#include <algorithm>
#include <tuple>

#include "generated_details.h"
#include "text_match.h"

namespace orvane::site::standin::detail {
namespace {

constexpr std::int64_t kMaxPageSize = 100;

bool startsWord(const std::string& text, const std::string& token) {
  const std::string folded = foldCase(text);
  for (const WordSpan& word : wordsOf(folded)) {
    if (folded.compare(word.begin, token.size(), token) == 0 && word.size >= token.size()) {
      return true;
    }
  }
  return false;
}

bool listHas(const std::vector<std::string>& list, const std::string& type) {
  const std::string wanted = foldCase(type);
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& entry) { return foldCase(entry) == wanted; });
}

}  // namespace

bool matchesAllTokens(const Place& place, const std::vector<std::string>& tokens) {
  if (tokens.empty()) return false;
  return std::all_of(tokens.begin(), tokens.end(), [&](const std::string& token) {
    return containsFolded(place.name, token) || containsFolded(place.country, token) ||
           containsFolded(place.zoneId, token) || foldCase(place.countryCode) == token;
  });
}

bool matchesWordPrefixes(const Place& place, const std::vector<std::string>& tokens) {
  if (tokens.empty()) return false;
  return std::all_of(tokens.begin(), tokens.end(), [&](const std::string& token) {
    return startsWord(place.name, token) || startsWord(place.country, token) ||
           startsWord(place.zoneId, token);
  });
}

bool inCountry(const Place& place, const std::string& countryCode) {
  const std::string wanted = foldCase(countryCode);
  if (foldCase(place.countryCode) == wanted) return true;
  return std::any_of(place.otherCountryCodes.begin(), place.otherCountryCodes.end(),
                     [&](const std::string& code) { return foldCase(code) == wanted; });
}

bool hasPoiType(const Place&, const std::string& type) { return listHas(placePoiTypes(), type); }

bool hasOvPoiType(const Place&, const std::string& type) {
  return listHas(placeOvPoiTypes(), type);
}

void sortCandidates(std::vector<Candidate>& candidates) {
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.rank, a.distance, a.place->name, a.place->zoneId) <
           std::tie(b.rank, b.distance, b.place->name, b.place->zoneId);
  });
}

Page Page::of(const RequestBody& request) {
  Page page;
  if (auto size = request.optionalInteger("pageSize")) {
    if (*size < 1 || *size > kMaxPageSize) {
      throw BadRequest("INVALID_REQUEST: \"pageSize\" must be between 1 and 100");
    }
    page.size = *size;
  }
  if (auto index = request.optionalInteger("pageIndex")) {
    if (*index < 1) throw BadRequest("INVALID_REQUEST: \"pageIndex\" must be 1 or more");
    page.index = *index;
  }
  return page;
}

std::vector<Candidate> Page::slice(const std::vector<Candidate>& candidates) const {
  const auto total = static_cast<std::int64_t>(candidates.size());
  // Compare before multiplying so that a huge page index cannot overflow.
  if (index - 1 > total / size) return {};
  const std::int64_t begin = std::min(total, (index - 1) * size);
  const std::int64_t end = std::min(total, begin + size);
  return std::vector<Candidate>(candidates.begin() + begin, candidates.begin() + end);
}

std::int64_t radiusOf(const RequestBody& request, std::int64_t fallback) {
  const std::optional<std::int64_t> radius = request.optionalInteger("radius");
  if (!radius) return fallback;
  if (*radius < 1) throw BadRequest("INVALID_REQUEST: \"radius\" must be 1 metre or more");
  return *radius;
}

}  // namespace orvane::site::standin::detail
