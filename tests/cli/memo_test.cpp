// Rows that would send the same request share one call; only outcomes that would come again
// serve later rows.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "CallMemo.h"
#include "ErrorClass.h"
#include "RequestKey.h"

namespace orvane::site::cli::batch {
namespace {

// Rows of the memo whose calls the test ends by hand.
struct Rows {
  explicit Rows(std::size_t capacity) : memo(capacity) {}

  void row(const std::string& key) {
    memo.run(
        key, [this](RowOutcome outcome) { outcomes.push_back(std::move(outcome)); },
        [this](CallMemo::Done done) {
          calls.push_back(std::move(done));
          return RowRunner::Cancel([] {});
        });
  }
  void answer(std::size_t call, const RowOutcome& outcome) { calls.at(call)(outcome); }

  CallMemo memo;
  std::vector<CallMemo::Done> calls;
  std::vector<RowOutcome> outcomes;
};

RowOutcome found() {
  RowOutcome outcome;
  outcome.records.push_back({Cell("Paris")});
  return outcome;
}

RowOutcome failed(const std::string& domain, int code, const std::string& status) {
  Error error;
  error.domain = domain;
  error.code = code;
  if (!status.empty()) error.userInfo["statusCode"] = status;
  return outcomeOfError(error);
}

struct MemoCase {
  const char* name;
  RowOutcome outcome;
  bool servesLaterRows;
};

void PrintTo(const MemoCase& param, std::ostream* out) { *out << param.name; }

class BatchMemo : public ::testing::TestWithParam<MemoCase> {};

TEST_P(BatchMemo, RowsInFlightShareTheCall_LaterRowsOnlyAnOutcomeThatWouldComeAgain) {
  Rows rows(2);
  rows.row("paris");
  rows.row("paris");
  rows.row("paris, in French");
  ASSERT_EQ(rows.calls.size(), 2u);
  rows.answer(0, GetParam().outcome);
  ASSERT_EQ(rows.outcomes.size(), 2u);
  for (const auto& outcome : rows.outcomes) {
    EXPECT_EQ(statusOf(outcome), std::string(statusOf(GetParam().outcome)));
    EXPECT_EQ(outcome.records, GetParam().outcome.records);
  }
  rows.row("paris");
  const bool served = GetParam().servesLaterRows;
  EXPECT_EQ(rows.calls.size(), served ? 2u : 3u);
  EXPECT_EQ(rows.outcomes.size(), served ? 3u : 2u);
  EXPECT_EQ(rows.memo.callsSaved(), served ? 2u : 1u);
}

const char* const kApi = "OrvaneSite.ErrorType";
const char* const kTransport = "OrvaneSite.TransportError";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, BatchMemo,
    ::testing::Values(MemoCase{"found", found(), true}, MemoCase{"notFound", RowOutcome{}, true},
                      MemoCase{"requestRefused", failed(kApi, 1, "400"), true},
                      MemoCase{"tooManyRequests", failed(kApi, 1, "429"), false},
                      MemoCase{"serverFailing", failed(kApi, 1, "503"), false},
                      MemoCase{"timedOut", failed(kTransport, 4, ""), false},
                      MemoCase{"cancelled", failed(kTransport, 12, ""), false},
                      MemoCase{"notDecoded", failed("OrvaneSite.DecodingError", 1, ""), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BatchMemoBound, KeepsTheMostRecentlyUsedOutcomes) {
  Rows rows(2);
  for (const char* key : {"a", "b", "a", "c", "a", "b"}) {
    const std::size_t before = rows.calls.size();
    rows.row(key);
    if (rows.calls.size() > before) rows.answer(before, found());
  }
  // a, b, c are called; "a", used again, stays; "b", the least recently used, made way for "c".
  EXPECT_EQ(rows.calls.size(), 4u);
  EXPECT_EQ(rows.memo.callsSaved(), 2u);
}

// Keys are alike only where every field is: one field apart, or the same texts split into
// fields another way, gives another key.
TEST(BatchMemoKey, EveryFieldOfTheRequestCounts) {
  const auto geocode = [](std::string address, std::optional<std::string> language) {
    return requestKey(GeocodeRequest(std::move(address), std::nullopt, std::move(language)));
  };
  EXPECT_EQ(geocode("Paris", "fr"), geocode("Paris", "fr"));
  EXPECT_NE(geocode("Paris", "fr"), geocode("Paris", std::nullopt));
  EXPECT_NE(geocode("Paris", ""), geocode("Paris", std::nullopt));
  EXPECT_NE(geocode("Paris s2:fr", std::nullopt), geocode("Paris", "fr"));
  const auto timezone = [](double lat, std::int64_t at) {
    return requestKey(TimezoneRequest(Coordinate(lat, 2), at, std::nullopt));
  };
  EXPECT_NE(timezone(48.8566, 0), timezone(std::nextafter(48.8566, 90.0), 0));
  EXPECT_NE(timezone(48.8566, 0), timezone(48.8566, 1));
}

}  // namespace
}  // namespace orvane::site::cli::batch
