#include "fault.h"

#include <stdexcept>

namespace orvane::site::standin::detail {
namespace {

constexpr std::int64_t kMaxDelayMillis = 60000;
constexpr std::int64_t kMaxCount = 1000;
constexpr std::int64_t kMaxRetryAfterSeconds = 864000;

std::vector<std::string> splitOn(std::string_view text, std::string_view separators) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (separators.find(c) != std::string_view::npos) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

[[noreturn]] void malformed(std::string_view token, const char* why) {
  throw std::invalid_argument("fault \"" + std::string(token) + "\": " + why);
}

std::int64_t number(std::string_view token, const std::string& digits, std::int64_t low,
                    std::int64_t high) {
  if (digits.empty() || digits.size() > 12 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    malformed(token, "expects a number");
  }
  const std::int64_t value = std::stoll(digits);
  if (value < low || value > high) malformed(token, "number out of range");
  return value;
}

}  // namespace

Fault parseFault(std::string_view token) {
  std::string_view body = token;
  if (body.substr(0, 6) == "fault-") body.remove_prefix(6);
  const std::vector<std::string> parts = splitOn(body, "-");
  if (parts.empty()) malformed(token, "is empty");
  const std::string& name = parts[0];
  auto argument = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string(); };
  auto arity = [&](std::size_t most) {
    if (parts.size() > most + 1) malformed(token, "has too many parts");
  };
  // An optional status argument with its default.
  auto status = [&](int fallback, int low) {
    return parts.size() > 1 ? static_cast<int>(number(token, parts[1], low, 599)) : fallback;
  };

  Fault fault;
  fault.text = std::string(body);
  if (name == "5xx") {
    arity(2);
    fault.kind = Fault::Kind::kServerErrors;
    fault.count = number(token, argument(1), 1, kMaxCount);
    fault.status = parts.size() > 2 ? static_cast<int>(number(token, parts[2], 500, 599)) : 503;
  } else if (name == "delay") {
    arity(1);
    fault.kind = Fault::Kind::kDelay;
    fault.millis = number(token, argument(1), 0, kMaxDelayMillis);
  } else if (name == "retryafter") {
    arity(1);
    fault.kind = Fault::Kind::kRetryAfter;
    fault.seconds = number(token, argument(1), 0, kMaxRetryAfterSeconds);
  } else if (name == "status") {
    arity(2);
    fault.kind = Fault::Kind::kStatus;
    fault.status = static_cast<int>(number(token, argument(1), 200, 599));
    fault.returnCode = parts.size() > 2 ? parts[2] : "010" + parts[1];
    if (fault.returnCode.find_first_not_of("0123456789") != std::string::npos) {
      malformed(token, "return code must be digits");
    }
  } else if (name == "nocode" || name == "nodesc" || name == "nobody" || name == "notjson" ||
             name == "notutf8" || name == "truncated" || name == "empty") {
    arity(1);
    static const struct {
      const char* name;
      Fault::Kind kind;
      int status;
    } kSimple[] = {
        {"nocode", Fault::Kind::kNoCode, 400},   {"nodesc", Fault::Kind::kNoDesc, 400},
        {"nobody", Fault::Kind::kNoBody, 404},   {"notjson", Fault::Kind::kNotJson, 200},
        {"notutf8", Fault::Kind::kNotUtf8, 200}, {"truncated", Fault::Kind::kTruncated, 200},
        {"empty", Fault::Kind::kEmpty, 200}};
    for (const auto& simple : kSimple) {
      if (name == simple.name) {
        fault.kind = simple.kind;
        fault.status = status(simple.status, 200);
      }
    }
  } else if (name == "cut" || name == "drop") {
    arity(0);
    fault.kind = name == "cut" ? Fault::Kind::kCutShort : Fault::Kind::kDrop;
    fault.status = 200;
  } else {
    malformed(token, "is not a known fault");
  }
  return fault;
}

std::vector<Fault> parseFaultHeader(std::string_view value) {
  std::vector<Fault> faults;
  for (const std::string& token : splitOn(value, ", \t")) faults.push_back(parseFault(token));
  return faults;
}

KeyFaults splitKey(const std::string& key) {
  KeyFaults result;
  std::size_t split = std::min(key.find(".fault-"), key.find(".tag-"));
  result.baseKey = key.substr(0, split);
  if (split == std::string::npos) return result;
  for (const std::string& segment : splitOn(std::string_view(key).substr(split), ".")) {
    if (segment.compare(0, 6, "fault-") == 0) {
      result.faults.push_back(parseFault(segment));
    } else if (segment.compare(0, 4, "tag-") != 0) {
      throw std::invalid_argument("key segment \"" + segment +
                                  "\" is neither \"fault-...\" nor \"tag-...\"");
    }
  }
  return result;
}

}  // namespace orvane::site::standin::detail
