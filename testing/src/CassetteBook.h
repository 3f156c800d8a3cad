#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "orvane/site/transport/HttpOutcome.h"

namespace orvane::site::testkit::cassette {

/// What a cassette answers one request with, and after how long.
struct Answer {
  HttpOutcome outcome;
  std::chrono::milliseconds delay{0};
};

/// The exchanges of a cassette file, looked up by request. Not thread-safe.
class CassetteBook {
 public:
  /// Reads the file; throws std::invalid_argument naming the line that does not parse or lacks
  /// what a record needs, std::runtime_error when the file cannot be read.
  explicit CassetteBook(const std::string& path);

  /// The next unserved record with the same operation and request body (the last of them once
  /// all have been served), or a failure naming the nearest recorded request.
  Answer answer(const std::string& operation, const nlohmann::json& request);

 private:
  struct Record {
    std::string operation;
    nlohmann::json request;
    Answer answer;
    std::size_t line = 0;
    bool served = false;
  };

  static Record parsed(const nlohmann::json& line);
  Answer unmatched(const std::string& operation, const nlohmann::json& request) const;

  std::string path_;
  std::vector<Record> records_;
};

}  // namespace orvane::site::testkit::cassette
