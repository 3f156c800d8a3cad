// The body of an On-Demand walker, included by one source per compile target. The includer
// defines ORVANE_SITE_BENCH_WALK_NS (a namespace of its own, so the copies never meet) and
// compiles with that target's flags.
#include <simdjson.h>

#include <cstddef>
#include <cstring>
#include <string_view>

#include "decode/OnDemandWalk.h"

#define ORVANE_SITE_BENCH_NAME2(x) #x
#define ORVANE_SITE_BENCH_NAME(x) ORVANE_SITE_BENCH_NAME2(x)

namespace orvane::site::bench::ORVANE_SITE_BENCH_WALK_NS {
namespace {

namespace od = simdjson::ondemand;

// Keys are compared raw (no unescaping), as a decoder matching a key table would.
bool walkValue(od::value value, std::size_t& sum) {
  od::json_type type;
  if (value.type().get(type) != simdjson::SUCCESS) return false;
  switch (type) {
    case od::json_type::object: {
      od::object object;
      if (value.get_object().get(object) != simdjson::SUCCESS) return false;
      for (auto member : object) {
        od::field field;
        if (std::move(member).get(field) != simdjson::SUCCESS) return false;
        sum += static_cast<unsigned char>(*field.key().raw());
        if (!walkValue(field.value(), sum)) return false;
      }
      return true;
    }
    case od::json_type::array: {
      od::array array;
      if (value.get_array().get(array) != simdjson::SUCCESS) return false;
      for (auto item : array) {
        od::value element;
        if (std::move(item).get(element) != simdjson::SUCCESS) return false;
        if (!walkValue(element, sum)) return false;
      }
      return true;
    }
    case od::json_type::string: {
      std::string_view text;
      if (value.get_string().get(text) != simdjson::SUCCESS) return false;
      sum += text.size();
      return true;
    }
    case od::json_type::number: {
      double number = 0;
      if (value.get_double().get(number) != simdjson::SUCCESS) return false;
      sum += number > 0 ? 1 : 0;
      return true;
    }
    case od::json_type::boolean:
    case od::json_type::null:
      return true;
  }
  return false;
}

bool walk(std::string_view reply, std::size_t& sum) {
  thread_local od::parser parser;
  thread_local simdjson::padded_string padded;
  if (padded.size() != reply.size()) padded = simdjson::padded_string(reply.size());
  std::memcpy(padded.data(), reply.data(), reply.size());
  od::document document;
  if (parser.iterate(padded).get(document) != simdjson::SUCCESS) return false;
  od::value root;
  if (document.get_value().get(root) != simdjson::SUCCESS) return false;
  // simdjson 3.0 has no public test for trailing content after the root: the time of one is
  // left out here.
  return walkValue(root, sum);
}

}  // namespace

OnDemandWalker walker() {
  return OnDemandWalker{ORVANE_SITE_BENCH_NAME(SIMDJSON_BUILTIN_IMPLEMENTATION), &walk};
}

}  // namespace orvane::site::bench::ORVANE_SITE_BENCH_WALK_NS
