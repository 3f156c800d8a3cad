// Fuzzes decode<T> for the envelope and the eight responses: the first byte picks the response
// type, the rest is the reply body. Whatever the bytes, decoding must end with either a record
// or a well-formed decoding Error, the same one every time.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "orvane/site/decode.h"

namespace {

using namespace orvane::site;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz_decode: %s\n", what);
  std::abort();
}

template <class T>
void checkOne(const Result<T>& result) {
  if (result.ok()) {
    if (!result.value()) fail("a successful result without a record");
    return;
  }
  const Error& error = result.error();
  if (error.domain != "OrvaneSite.DecodingError") fail("an error outside the decoding domain");
  if (error.code < 0 || error.code > 3) fail("a decoding error code outside 0..3");
  if (error.userInfo.count("codingPath") == 0 || error.userInfo.count("debugDescription") == 0) {
    fail("a decoding error without codingPath or debugDescription");
  }
}

// Decodes twice: the thread's reused parser must not make the second outcome differ.
template <class T>
void decodeAndCheck(std::string_view reply) {
  const Result<T> first = decode<T>(reply);
  checkOne(first);
  const Result<T> second = decode<T>(reply);
  if (first.ok() != second.ok()) fail("decoding the same reply twice gave different outcomes");
  if (!first.ok() && (first.error().code != second.error().code ||
                      first.error().userInfo != second.error().userInfo)) {
    fail("decoding the same reply twice gave different errors");
  }
}

// Runs the check for the `which`-th of the types.
template <class... Types>
void decodeAndCheckAs(std::size_t which, std::string_view reply) {
  std::size_t index = 0;
  ((index++ == which % sizeof...(Types) ? decodeAndCheck<Types>(reply) : void()), ...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Points into the fuzzer's exactly-sized buffer: any read past the reply is caught by ASan.
  const std::string_view reply(reinterpret_cast<const char*>(data) + 1, size - 1);
  decodeAndCheckAs<BaseResponse, TextSearchResponse, NearbySearchResponse, DetailSearchResponse,
                   QuerySuggestionResponse, QueryAutocompleteResponse, GeocodeResponse,
                   ReverseGeocodeResponse, TimezoneResponse>(data[0], reply);
  return 0;
}
