#pragma once

#include <chrono>
#include <string>

namespace orvane::site::internal {

/// The text form of a double used in log lines: the shortest decimal that reads back as the same
/// value, with ".0" after a whole number (1 -> "1.0", 2.25 -> "2.25", 60 -> "60.0"); magnitudes
/// from 1e16 up and below 1e-4 take an exponent form ("1e+16", "1e-05", "1.5e+300").
/// Non-finite values print as "inf", "-inf" and "nan".
std::string numberText(double value);

/// A duration as whole milliseconds for messages: "1500 ms".
std::string millisecondsText(std::chrono::nanoseconds time);

}  // namespace orvane::site::internal
