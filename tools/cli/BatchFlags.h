#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvane::site::cli {

/// The flags of `batch`, as given.
struct BatchFlags {
  std::string operation;
  std::string input = "-";
  std::optional<std::string> inputFormat;
  std::string output = "-";
  std::optional<std::string> outputFormat;
  std::vector<std::string> columns;
  bool allPlaces = false;
  std::size_t concurrency = 8;
  double qps = 0;
  bool resume = false;
  bool overwrite = false;
  bool retryFailed = false;
  bool noMemo = false;
  bool noProgress = false;
  bool stats = false;
  std::optional<std::string> redis;
  std::optional<std::string> quota;
  std::optional<double> fallbackQps;
  std::optional<std::string> redisPasswordFile;
  std::optional<std::string> cache;
};

}  // namespace orvane::site::cli
