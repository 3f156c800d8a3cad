#include "text/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace orvane::site::internal {

std::string numberText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";

  // Shortest round-trip digits in scientific form, e.g. "2.25e+00", then laid out anew.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = scientific.find('e');
  const bool negative = scientific.front() == '-';
  std::string digits;
  for (char c : scientific.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
    if (c != '.') digits.push_back(c);
  }
  std::string_view exponentText = scientific.substr(e + 1);
  if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

  std::string text = negative ? "-" : "";
  if (exponent < -4 || exponent >= 16) {
    text.push_back(digits.front());
    if (digits.size() > 1) text.append(".").append(digits, 1, std::string::npos);
    text.append(exponent < 0 ? "e-" : "e+");
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) text.push_back('0');
    text.append(std::to_string(magnitude));
    return text;
  }
  if (exponent < 0) {
    text.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
    return text;
  }
  const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= integerDigits) {
    text.append(digits).append(integerDigits - digits.size(), '0').append(".0");
  } else {
    text.append(digits, 0, integerDigits).append(".").append(digits, integerDigits);
  }
  return text;
}

std::string millisecondsText(std::chrono::nanoseconds time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(time).count()) +
         " ms";
}

}  // namespace orvane::site::internal
