#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::site::observe {

/// Writes the Prometheus text exposition format: a metric's HELP and TYPE lines once, then its
/// samples, with label values and help texts escaped.
class PrometheusText {
 public:
  using Labels = std::initializer_list<std::pair<std::string_view, std::string_view>>;

  /// Labels written first on every later sample, until changed; empty for none.
  void constantLabels(const std::vector<std::pair<std::string, std::string>>& labels);

  /// Starts a metric family; `type` is "counter", "gauge" or "histogram".
  void family(std::string_view name, std::string_view type, std::string_view help);

  void sample(std::string_view name, Labels labels, std::uint64_t value);
  void sample(std::string_view name, Labels labels, double value);
  /// A sample with the labels of `labels` followed by one more, as a histogram bucket's "le".
  void sample(std::string_view name, Labels labels, std::string_view extraName,
              std::string_view extraValue, std::uint64_t value);

  std::string take() { return std::move(text_); }

 private:
  void labels(Labels labels, std::string_view extraName = {}, std::string_view extraValue = {});
  std::string text_;
  std::string constant_;  // rendered: name="value",...
};

}  // namespace orvane::site::observe
