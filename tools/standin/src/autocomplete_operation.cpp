// Query autocomplete: predictions with the matched pieces of their text, and the places behind
// them.
#include <algorithm>
#include <limits>
#include <optional>

#include "operations.h"
#include "place_query.h"
#include "site_json.h"
#include "text_match.h"

namespace orvane::site::standin::detail {
namespace {

constexpr std::size_t kPredictionLimit = 5;

nlohmann::ordered_json word(const std::string& text, std::size_t begin, std::size_t size) {
  return {{"offset", codePointOffset(text, begin)}, {"value", text.substr(begin, size)}};
}

// The prediction for `description` when every token starts one of its words. Offsets count
// code points from the start of the description; "matchedKeywords" holds the typed pieces as
// they appear in the description, "matchedWords" the whole words they start.
std::optional<nlohmann::ordered_json> predict(const std::string& description,
                                              const std::vector<std::string>& tokens) {
  const std::string folded = foldCase(description);
  const std::vector<WordSpan> words = wordsOf(folded);
  std::vector<std::pair<std::size_t, std::size_t>> keywords;  // begin, size
  std::vector<const WordSpan*> matched;
  for (const std::string& token : tokens) {
    auto hit = std::find_if(words.begin(), words.end(), [&](const WordSpan& w) {
      return w.size >= token.size() && folded.compare(w.begin, token.size(), token) == 0;
    });
    if (hit == words.end()) return std::nullopt;
    keywords.emplace_back(hit->begin, token.size());
    if (std::find(matched.begin(), matched.end(), &*hit) == matched.end()) matched.push_back(&*hit);
  }
  std::sort(keywords.begin(), keywords.end());
  keywords.erase(std::unique(keywords.begin(), keywords.end()), keywords.end());
  std::sort(matched.begin(), matched.end(),
            [](const WordSpan* a, const WordSpan* b) { return a->begin < b->begin; });

  nlohmann::ordered_json prediction = {{"description", description},
                                       {"matchedKeywords", nlohmann::ordered_json::array()},
                                       {"matchedWords", nlohmann::ordered_json::array()}};
  for (const auto& [begin, size] : keywords) {
    prediction["matchedKeywords"].push_back(word(description, begin, size));
  }
  for (const WordSpan* w : matched) {
    prediction["matchedWords"].push_back(word(description, w->begin, w->size));
  }
  return prediction;
}

}  // namespace

OperationReply queryAutocomplete(const RequestBody& request, const OperationContext& context) {
  const std::string query = request.requiredString("query");
  const std::optional<LatLng> location = request.optionalCoordinate("location");
  // Without a radius every place is near enough. A plain limit rather than an optional keeps
  // GCC 12's optimiser from a false "may be used uninitialized" warning.
  const double radiusLimit = request.optionalInteger("radius")
                                 ? static_cast<double>(radiusOf(request, 0))
                                 : std::numeric_limits<double>::infinity();
  const bool children = request.optionalBool("children").value_or(false);
  request.optionalString("language");

  const std::vector<std::string> tokens = queryTokens(query);
  struct Match {
    Candidate candidate;
    nlohmann::ordered_json prediction;
  };
  std::vector<Match> matches;
  if (!tokens.empty()) {
    for (const Place& place : context.dataset.places()) {
      const std::string description = place.name + ", " + place.country;
      std::optional<nlohmann::ordered_json> prediction = predict(description, tokens);
      if (!prediction) continue;
      // Places whose own name the query matches come before those matched by country only.
      const std::int64_t nameEnd = codePointOffset(description, place.name.size());
      const auto& words = (*prediction)["matchedWords"];
      const bool nameHit = std::any_of(words.begin(), words.end(), [&](const auto& w) {
        return w["offset"].template get<std::int64_t>() < nameEnd;
      });
      Candidate candidate{&place, nameHit ? 0 : 1, 0};
      if (location) {
        candidate.distance = distanceMeters(*location, {place.lat, place.lng});
        if (candidate.distance > radiusLimit) continue;
      }
      matches.push_back({candidate, std::move(*prediction)});
    }
  }
  std::vector<Candidate> order;
  for (const Match& match : matches) order.push_back(match.candidate);
  sortCandidates(order);
  if (order.size() > kPredictionLimit) order.resize(kPredictionLimit);

  OperationReply reply{200, okEnvelope()};
  reply.body["predictions"] = nlohmann::ordered_json::array();
  reply.body["sites"] = nlohmann::ordered_json::array();
  for (const Candidate& chosen : order) {
    const Match& match = *std::find_if(matches.begin(), matches.end(), [&](const Match& m) {
      return m.candidate.place == chosen.place;
    });
    SiteShape shape;
    shape.distanceFrom = location;
    shape.withChildren = children;
    shape.prediction = &match.prediction;
    reply.body["predictions"].push_back(match.prediction);
    reply.body["sites"].push_back(siteJson(*chosen.place, shape, context.zones, context.now));
  }
  return reply;
}

}  // namespace orvane::site::standin::detail
