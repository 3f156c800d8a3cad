#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/CallStats.h"
#include "orvane/site/Error.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;

// The value written for one sample: the rest of the line after `name{labels} `.
std::string sample(const std::string& text, const std::string& series) {
  const std::size_t at = text.find("\n" + series + " ");
  if (at == std::string::npos) return "absent";
  const std::size_t from = at + series.size() + 2;
  return text.substr(from, text.find('\n', from) - from);
}

CallObserver::Attempt attempt(std::string_view operation, long status,
                              std::chrono::nanoseconds duration) {
  CallObserver::Attempt event;
  event.operation = operation;
  event.statusCode = status;
  event.duration = duration;
  event.bytesSent = 100;
  event.bytesReceived = 1000;
  event.queueWait = 2ms;
  event.limiterWait = 3ms;
  return event;
}

// Three text searches (one failed after a retry) and one geocode that failed without a reply.
void feed(CallStats& stats) {
  const Error apiError{"OrvaneSite.ErrorType", 1, "API Error", {}};
  const Error odd{"Odd\"Domain\\\nX", -7, "odd", {}};
  for (int call = 0; call < 3; ++call) stats.onCallStart({"textSearch", std::uint64_t(call)});
  stats.onAttempt(attempt("textSearch", 200, 3ms));
  stats.onAttempt(attempt("textSearch", 200, 30ms));
  stats.onAttempt(attempt("textSearch", 500, 300ms));
  stats.onAttempt(attempt("textSearch", 404, 300ms));
  stats.onCallEnd({"textSearch", 0, nullptr, 1, 4ms});
  stats.onCallEnd({"textSearch", 1, nullptr, 1, 40ms});
  stats.onCallEnd({"textSearch", 2, &apiError, 2, 700ms});

  stats.onCallStart({"geocode", 9});
  CallObserver::Attempt failed = attempt("geocode", 0, 2s);
  failed.failure = 3;
  stats.onAttempt(failed);
  stats.onCallEnd({"geocode", 9, &odd, 1, 2100ms});
  stats.onLimiterChange({"quota \"main\"", true, "redis down"});
}

TEST(CallStats, CountsPerOperationAndEstimatesPercentiles) {
  CallStats stats;
  EXPECT_TRUE(stats.operations().empty());
  feed(stats);
  const auto operations = stats.operations();
  ASSERT_EQ(operations.size(), 2u);
  const CallStats::OperationSummary& text = operations[0];
  EXPECT_EQ(text.operation, "textSearch");
  EXPECT_EQ(text.callsStarted, 3u);
  EXPECT_EQ(text.callsSucceeded, 2u);
  EXPECT_EQ(text.callsFailed, 1u);
  EXPECT_EQ(text.attempts, 4u);
  EXPECT_EQ(text.bytesSent, 400u);
  EXPECT_EQ(text.bytesReceived, 4000u);
  // 4 ms, 40 ms and 700 ms: the median lies in the 25-50 ms bucket, p99 in the 500 ms-1 s one.
  EXPECT_GT(text.p50, 25ms);
  EXPECT_LE(text.p50, 50ms);
  EXPECT_GT(text.p99, 500ms);
  EXPECT_LE(text.p99, 1s);
  EXPECT_EQ(operations[1].operation, "geocode");
  EXPECT_EQ(operations[1].callsFailed, 1u);

  // An operation of another name is counted too.
  stats.onCallStart({"futureOperation", 1});
  EXPECT_EQ(stats.operations().back().operation, "futureOperation");
}

TEST(CallStats, PrometheusTextAndSummaryHoldTheNumbersWithEscapedLabels) {
  CallStats stats;
  feed(stats);
  const std::string text = stats.prometheusText();
  ASSERT_EQ(text.back(), '\n');
  EXPECT_NE(text.find("# TYPE orvane_site_call_duration_seconds histogram\n"), std::string::npos);
  EXPECT_NE(text.find("# TYPE orvane_site_calls_total counter\n"), std::string::npos);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {R"(orvane_site_calls_started_total{operation="textSearch"})", "3"},
      {R"(orvane_site_calls_total{operation="textSearch",outcome="success",domain="",code=""})",
       "2"},
      {R"(orvane_site_calls_total{operation="textSearch",outcome="error",domain="OrvaneSite.ErrorType",code="1"})",
       "1"},
      // Quotes, backslashes and line feeds in a label are escaped.
      {R"(orvane_site_calls_total{operation="geocode",outcome="error",domain="Odd\"Domain\\\nX",code="-7"})",
       "1"},
      {R"(orvane_site_attempts_total{operation="textSearch",status="200",failure=""})", "2"},
      {R"(orvane_site_attempts_total{operation="geocode",status="0",failure="3"})", "1"},
      {R"(orvane_site_call_duration_seconds_bucket{operation="textSearch",le="0.005"})", "1"},
      {R"(orvane_site_call_duration_seconds_bucket{operation="textSearch",le="0.05"})", "2"},
      {R"(orvane_site_call_duration_seconds_bucket{operation="textSearch",le="+Inf"})", "3"},
      {R"(orvane_site_call_duration_seconds_count{operation="textSearch"})", "3"},
      {R"(orvane_site_call_duration_seconds_sum{operation="textSearch"})", "0.744"},
      {R"(orvane_site_limiter_wait_seconds_total{operation="textSearch"})", "0.012"},
      {R"(orvane_site_received_bytes_total{operation="geocode"})", "1000"},
      {R"(orvane_site_limiter_fallback{limiter="quota \"main\""})", "1"},
  };
  for (const auto& [series, value] : expected) EXPECT_EQ(sample(text, series), value) << series;
  EXPECT_EQ(text.find("timezone"), std::string::npos) << "operations never called are left out";

  const std::string line = stats.summary();
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.rfind("calls 4 (ok 2, failed 2) attempts 5 p50 ", 0), 0u) << line;
  EXPECT_NE(line.find(" sent 500 B received 4.9 KiB"), std::string::npos) << line;
}

}  // namespace
}  // namespace orvane::site
