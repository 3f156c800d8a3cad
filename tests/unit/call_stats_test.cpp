#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/site/CallStats.h"
#include "orvane/site/Error.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;

// A strict reader of the Prometheus text exposition format: it fails the test on any line that
// does not follow the format, and returns the samples it read.
class ExpositionReader {
 public:
  struct Sample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value = 0;
  };

  explicit ExpositionReader(const std::string& text) { parse(text); }

  const std::vector<Sample>& samples() const { return samples_; }
  std::string typeOf(const std::string& family) const {
    auto found = types_.find(family);
    return found == types_.end() ? std::string() : found->second;
  }
  std::optional<double> value(const std::string& name,
                              const std::map<std::string, std::string>& labels) const {
    for (const Sample& sample : samples_) {
      if (sample.name == name && sample.labels == labels) return sample.value;
    }
    return std::nullopt;
  }

 private:
  void parse(const std::string& text) {
    ASSERT_TRUE(text.empty() || text.back() == '\n') << "the text must end with a line feed";
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find('\n', start);
      line(text.substr(start, end - start));
      start = end + 1;
    }
    checkHistograms();
  }

  static bool isMetricName(const std::string& name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      const char c = name[i];
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
      if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return true;
  }
  static bool isLabelName(const std::string& name) {
    return isMetricName(name) && name.find(':') == std::string::npos;
  }

  void line(const std::string& text) {
    ASSERT_FALSE(text.empty()) << "empty line";
    if (text[0] == '#') return comment(text);
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != '{' && text[pos] != ' ') ++pos;
    Sample sample;
    sample.name = text.substr(0, pos);
    ASSERT_TRUE(isMetricName(sample.name)) << text;
    if (pos < text.size() && text[pos] == '{') {
      ++pos;
      while (text.at(pos) != '}') {
        const std::size_t equals = text.find('=', pos);
        ASSERT_NE(equals, std::string::npos) << text;
        const std::string name = text.substr(pos, equals - pos);
        ASSERT_TRUE(isLabelName(name)) << text;
        ASSERT_EQ(text.at(equals + 1), '"') << text;
        std::string value;
        pos = equals + 2;
        for (;; ++pos) {
          ASSERT_LT(pos, text.size()) << "unterminated label value: " << text;
          const char c = text[pos];
          if (c == '"') break;
          ASSERT_NE(c, '\n');
          if (c == '\\') {
            const char next = text.at(++pos);
            ASSERT_TRUE(next == '\\' || next == '"' || next == 'n') << "bad escape: " << text;
            value.push_back(next == 'n' ? '\n' : next);
          } else {
            value.push_back(c);
          }
        }
        ASSERT_TRUE(sample.labels.emplace(name, value).second) << "label twice: " << text;
        ++pos;
        if (text.at(pos) == ',') ++pos;
      }
      ++pos;
    }
    ASSERT_EQ(text.at(pos), ' ') << text;
    const std::string number = text.substr(pos + 1);
    if (number == "+Inf" || number == "-Inf" || number == "NaN") {
      sample.value = number == "NaN" ? 0 : (number[0] == '+' ? 1e308 : -1e308);
    } else {
      char* end = nullptr;
      sample.value = std::strtod(number.c_str(), &end);
      ASSERT_TRUE(!number.empty() && *end == '\0') << "bad value: " << text;
    }
    const std::string family = familyOf(sample.name);
    ASSERT_FALSE(typeOf(family).empty()) << "sample before its TYPE: " << text;
    ASSERT_EQ(family, current_) << "sample away from its family: " << text;
    ASSERT_TRUE(seen_.insert(sample.name + render(sample.labels)).second) << "twice: " << text;
    if (typeOf(family) == "counter") {
      EXPECT_EQ(family.substr(family.size() - 6), "_total") << text;
      EXPECT_GE(sample.value, 0) << text;
    }
    samples_.push_back(std::move(sample));
  }

  void comment(const std::string& text) {
    std::istringstream in(text);
    std::string hash, keyword, name;
    in >> hash >> keyword >> name;
    ASSERT_TRUE(isMetricName(name)) << text;
    if (keyword == "TYPE") {
      std::string type;
      in >> type;
      ASSERT_TRUE(type == "counter" || type == "gauge" || type == "histogram") << text;
      ASSERT_TRUE(types_.emplace(name, type).second) << "TYPE twice: " << text;
      current_ = name;
    } else if (keyword == "HELP") {
      ASSERT_TRUE(helps_.insert(name).second) << "HELP twice: " << text;
      ASSERT_TRUE(types_.count(name) == 0) << "HELP after TYPE: " << text;
    }
  }

  std::string familyOf(const std::string& name) const {
    for (const char* suffix : {"_bucket", "_sum", "_count"}) {
      const std::string s(suffix);
      if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
        const std::string base = name.substr(0, name.size() - s.size());
        if (typeOf(base) == "histogram") return base;
      }
    }
    return name;
  }

  static std::string render(const std::map<std::string, std::string>& labels) {
    std::string text;
    for (const auto& [name, value] : labels) text += name + "=" + value + ";";
    return text;
  }

  void checkHistograms() {
    for (const auto& [family, type] : types_) {
      if (type != "histogram") continue;
      std::map<std::string, std::vector<const Sample*>> buckets;  // by labels without "le"
      for (const Sample& sample : samples_) {
        if (sample.name != family + "_bucket") continue;
        ASSERT_EQ(sample.labels.count("le"), 1u);
        auto labels = sample.labels;
        labels.erase("le");
        buckets[render(labels)].push_back(&sample);
      }
      for (const auto& [labels, series] : buckets) {
        double previousBound = -1;
        double previousCount = 0;
        for (const Sample* bucket : series) {
          const std::string& le = bucket->labels.at("le");
          const double bound = le == "+Inf" ? 1e308 : std::strtod(le.c_str(), nullptr);
          EXPECT_GT(bound, previousBound) << family << " " << labels;
          EXPECT_GE(bucket->value, previousCount) << "not cumulative: " << family << " " << labels;
          previousBound = bound;
          previousCount = bucket->value;
        }
        EXPECT_EQ(series.back()->labels.at("le"), "+Inf") << family << " " << labels;
        std::map<std::string, std::string> plain = series.back()->labels;
        plain.erase("le");
        const auto count = value(family + "_count", plain);
        ASSERT_TRUE(count.has_value()) << family << " " << labels;
        EXPECT_EQ(*count, series.back()->value) << family << " " << labels;
        EXPECT_TRUE(value(family + "_sum", plain).has_value()) << family << " " << labels;
      }
    }
  }

  std::vector<Sample> samples_;
  std::map<std::string, std::string> types_;
  std::set<std::string> helps_;
  std::set<std::string> seen_;
  std::string current_;
};

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

TEST(ExpositionReader, RejectsWhatThePrometheusFormatForbids) {
  EXPECT_FATAL_FAILURE(ExpositionReader("x_total 1\n"), "before its TYPE");
  EXPECT_FATAL_FAILURE(ExpositionReader("# TYPE x_total counter\nx_total{a=\"\\q\"} 1\n"),
                       "bad escape");
  EXPECT_FATAL_FAILURE(ExpositionReader("# TYPE 1x gauge\n"), "1x");
  EXPECT_NONFATAL_FAILURE(ExpositionReader("# TYPE h histogram\n"
                                           "h_bucket{le=\"1\"} 2\n"
                                           "h_bucket{le=\"+Inf\"} 1\n"
                                           "h_sum 1\nh_count 1\n"),
                          "not cumulative");
  EXPECT_NONFATAL_FAILURE(ExpositionReader("# TYPE h histogram\n"
                                           "h_bucket{le=\"1\"} 1\n"
                                           "h_sum 1\nh_count 1\n"),
                          "+Inf");
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

TEST(CallStats, PrometheusTextIsStrictlyValidAndHoldsTheNumbers) {
  CallStats stats;
  feed(stats);
  const std::string text = stats.prometheusText();
  ExpositionReader reader(text);
  EXPECT_EQ(reader.typeOf("orvane_site_call_duration_seconds"), "histogram");
  EXPECT_EQ(reader.typeOf("orvane_site_calls_total"), "counter");

  using L = std::map<std::string, std::string>;
  EXPECT_EQ(reader.value("orvane_site_calls_started_total", L{{"operation", "textSearch"}}), 3);
  EXPECT_EQ(
      reader.value(
          "orvane_site_calls_total",
          L{{"operation", "textSearch"}, {"outcome", "success"}, {"domain", ""}, {"code", ""}}),
      2);
  EXPECT_EQ(reader.value("orvane_site_calls_total", L{{"operation", "textSearch"},
                                                      {"outcome", "error"},
                                                      {"domain", "OrvaneSite.ErrorType"},
                                                      {"code", "1"}}),
            1);
  // Quotes, backslashes and line feeds in a label survive the round trip.
  EXPECT_EQ(reader.value("orvane_site_calls_total", L{{"operation", "geocode"},
                                                      {"outcome", "error"},
                                                      {"domain", "Odd\"Domain\\\nX"},
                                                      {"code", "-7"}}),
            1);
  EXPECT_EQ(reader.value("orvane_site_attempts_total",
                         L{{"operation", "textSearch"}, {"status", "200"}, {"failure", ""}}),
            2);
  EXPECT_EQ(reader.value("orvane_site_attempts_total",
                         L{{"operation", "geocode"}, {"status", "0"}, {"failure", "3"}}),
            1);
  EXPECT_EQ(reader.value("orvane_site_call_duration_seconds_bucket",
                         L{{"operation", "textSearch"}, {"le", "0.005"}}),
            1);
  EXPECT_EQ(reader.value("orvane_site_call_duration_seconds_bucket",
                         L{{"operation", "textSearch"}, {"le", "0.05"}}),
            2);
  EXPECT_EQ(reader.value("orvane_site_call_duration_seconds_count", L{{"operation", "textSearch"}}),
            3);
  EXPECT_NEAR(
      *reader.value("orvane_site_call_duration_seconds_sum", L{{"operation", "textSearch"}}), 0.744,
      1e-9);
  EXPECT_NEAR(
      *reader.value("orvane_site_limiter_wait_seconds_total", L{{"operation", "textSearch"}}),
      0.012, 1e-9);
  EXPECT_EQ(reader.value("orvane_site_received_bytes_total", L{{"operation", "geocode"}}), 1000);
  EXPECT_EQ(reader.value("orvane_site_limiter_fallback", L{{"limiter", "quota \"main\""}}), 1);
  // Operations never called are left out.
  EXPECT_EQ(text.find("timezone"), std::string::npos);
}

TEST(CallStats, EmptyStatsAreValidToo) {
  CallStats stats;
  ExpositionReader reader(stats.prometheusText());
  EXPECT_TRUE(reader.samples().empty());
  EXPECT_EQ(stats.summary(),
            "calls 0 (ok 0, failed 0) attempts 0 p50 0.0 ms p90 0.0 ms p99 0.0 ms sent 0 B "
            "received 0 B");
}

TEST(CallStats, SummaryIsOneLineOverAllOperations) {
  CallStats stats;
  feed(stats);
  const std::string line = stats.summary();
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.rfind("calls 4 (ok 2, failed 2) attempts 5 p50 ", 0), 0u) << line;
  EXPECT_NE(line.find(" sent 500 B received 4.9 KiB"), std::string::npos) << line;
}

}  // namespace
}  // namespace orvane::site
