#include "CassetteBook.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <utility>

#include "CassetteRecord.h"

namespace orvane::site::testkit::cassette {
namespace {

using nlohmann::json;

std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string describe(const std::string& operation, const json& request) {
  return operation + " " + request.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

CassetteBook::CassetteBook(const std::string& path) : path_(path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the cassette " + path);
  std::string text;
  for (std::size_t line = 1; std::getline(in, text); ++line) {
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    try {
      Record record = parsed(json::parse(text));
      record.line = line;
      records_.push_back(std::move(record));
    } catch (const std::exception& e) {
      throw std::invalid_argument("cassette " + path + " line " + std::to_string(line) + ": " +
                                  e.what());
    }
  }
}

CassetteBook::Record CassetteBook::parsed(const json& line) {
  if (!line.is_object()) throw std::invalid_argument("a record is a JSON object");
  Record record;
  if (line.contains("operation")) {
    record.operation = line.at("operation").get<std::string>();
  } else if (line.contains("path")) {
    record.operation = operationOf(line.at("path").get<std::string>());
  } else {
    throw std::invalid_argument(R"(a record needs "operation" or "path")");
  }
  record.request = line.value("request", json());
  HttpOutcome& outcome = record.answer.outcome;
  if (line.contains("failure")) {
    const std::string name = line.at("failure").get<std::string>();
    const auto failure = failureNamed(name);
    if (!failure) throw std::invalid_argument("unknown failure \"" + name + "\"");
    outcome.failure = *failure;
    outcome.failureDetail = line.value("detail", name + " (from the cassette)");
  } else if (line.contains("status")) {
    outcome.statusCode = line.at("status").get<long>();
    outcome.body = line.value("reply", std::string());
  } else {
    throw std::invalid_argument(R"(a record needs "status" or "failure")");
  }
  const auto delay = line.value("delay_ms", std::int64_t{0});
  if (delay < 0) throw std::invalid_argument("\"delay_ms\" is negative");
  record.answer.delay = std::chrono::milliseconds(delay);
  return record;
}

Answer CassetteBook::answer(const std::string& operation, const json& request) {
  Record* last = nullptr;
  for (Record& record : records_) {
    if (record.operation != operation || record.request != request) continue;
    if (!record.served) {
      record.served = true;
      return record.answer;
    }
    last = &record;
  }
  return last ? last->answer : unmatched(operation, request);
}

Answer CassetteBook::unmatched(const std::string& operation, const json& request) const {
  std::string detail =
      "no exchange in the cassette " + path_ + " matches " + describe(operation, request) + "; ";
  const std::string wanted = request.dump(-1, ' ', false, json::error_handler_t::replace);
  const Record* nearest = nullptr;
  std::pair<bool, std::size_t> best{true, std::numeric_limits<std::size_t>::max()};
  for (const Record& record : records_) {
    const std::pair<bool, std::size_t> distance{
        record.operation != operation,
        editDistance(wanted, record.request.dump(-1, ' ', false, json::error_handler_t::replace))};
    if (distance < best) {
      best = distance;
      nearest = &record;
    }
  }
  if (nearest) {
    detail += "the nearest recorded request is " + describe(nearest->operation, nearest->request) +
              " (line " + std::to_string(nearest->line) + ")";
  } else {
    detail += "it holds no exchange";
  }
  Answer answer;
  answer.outcome.failure = HttpOutcome::Failure::otherFailure;
  answer.outcome.failureDetail = std::move(detail);
  return answer;
}

}  // namespace orvane::site::testkit::cassette
