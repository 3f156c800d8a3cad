// Constant labels, chosen buckets and the percentile estimate of CallStats, and the exposition
// of several stats at once as promtool reads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvane/site/CallStats.h"
#include "orvane/site/Error.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using Durations = std::vector<std::chrono::nanoseconds>;

void endCalls(CallStats& stats, const Durations& durations) {
  for (const auto duration : durations) {
    stats.onCallStart({"geocode", 1});
    stats.onCallEnd({"geocode", 1, nullptr, 1, duration});
  }
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(CallStatsPercentiles, StayWithinWhatWasSeen) {
  struct Case {
    const char* name;
    Durations buckets;
    Durations durations;
    std::chrono::nanoseconds low;   // every percentile at least this
    std::chrono::nanoseconds high;  // and at most this
  };
  const Durations hundredNear1s(100, 1010ms);
  Durations spread;
  for (int i = 1; i <= 100; ++i) spread.push_back(i * 10ms);  // 10 ms .. 1 s
  const Case cases[] = {
      {"all near 1 s, one wide bucket", {}, hundredNear1s, 1010ms, 1010ms},
      {"beyond the last bucket", {}, Durations(10, 90s), 90s, 90s},
      {"chosen buckets", {100ms, 200ms}, Durations(5, 150ms), 150ms, 150ms},
      {"a spread", {}, spread, 10ms, 1s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CallStats stats(CallStats::Options{{}, c.buckets});
    endCalls(stats, c.durations);
    const CallStats::OperationSummary summary = stats.operations().at(0);
    for (const auto p : {summary.p50, summary.p90, summary.p99}) {
      EXPECT_GE(p, c.low);
      EXPECT_LE(p, c.high);
    }
  }
  // Interpolated within the bucket: the spread's median lies near 500 ms, not at a bound.
  CallStats stats;
  endCalls(stats, spread);
  EXPECT_NEAR(std::chrono::duration<double>(stats.operations()[0].p50).count(), 0.5, 0.05);
}

TEST(CallStatsOptions, RefusedLabelsAndBucketsNameTheFault) {
  using Labels = std::vector<std::pair<std::string, std::string>>;
  const struct {
    Labels labels;
    Durations buckets;
    const char* fault;
  } cases[] = {
      {{{"1tenant", "a"}}, {}, "1tenant"},
      {{{"__reserved", "a"}}, {}, "__reserved"},
      {{{"operation", "a"}}, {}, "write themselves"},
      {{{"tenant", "a"}, {"tenant", "b"}}, {}, "twice"},
      {{}, {0ms}, "strictly increasing"},
      {{}, {2s, 1s}, "strictly increasing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    try {
      CallStats stats(CallStats::Options{c.labels, c.buckets});
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& refused) {
      EXPECT_NE(std::string(refused.what()).find(c.fault), std::string::npos) << refused.what();
    }
  }
}

TEST(CallStatsExposition, ThreeTenantsMakeOneValidExposition) {
  CallStats alpha(CallStats::Options{{{"tenant", "alpha"}}, {}});
  CallStats beta(CallStats::Options{{{"tenant", "beta \"b\""}}, {}});
  CallStats gamma(CallStats::Options{{{"tenant", "gamma"}, {"region", "eu"}}, {50ms, 1s}});
  const Error refused{"OrvaneSite.ErrorType", 1, "refused", {}};
  for (CallStats* stats : {&alpha, &beta, &gamma}) {
    stats->onCallStart({"textSearch", 1});
    stats->onAttempt({"textSearch", 1, 1, 503, std::nullopt, 20ms});
    stats->onAttempt({"textSearch", 1, 2, 0, 4, 30ms});
    stats->onCallEnd({"textSearch", 1, &refused, 2, 60ms});
    stats->onCallStart({"geocode", 2});
    stats->onAttempt({"geocode", 2, 1, 200, std::nullopt, 5ms});
    stats->onCallEnd({"geocode", 2, nullptr, 1, 5ms});
    stats->onLimiterChange({"quota", true, "Redis down"});
  }
  const std::string text = CallStats::prometheusText({&alpha, nullptr, &beta, &gamma});
  EXPECT_EQ(occurrences(text, "# HELP orvane_site_calls_started_total "), 1U);
  EXPECT_EQ(occurrences(text, "# TYPE orvane_site_call_duration_seconds histogram"), 1U);
  EXPECT_NE(text.find("orvane_site_calls_started_total{tenant=\"beta \\\"b\\\"\","
                      "operation=\"textSearch\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("orvane_site_call_duration_seconds_bucket{tenant=\"gamma\",region=\"eu\","
                      "operation=\"geocode\",le=\"0.05\"} 1\n"),
            std::string::npos);
  EXPECT_EQ(alpha.prometheusText(), CallStats::prometheusText({&alpha}));
  EXPECT_THROW(CallStats::prometheusText({&alpha, &alpha}), std::invalid_argument);

#ifdef ORVANE_SITE_PROMTOOL
  const std::string path = ::testing::TempDir() + "orvane-site-metrics.txt";
  std::ofstream(path) << text;
  const std::string command =
      std::string(ORVANE_SITE_PROMTOOL) + " check metrics < " + path + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string report;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) report += buffer;
  EXPECT_EQ(::pclose(pipe), 0) << report << "\n" << text;
  std::remove(path.c_str());
#else
  FAIL() << "promtool not found when the tests were configured; scripts/install-deps.sh "
            "unpacks it";
#endif
}

}  // namespace
}  // namespace orvane::site
