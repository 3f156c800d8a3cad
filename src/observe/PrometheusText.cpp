#include "observe/PrometheusText.h"

#include <cmath>
#include <cstdio>

namespace orvane::site::observe {
namespace {

// Label values escape backslash, double quote and line feed; help texts backslash and line feed.
void appendEscaped(std::string& out, std::string_view text, bool quotes) {
  for (const char c : text) {
    if (c == '\\') {
      out.append("\\\\");
    } else if (c == '\n') {
      out.append("\\n");
    } else if (c == '"' && quotes) {
      out.append("\\\"");
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

void PrometheusText::constantLabels(
    const std::vector<std::pair<std::string, std::string>>& labels) {
  constant_.clear();
  for (const auto& [name, value] : labels) {
    if (!constant_.empty()) constant_.push_back(',');
    constant_.append(name).append("=\"");
    appendEscaped(constant_, value, true);
    constant_.push_back('"');
  }
}

void PrometheusText::family(std::string_view name, std::string_view type, std::string_view help) {
  text_.append("# HELP ").append(name).push_back(' ');
  appendEscaped(text_, help, false);
  text_.append("\n# TYPE ").append(name).push_back(' ');
  text_.append(type).push_back('\n');
}

void PrometheusText::labels(Labels labels, std::string_view extraName,
                            std::string_view extraValue) {
  if (labels.size() == 0 && extraName.empty() && constant_.empty()) return;
  text_.push_back('{');
  text_.append(constant_);
  bool first = constant_.empty();
  auto one = [&](std::string_view name, std::string_view value) {
    if (!first) text_.push_back(',');
    first = false;
    text_.append(name).append("=\"");
    appendEscaped(text_, value, true);
    text_.push_back('"');
  };
  for (const auto& [name, value] : labels) one(name, value);
  if (!extraName.empty()) one(extraName, extraValue);
  text_.push_back('}');
}

void PrometheusText::sample(std::string_view name, Labels labels, std::uint64_t value) {
  text_.append(name);
  this->labels(labels);
  text_.append(" ").append(std::to_string(value)).push_back('\n');
}

void PrometheusText::sample(std::string_view name, Labels labels, double value) {
  text_.append(name);
  this->labels(labels);
  char number[32];
  if (std::isfinite(value)) {
    (void)std::snprintf(number, sizeof number, "%.9g", value);
  } else {
    (void)std::snprintf(number, sizeof number, "%s",
                        std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "+Inf"));
  }
  text_.append(" ").append(number).push_back('\n');
}

void PrometheusText::sample(std::string_view name, Labels labels, std::string_view extraName,
                            std::string_view extraValue, std::uint64_t value) {
  text_.append(name);
  this->labels(labels, extraName, extraValue);
  text_.append(" ").append(std::to_string(value)).push_back('\n');
}

}  // namespace orvane::site::observe
