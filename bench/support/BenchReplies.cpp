#include "support/BenchReplies.h"

#include <cstdio>
#include <cstdlib>

#include "support/ReplyFixtures.h"

namespace orvane::site::bench {
namespace {

const std::string& nonEmpty(const std::string& reply, const char* what) {
  if (reply.empty()) {
    std::fprintf(stderr, "no %s reply: is tests/fixtures/text_search_20_sites.json there?\n", what);
    std::exit(1);
  }
  return reply;
}

}  // namespace

const std::string& realisticReply() {
  static const std::string reply = testkit::readFixture("text_search_20_sites.json");
  return nonEmpty(reply, "realistic");
}

const std::string& largeReply() {
  static const std::string reply = testkit::makeTextSearchReply().json;
  return nonEmpty(reply, "large");
}

}  // namespace orvane::site::bench
